// The log window: program lines and the engine's messages, always on top, hidden until the user
// asks for it. Lines can be saved to a file or deleted. GUI thread only.
#pragma once

#include <QDialog>
#include <QPointer>
#include <cstdint>
#include <string>

class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace mw {

class TFormLog : public QDialog {
    Q_OBJECT
  public:
    explicit TFormLog(QWidget* parent = nullptr);
    // The window a first showing (no stored place) opens beside, on its screen.
    void SetAnchor(QWidget* anchor) { FAnchor = anchor; }
    // A line after Delete Log makes the log worth saving again.
    void AppendLogLine(const QString& line);
    // The engine logger's handler: "#" thread "." level ": " text.
    void FFLoggerLog(uint32_t threadId, int level, const std::string& text);
    // Writes the lines to file; false with the error text when it cannot be written.
    bool SaveLogTo(const QString& file, QString& error) const;
    QString Text() const;

    // False until the window has been shown once: its place means nothing yet.
    bool HasBeenShown() const { return FShown; }
    void setVisible(bool visible) override;

    QPushButton* ButtonOK() const { return FButtonOK; }
    QPushButton* ButtonDelete() const { return FButtonDelete; }
    QPushButton* ButtonSave() const { return FButtonSave; }

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void DeleteClick();
    void SaveClick();
    void CentreButtons();
    void PlaceFirstTime();

    QPlainTextEdit* FMemo;
    QWidget* FPanelBottom;
    QPushButton* FButtonOK;
    QPushButton* FButtonDelete;
    QPushButton* FButtonSave;
    QPointer<QWidget> FAnchor;
    bool FShown = false;
};

} // namespace mw
