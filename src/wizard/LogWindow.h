// The log window: program and engine lines; hidden until the user asks for it.
#pragma once

#include <QWidget>

class QPlainTextEdit;

namespace mw {

class TFormLog : public QWidget {
    Q_OBJECT
  public:
    explicit TFormLog(QWidget* parent = nullptr);
    void AppendLogLine(const QString& line);

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QPlainTextEdit* FMemo;
};

} // namespace mw
