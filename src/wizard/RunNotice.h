// The desktop notification at the end of a conversion or download run: whether to send one and
// what it says. Plain logic, no Qt; the sender is wizard/platform/DesktopNotifier.
#pragma once

#include <string>

namespace mw {

enum class TRunKind { Conversion, Download };

// What the main window looks like to the user when a run ends.
struct TWindowAttention {
    bool Active = false; // the window has the keyboard focus of the desktop
    bool Minimised = false;
    bool Visible = true;
};

// A notification only reaches a user who is not looking at the window; one who is sees the
// summary page, and a second message would only be noise.
bool ShouldNotifyRunEnd(const TWindowAttention& window);

struct TRunNotice {
    std::string Summary; // "<title> has finished the conversion."
    std::string Body;    // the summary page's counts, one per line
};

TRunNotice RunEndNotice(TRunKind kind, const std::string& title, int total, int succeeded, int failed);

} // namespace mw
