#include "wizard/platform/GuiUtils.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace mw {

namespace {

struct TButtonMap {
    TMsgDlgBtn Btn;
    QMessageBox::StandardButton Qt;
    TModalResult Result;
};

// Display order of the classic dialog.
constexpr TButtonMap ButtonMap[] = {
    {mbYes, QMessageBox::Yes, mrYes},
    {mbNo, QMessageBox::No, mrNo},
    {mbOK, QMessageBox::Ok, mrOk},
    {mbCancel, QMessageBox::Cancel, mrCancel},
    {mbAbort, QMessageBox::Abort, mrAbort},
    {mbRetry, QMessageBox::Retry, mrRetry},
    {mbIgnore, QMessageBox::Ignore, mrIgnore},
    {mbAll, QMessageBox::YesToAll, mrAll},
    {mbNoToAll, QMessageBox::NoToAll, mrNoToAll},
    {mbYesToAll, QMessageBox::YesToAll, mrYesToAll},
    {mbHelp, QMessageBox::Help, mrNone},
};

QMessageBox::Icon IconOf(TMsgDlgType kind) {
    switch (kind) {
    case mtWarning:
        return QMessageBox::Warning;
    case mtError:
        return QMessageBox::Critical;
    case mtInformation:
        return QMessageBox::Information;
    case mtConfirmation:
        return QMessageBox::Question;
    default:
        return QMessageBox::NoIcon;
    }
}

int GWaitDepth = 0;
TMessageHook GMessageHook;
QPointer<QWidget> GMessageOwner;

QWidget* MessageParent() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return GMessageOwner && GMessageOwner->isVisible() ? GMessageOwner.data() : nullptr;
}

} // namespace

int ShowMessageWithButtons(const std::string& message, const std::string& caption, TMsgDlgType kind,
                           const std::vector<std::string>& captions, unsigned buttons, TMessageHandle* handle) {
    if (GMessageHook) return GMessageHook(message, caption, kind, buttons);
    QMessageBox box(IconOf(kind), QString::fromStdString(caption), QString::fromStdString(message),
                    QMessageBox::NoButton, MessageParent());
    box.setWindowModality(Qt::ApplicationModal);
    std::vector<std::pair<QAbstractButton*, TModalResult>> added;
    for (const TButtonMap& m : ButtonMap) {
        if (!(buttons & m.Btn)) continue;
        QAbstractButton* b = box.addButton(m.Qt);
        if (b) added.emplace_back(b, m.Result);
    }
    for (size_t i = 0; i < added.size() && i < captions.size(); ++i)
        if (!captions[i].empty()) added[i].first->setText(QString::fromStdString(captions[i]));
    QApplication::beep();
    if (handle) handle->Box = &box;
    box.exec();
    for (const auto& [button, result] : added)
        if (box.clickedButton() == button) return result;
    return mrCancel;
}

bool SelectFolderDialog(QWidget* owner, std::string& folder, const std::string& title, unsigned,
                        const std::string& root) {
    const QString start = QString::fromStdString(folder.empty() ? root : folder);
    const QString chosen = QFileDialog::getExistingDirectory(owner, QString::fromStdString(title), start);
    if (chosen.isEmpty()) return false;
    folder = chosen.toStdString();
    return true;
}

void ShellOpen(const std::string& target) {
    const QString t = QString::fromStdString(target);
    const QUrl url = QFileInfo::exists(t) ? QUrl::fromLocalFile(t) : QUrl(t);
    QDesktopServices::openUrl(url);
}

void TMessageHandle::Close() {
    if (!Box) return;
    // A close answers with the escape button (No for a question); a box without one refuses it.
    Box->close();
    if (Box && Box->isVisible()) Box->reject();
}

void SetMessageOwner(QWidget* owner) {
    GMessageOwner = owner;
}

void SetMessageHook(TMessageHook hook) {
    GMessageHook = std::move(hook);
}

void BeginWaitCursor() {
    if (GWaitDepth++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
}

void EndWaitCursor() {
    if (GWaitDepth == 0) return;
    if (--GWaitDepth == 0) QApplication::restoreOverrideCursor();
}

int WaitCursorDepth() {
    return GWaitDepth;
}

} // namespace mw
