#include "app/WindowPlacement.h"

#include "app/ProfileFile.h"

#include <algorithm>

namespace mw {

TWindowBounds ClampPlacement(TWindowBounds b, TScreenSize screen) {
    b.Width = std::min(b.Width, screen.Width);
    b.Height = std::min(b.Height, screen.Height);
    if (b.Left + b.Width > screen.Width) b.Left = screen.Width - b.Width;
    if (b.Top + b.Height > screen.Height) b.Top = screen.Height - b.Height;
    b.Left = std::max(b.Left, 0);
    b.Top = std::max(b.Top, 0);
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
    b = ClampPlacement(b, window.Screen());
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
