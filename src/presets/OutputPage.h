// The output page without its widgets. The page mirrors this state: the pressed class button and
// its tab sheet, the pressed format button of each class (its preset list in front), the current
// entry of each of the 25 preset lists and the folder field. Class and format choices reach the
// settings the moment they are made; preset entries and the folder only with StoreStep2Settings,
// so a preset changed and then left with Back is shown again but not stored.
// GUI thread only, like the settings it edits.
#pragma once

#include "app/UserSettings.h"

#include <array>
#include <string>

namespace mw {

class TOutputPageModel {
  public:
    explicit TOutputPageModel(TUserSettings& settings);

    // Class button: shows the class's tab sheet and stores the class. Unknown values do nothing.
    void SelectFormatClass(int formatClass);
    // Format button: presses it among its class's buttons and stores the class's format; the
    // selected class is untouched. Unknown values do nothing.
    void SelectOutputFormat(int formatClass, int format);
    // The user picks an entry of a preset list; an index outside the list leaves no current entry.
    void SelectPreset(int formatClass, int format, int32_t index);
    void SetOutputFolder(const std::string& folder) { FOutputFolder = folder; }

    // Entering the page: the stored folder, class, formats (Audio, Video, Device) and presets.
    void ApplyStep2Settings();
    // Leaving with Next: the folder (with a trailing separator) and every list's current entry.
    void StoreStep2Settings();

    // -1 while no class button is pressed.
    int ActiveClass() const { return FActiveClass; }
    // -1 while none of the class's format buttons is pressed (or for an unknown class).
    int PressedFormat(int formatClass) const;
    // -1 when the list has no current entry (or the format is unknown).
    int32_t CurrentPreset(int formatClass, int format) const;
    const std::string& OutputFolder() const { return FOutputFolder; }

  private:
    TUserSettings& FSettings;
    int FActiveClass = -1;
    std::array<int, FormatClassCount> FPressedFormat{-1, -1, -1};
    // -1 = no current entry.
    std::array<std::array<int32_t, MaxFormatsPerClass>, FormatClassCount> FCurrentPreset;
    std::string FOutputFolder;
};

} // namespace mw
