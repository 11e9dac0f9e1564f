// The main window. Its creation reads the edition, forms the settings folder, loads the user's
// settings and restores the placement; its close saves them again.
#pragma once

#include <QMainWindow>
#include <string>

class QLabel;

namespace mw {

class TFormLog;

class TFormMain : public QMainWindow {
    Q_OBJECT
  public:
    // configFile: the product configuration to read (beside the executable in the program).
    TFormMain(TFormLog* log, const std::string& configFile, QWidget* parent = nullptr);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void FormCreate(const std::string& configFile);
    void ReportError(const std::string& message);

    TFormLog* FLog;
    QLabel* FLabelTitle = nullptr;
    // Settings are written at close only when they were formed and read at creation.
    bool FSettingsReady = false;
};

} // namespace mw
