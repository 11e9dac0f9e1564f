#include "app/WindowPlacement.h"

#include "app/ProfileFile.h"

#include <algorithm>

namespace mw {

namespace {

// One axis: the size within [minimum, screen], then the edge so that the size fits on the screen.
// 64-bit sums, since the stored values come from a file and may be anything.
void ClampAxis(int32_t& edge, int32_t& size, int32_t screen, int32_t minimum) {
    const int64_t s = std::min<int64_t>(std::max<int64_t>({size, minimum, 1}), screen);
    int64_t e = edge;
    if (e + s > screen) e = screen - s;
    edge = static_cast<int32_t>(std::max<int64_t>(e, 0));
    size = static_cast<int32_t>(s);
}

} // namespace

TWindowBounds ClampPlacement(TWindowBounds b, TScreenSize screen, TScreenSize minimum) {
    ClampAxis(b.Left, b.Width, screen.Width, minimum.Width);
    ClampAxis(b.Top, b.Height, screen.Height, minimum.Height);
    return b;
}

TWindowBounds CenteredPlacement(TWindowBounds b, TScreenSize screen) {
    b.Top = (screen.Height - b.Height) / 2;
    b.Left = (screen.Width - b.Width) / 2;
    return b;
}

bool RestoreWindowPlacement(const std::string& section, IPlacementWindow& window, const std::string& file) {
    const TProfileFile f(file);
    TWindowBounds b = window.Bounds();
    const bool maximized = f.ReadBool(section, "maximized", false);
    b.Left = f.ReadInteger(section, "x", b.Left);
    b.Top = f.ReadInteger(section, "y", b.Top);
    b.Height = f.ReadInteger(section, "height", b.Height);
    b.Width = f.ReadInteger(section, "width", b.Width);
    b = ClampPlacement(b, window.Screen(), window.MinimumSize());
    window.MoveTo(b.Left, b.Top);
    window.SetMaximized(maximized);
    return true;
}

void SaveWindowPlacement(const std::string& section, const IPlacementWindow& window,
                         const std::string& file) {
    TProfileFile f(file);
    const TWindowBounds b = window.Bounds();
    f.WriteInteger(section, "x", b.Left);
    f.WriteInteger(section, "y", b.Top);
    f.WriteInteger(section, "height", b.Height);
    f.WriteInteger(section, "width", b.Width);
    f.WriteBool(section, "maximized", window.IsMaximized());
    f.UpdateFile();
}

} // namespace mw
