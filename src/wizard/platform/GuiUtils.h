// Shared helpers that need the desktop: message dialogs, the folder picker, the shell's "open",
// and the nesting busy cursor. GUI thread only.
#pragma once

#include <QPointer>
#include <functional>
#include <string>
#include <vector>

class QMessageBox;
class QWidget;

namespace mw {

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// Button set (combine with |) and the dialog results, with the classic values.
enum TMsgDlgBtn : unsigned {
    mbYes = 1 << 0,
    mbNo = 1 << 1,
    mbOK = 1 << 2,
    mbCancel = 1 << 3,
    mbAbort = 1 << 4,
    mbRetry = 1 << 5,
    mbIgnore = 1 << 6,
    mbAll = 1 << 7,
    mbNoToAll = 1 << 8,
    mbYesToAll = 1 << 9,
    mbHelp = 1 << 10,
};
enum TModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrAll = 8,
    mrNoToAll = 9,
    mrYesToAll = 10,
};

// A message dialog while it is open, for a caller that may have to take the question back.
struct TMessageHandle {
    QPointer<QMessageBox> Box;
    // Answers the open dialog as Escape would (a question: No); nothing when none is open.
    void Close();
};

// Standard dialog of the kind and buttons; the n-th button gets the n-th non-empty caption.
// It is modal, owned by the innermost modal window or else the message owner, so the window
// manager keeps it above that window and its tool windows. handle, when given, holds the dialog
// while it is open.
int ShowMessageWithButtons(const std::string& message, const std::string& caption, TMsgDlgType kind,
                           const std::vector<std::string>& captions, unsigned buttons,
                           TMessageHandle* handle = nullptr);

// The window message dialogs belong to when no modal window is open (the main window); nullptr:
// none. The dialogs are owned by it only while it is visible.
void SetMessageOwner(QWidget* owner);

// Answers every message dialog instead of showing it (tests and screenshot runs); empty = show.
using TMessageHook = std::function<int(const std::string& message, const std::string& caption,
                                       TMsgDlgType kind, unsigned buttons)>;
void SetMessageHook(TMessageHook hook);

// Folder picker; true and folder set when the user confirmed one. Flags and root are accepted
// for the callers' sake; the picker shows only file-system folders anyway.
bool SelectFolderDialog(QWidget* owner, std::string& folder, const std::string& title, unsigned flags = 65,
                        const std::string& root = "");

// Hands a URL, folder or file to the desktop; the outcome is ignored.
void ShellOpen(const std::string& target);

void BeginWaitCursor();
void EndWaitCursor();
int WaitCursorDepth();

} // namespace mw
