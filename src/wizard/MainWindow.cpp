#include "wizard/MainWindow.h"

#include "app/Globals.h"
#include "app/ProfileFile.h"
#include "wizard/GuiUtils.h"
#include "wizard/LogWindow.h"
#include "wizard/QtPlacementWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace mw {

TFormMain::TFormMain(TFormLog* log, const std::string& configFile, QWidget* parent)
    : QMainWindow(parent), FLog(log) {
    setObjectName("FormMain");
    setWindowTitle(QApplication::applicationName());
    resize(780, 560);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    FLabelTitle = new QLabel(central);
    FLabelTitle->setAlignment(Qt::AlignCenter);
    QFont f = FLabelTitle->font();
    f.setPointSize(f.pointSize() * 2);
    FLabelTitle->setFont(f);
    layout->addWidget(FLabelTitle);
    setCentralWidget(central);
    FormCreate(configFile);
}

void TFormMain::ReportError(const std::string& message) {
    ShowMessageWithButtons(message, QApplication::applicationName().toStdString(), mtError, {}, mbOK);
}

void TFormMain::FormCreate(const std::string& configFile) {
    TGlobalVars& g = GlobalVars;
    try {
        g.ProductConfig = ReadProductConfig(configFile);
    } catch (const std::exception& e) {
        ReportError(e.what());
        return;
    }
    FLabelTitle->setText(QString::fromStdString(g.ProductConfig.Name));
    g.SettingsFolder = FormSettingsFolder(g.ProductConfig.Name);
    g.UserSettings = DefaultUserSettings(g.ProductConfig);
    try {
        if (!LoadUserSettings(g.UserSettings, g.SettingsFile())) {
            TQtPlacementWindow w(this);
            const TWindowBounds b = CenteredPlacement(w.Bounds(), w.Screen());
            move(b.Left, b.Top);
        }
    } catch (const std::exception& e) {
        ReportError(e.what());
        return;
    }
    FSettingsReady = true;
    TQtPlacementWindow w(this);
    RestoreWindowPlacement("Form", w, g.SettingsFile());
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (FSettingsReady) {
        const std::string file = GlobalVars.SettingsFile();
        try {
            SaveUserSettings(GlobalVars.UserSettings, file);
            TQtPlacementWindow main(this);
            SaveWindowPlacement("Form", main, file);
            TQtPlacementWindow log(FLog);
            SaveWindowPlacement("FormLog", log, file);
        } catch (const std::exception& e) {
            ReportError(e.what());
        }
    }
    FLog->close();
    event->accept();
}

} // namespace mw
