#include "wizard/LogWindow.h"

#include "wizard/Globals.h"
#include "app/ProfileFile.h"
#include "wizard/platform/GuiUtils.h"
#include "wizard/platform/QtPlacementWindow.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QFile>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

namespace mw {

TFormLog::TFormLog(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      FMemo(new QPlainTextEdit(this)), FPanelBottom(new QWidget(this)),
      FButtonOK(new QPushButton("&OK", FPanelBottom)),
      FButtonDelete(new QPushButton("&Delete Log", FPanelBottom)),
      FButtonSave(new QPushButton("&Save Log...", FPanelBottom)) {
    setObjectName("FormLog");
    setWindowTitle("Log");
    setMinimumSize(265, 125);
    resize(455, 182);
    FMemo->setObjectName("MemoLog");
    FMemo->setReadOnly(true);
    FMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    FMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FPanelBottom->setObjectName("PanelBottom");
    FPanelBottom->setFixedHeight(40);
    for (QPushButton* b : {FButtonOK, FButtonDelete, FButtonSave}) {
        b->resize(b->sizeHint().expandedTo(QSize(90, 26)));
        b->move(b->x(), 7);
    }
    FButtonOK->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(FMemo);
    layout->addWidget(FPanelBottom);
    connect(FButtonOK, &QPushButton::clicked, this, &QDialog::close);
    connect(FButtonDelete, &QPushButton::clicked, this, &TFormLog::DeleteClick);
    connect(FButtonSave, &QPushButton::clicked, this, &TFormLog::SaveClick);
    CentreButtons();
}

void TFormLog::AppendLogLine(const QString& line) {
    FMemo->appendPlainText(line);
    FButtonSave->setEnabled(true);
}

void TFormLog::FFLoggerLog(uint32_t threadId, int level, const std::string& text) {
    AppendLogLine(QString("#%1.%2: %3").arg(threadId).arg(level).arg(QString::fromStdString(text)));
}

QString TFormLog::Text() const {
    return FMemo->toPlainText();
}

bool TFormLog::SaveLogTo(const QString& file, QString& error) const {
    // Written beside and renamed over: a failed save never leaves a half-written file.
    QSaveFile out(file);
    QByteArray text = FMemo->toPlainText().toUtf8();
    if (!text.isEmpty()) text += '\n';
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.commit()) {
        error = QString("Cannot create file \"%1\". %2").arg(file, out.errorString());
        return false;
    }
    return true;
}

void TFormLog::DeleteClick() {
    if (ShowMessageWithButtons("Really delete log file?", "Delete log?", mtConfirmation, {},
                               mbYes | mbNo | mbCancel) != mrYes)
        return;
    FMemo->clear();
    FButtonSave->setEnabled(false);
}

void TFormLog::SaveClick() {
    QFileDialog dialog(this, QString(), QString(), "Log-Files (*.log);;Text-Files (*.txt);;All Files (*.*)");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix("log");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    QString error;
    if (!SaveLogTo(dialog.selectedFiles().first(), error))
        ShowMessageWithButtons(error.toStdString(), QApplication::applicationName().toStdString(), mtError,
                               {}, mbOK);
}

void TFormLog::CentreButtons() {
    const int group = FButtonSave->geometry().right() + 1 - FButtonOK->x();
    FButtonOK->move(FPanelBottom->width() / 2 - group / 2, FButtonOK->y());
    FButtonDelete->move(FButtonOK->geometry().right() + 1 + 8, FButtonDelete->y());
    FButtonSave->move(FButtonDelete->geometry().right() + 1 + 8, FButtonSave->y());
}

void TFormLog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    layout()->activate();
    CentreButtons();
}

void TFormLog::setVisible(bool visible) {
    // Placed before the window is mapped: the window manager then puts the frame, title bar
    // included, where the place says (after mapping, a move lands the client area there).
    if (visible && !isVisible()) {
        const bool stored = !GlobalVars.SettingsFolder.empty() &&
                            TProfileFile(GlobalVars.SettingsFile()).ValueExists("FormLog", "x");
        if (stored) {
            TQtPlacementWindow w(this);
            RestoreWindowPlacement("FormLog", w, GlobalVars.SettingsFile());
        } else {
            PlaceFirstTime();
        }
        FShown = true;
    }
    QDialog::setVisible(visible);
}

void TFormLog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreButtons();
}

void TFormLog::PlaceFirstTime() {
    // Beside the main window where the screen has room, else over its lower right; the frame and
    // title bar always on the screen.
    const QScreen* screen = FAnchor && FAnchor->screen() ? FAnchor->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect avail = screen->availableGeometry();
    const QRect frame = frameGeometry();
    // Before the first mapping the frame is not known yet: room for a usual title bar and border.
    const QSize decoration = frame.size() == size() ? QSize(8, 34)
                                                    : QSize(frame.width() - width(), frame.height() - height());
    const QSize outer = size() + decoration;
    QPoint at = avail.center() - QPoint(outer.width() / 2, outer.height() / 2);
    if (FAnchor && FAnchor->isVisible()) {
        const QRect a = FAnchor->frameGeometry();
        at = a.right() + 1 + 8 + outer.width() <= avail.right() + 1
                 ? QPoint(a.right() + 1 + 8, a.bottom() + 1 - outer.height())
                 : QPoint(a.right() + 1 - outer.width() - 24, a.bottom() + 1 - outer.height() - 48);
    }
    at.setX(std::clamp(at.x(), avail.left(), std::max(avail.left(), avail.right() + 1 - outer.width())));
    at.setY(std::clamp(at.y(), avail.top(), std::max(avail.top(), avail.bottom() + 1 - outer.height())));
    move(at);
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
    QDialog::closeEvent(event);
}

} // namespace mw
