// Remembered window positions (sections "Form" and "FormLog" of the settings file).
#pragma once

#include <cstdint>
#include <string>

namespace mw {

struct TWindowBounds {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
};

struct TScreenSize {
    int32_t Width = 0;
    int32_t Height = 0;
};

// What placement needs of a window; the GUI adapts its windows, tests use plain objects.
class IPlacementWindow {
  public:
    virtual ~IPlacementWindow() = default;
    virtual TWindowBounds Bounds() const = 0;
    virtual bool IsMaximized() const = 0;
    virtual TScreenSize Screen() const = 0;
    // The smallest size the window can take; a stored size below it is not believed.
    virtual TScreenSize MinimumSize() const { return {1, 1}; }
    virtual void MoveTo(int32_t left, int32_t top) = 0;
    virtual void SetMaximized(bool maximized) = 0;
};

// Keeps a stored window of the given size on the screen; returns the corrected left/top in b.
// The size is first brought within [minimum (at least 1), screen]; any stored values are safe.
TWindowBounds ClampPlacement(TWindowBounds b, TScreenSize screen, TScreenSize minimum = {1, 1});
// Left/top that centre a window of this size (integer division).
TWindowBounds CenteredPlacement(TWindowBounds b, TScreenSize screen);

// Moves the window to its stored place (its size is kept) and restores the maximised state.
bool RestoreWindowPlacement(const std::string& section, IPlacementWindow& window, const std::string& file);
// Stores x, y, height, width and maximized; throws EProfileWriteError when the file cannot be written.
void SaveWindowPlacement(const std::string& section, const IPlacementWindow& window, const std::string& file);

} // namespace mw
