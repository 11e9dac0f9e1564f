// The user's remembered choices: folders, output selection, finishing options, quality order.
// Loaded once when the main window is created and saved once when it closes (GUI thread only).
#pragma once

#include "app/ProductConfig.h"

#include <array>
#include <cstdint>
#include <string>

namespace mw {

inline constexpr const char* SettingsFileNameOnly = "~system2.dat";
inline constexpr const char* SettingsSection = "System";

enum TFormatClass : uint8_t { fcVideo = 0, fcDevice = 1, fcAudio = 2 };
inline constexpr int FormatClassCount = 3;
// Formats per class: Video 9, Device 8, Audio 8.
inline constexpr std::array<int, FormatClassCount> FormatCountOfClass = {9, 8, 8};
inline constexpr int MaxFormatsPerClass = 9;

// Preset index used until the user chooses, per class and format number.
inline constexpr std::array<std::array<int32_t, MaxFormatsPerClass>, FormatClassCount> DefaultPresetIndex = {{
    {3, 3, 1, 1, 5, 1, 16, 7, 2}, // AVI MP4 FLV SWF MPEG RM WMV MOV 3GP
    {5, 1, 1, 1, 1, 1, 0, 0, 0},  // iPod iPhone AppleTV PSP BlackBerry MobilePhone iPad Android
    {3, 2, 1, 3, 3, 0, 5, 0, 0},  // WAV MP3 WMA OGG AAC M4A FLAC MP2
}};

// The output class, one format per class and one preset index per format.
struct TOutputSelection {
    uint8_t OutputFormatClass = fcVideo;
    uint8_t OutputVideoFormat = 0;
    uint8_t OutputDeviceFormat = 0;
    uint8_t OutputAudioFormat = 0;
    // [class][format number]; unused cells of the 8-format classes stay 0.
    std::array<std::array<int32_t, MaxFormatsPerClass>, FormatClassCount> Presets = DefaultPresetIndex;

    // The stored format of a class; nullptr for a class outside 0..2.
    uint8_t* FormatOfClass(int formatClass);
    const uint8_t* FormatOfClass(int formatClass) const;
    // The preset index of a format; nullptr when class or format is outside its numbering.
    int32_t* PresetOf(int formatClass, int format);
    const int32_t* PresetOf(int formatClass, int format) const;
};

inline constexpr std::array<uint8_t, 8> DefaultQualityOrder = {1, 2, 3, 0, 4, 5, 6, 7};

// Which road downloads take: the extractor program when it is found (else the built-in road), the
// built-in road, or the extractor program. Other stored values count as automatic.
enum TDownloadEngine : uint8_t { deAutomatic = 0, deBuiltin = 1, deExtractor = 2 };

// Files a conversion run converts at once: 0 lets the run choose for this machine and preset.
// A stored value outside 0..MaxParallelTasks is read and written clamped to that range.
inline constexpr int32_t AutomaticParallelTasks = 0;
inline constexpr int32_t MaxParallelTasks = 16;

struct TUserSettings {
    std::string LastOpenDir;
    std::string OutputFileDir;
    std::string OutputURLDir;
    TOutputSelection OutputSelection;
    bool PlayASoundWhenFinished = false;
    bool ShutDownWhenFinished = false;
    bool PreferYouTubeQuality = true;
    // Quality codes in the user's order (keys PreferYouTube1..7 and PreferYouTube18).
    std::array<uint8_t, 8> PreferYouTube = DefaultQualityOrder;
    uint8_t DownloadEngine = deAutomatic;
    // The extractor program; empty: looked for in ~/.local/bin, then on PATH.
    std::string ExtractorPath;
    int32_t ParallelTasks = AutomaticParallelTasks;
};

// Folder = AppData + title with "/" made blanks; created one level below AppData (which is
// created with its parents when missing); AppData itself on failure.
std::string FormSettingsFolder(const std::string& title);
std::string SettingsFilePath(const std::string& settingsFolder);

// Start values before the file is read: the edition's defaults, the documents folder, the tables' defaults.
TUserSettings DefaultUserSettings(const TProductConfig& config);

// Reads every key with the current value as its default; true when the file existed.
// A missing file gets the defaults written at once (EProfileWriteError when that fails).
bool LoadUserSettings(TUserSettings& settings, const std::string& file);
// Writes every field in file order; throws EProfileWriteError when the file cannot be written.
// A text holding a line break is not written (its stored value stays): the other fields are saved,
// then EProfileValueError reports it.
void SaveUserSettings(const TUserSettings& settings, const std::string& file);

} // namespace mw
