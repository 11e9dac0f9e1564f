// The main window's own events: its painting, the logos that move it, closing (the question
// during a run, then the settings and placements saved), the page's keys, and dropped files.
#include "wizard/MainWindow.h"

#include "wizard/Globals.h"
#include "widgets/SkinPicture.h"
#include "wizard/FilePage.h"
#include "wizard/LogWindow.h"
#include "wizard/Pages.h"
#include "wizard/platform/GuiUtils.h"
#include "wizard/platform/QtPlacementWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QRadioButton>
#include <QUrl>
#include <QWindow>

namespace mw {

void TFormMain::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (FFrame.isNull())
        p.fillRect(rect(), palette().window());
    else
        p.drawImage(0, 0, PictureForRatio(FFrame, FFrameDoubled, devicePixelRatioF()));
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    // The logos are the title bar: pressing any button on them moves the window.
    if ((watched == ImageTopLogo || watched == ImageLeftLogo) && event->type() == QEvent::MouseButtonPress) {
        if (QWindow* w = windowHandle()) w->startSystemMove();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TFormMain::closeEvent(QCloseEvent* event) {
    // The window manager's close, Alt+F4 or the close button during a run: the run is the user's
    // work, so it is cancelled only after the same question its Cancel asks.
    const std::string question = RunningJobQuestion();
    if (!question.empty() && !FCloseWithoutAsking && !qApp->isSavingSession() && !AskYesNo(question)) {
        event->ignore();
        return;
    }
    if (FController && !FController->CloseQuery()) {
        event->ignore();
        return;
    }
    if (FSettingsReady) {
        const std::string file = GlobalVars.SettingsFile();
        // A refused value (a line break in a folder name) must not cost the placements.
        std::string refused;
        try {
            SaveUserSettings(GlobalVars.UserSettings, file);
        } catch (const std::exception& e) {
            refused = e.what();
        }
        try {
            TQtPlacementWindow main(this);
            SaveWindowPlacement("Form", main, file);
            // A log window never shown has no place of its own: the stored one stays.
            if (FLog->HasBeenShown()) {
                TQtPlacementWindow log(FLog);
                SaveWindowPlacement("FormLog", log, file);
            }
        } catch (const std::exception& e) {
            if (refused.empty()) refused = e.what();
        }
        if (!refused.empty()) ReportError(refused);
    }
    FLog->close();
    event->accept();
}

void TFormMain::keyPressEvent(QKeyEvent* event) {
    // Keys the focused control leaves alone: Enter is the page's Next, Esc its Exit or Cancel.
    if (FController && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            FController->Next();
            return;
        case Qt::Key_Escape:
            FController->Exit();
            return;
        default:
            break;
        }
    }
    QWidget::keyPressEvent(event);
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() && FilePage) event->acceptProposedAction();
}

void TFormMain::dropEvent(QDropEvent* event) {
    event->acceptProposedAction();
    DropMimeData(event->mimeData());
}

void TFormMain::OpenSourceFiles(const QStringList& paths) {
    if (!FController || !FilePage) return;
    if (ModePage) ModePage->RadioButtonConvertVideo->setChecked(true);
    FController->ShowPage(TWizardPage::Step1);
    BeginWaitCursor();
    FilePage->AddSourceFiles(paths);
    EndWaitCursor();
}

void TFormMain::DropMimeData(const QMimeData* data) {
    QStringList paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    if (FilePage) FilePage->DropFiles(paths);
}

} // namespace mw
