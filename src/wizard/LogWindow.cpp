#include "wizard/LogWindow.h"

#include "app/Globals.h"
#include "wizard/QtPlacementWindow.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace mw {

TFormLog::TFormLog(QWidget* parent) : QWidget(parent, Qt::Window), FMemo(new QPlainTextEdit(this)) {
    setObjectName("FormLog");
    resize(640, 400);
    FMemo->setReadOnly(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FMemo);
}

void TFormLog::AppendLogLine(const QString& line) {
    FMemo->appendPlainText(line);
}

void TFormLog::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (GlobalVars.SettingsFolder.empty()) return;
    TQtPlacementWindow w(this);
    RestoreWindowPlacement("FormLog", w, GlobalVars.SettingsFile());
}

void TFormLog::closeEvent(QCloseEvent* event) {
    if (isVisible() && !GlobalVars.SettingsFolder.empty()) {
        TQtPlacementWindow w(this);
        try {
            SaveWindowPlacement("FormLog", w, GlobalVars.SettingsFile());
        } catch (const std::exception&) {
            // The main window's close reports write failures; the log window just closes.
        }
    }
    QWidget::closeEvent(event);
}

} // namespace mw
