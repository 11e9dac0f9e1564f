#include "wizard/RunNotice.h"

namespace mw {

bool ShouldNotifyRunEnd(const TWindowAttention& window) {
    return !window.Visible || window.Minimised || !window.Active;
}

TRunNotice RunEndNotice(TRunKind kind, const std::string& title, int total, int succeeded, int failed) {
    // The summary pages' own words, so the notice and the page say the same.
    const char* what =
        kind == TRunKind::Conversion ? " has finished the conversion." : " has finished the downloading.";
    return {title + what, "Total files: " + std::to_string(total) + "\nSuccessed: " +
                              std::to_string(succeeded) + "\nFailed: " + std::to_string(failed)};
}

} // namespace mw
