#include "app/UserSettings.h"

#include "app/ProfileFile.h"
#include "app/UtilFuncs.h"

#include <algorithm>
#include <sys/stat.h>

namespace mw {

uint8_t* TOutputSelection::FormatOfClass(int formatClass) {
    switch (formatClass) {
    case fcVideo:
        return &OutputVideoFormat;
    case fcDevice:
        return &OutputDeviceFormat;
    case fcAudio:
        return &OutputAudioFormat;
    default:
        return nullptr;
    }
}

const uint8_t* TOutputSelection::FormatOfClass(int formatClass) const {
    return const_cast<TOutputSelection*>(this)->FormatOfClass(formatClass);
}

int32_t* TOutputSelection::PresetOf(int formatClass, int format) {
    if (formatClass < 0 || formatClass >= FormatClassCount) return nullptr;
    if (format < 0 || format >= FormatCountOfClass[static_cast<size_t>(formatClass)]) return nullptr;
    return &Presets[static_cast<size_t>(formatClass)][static_cast<size_t>(format)];
}

const int32_t* TOutputSelection::PresetOf(int formatClass, int format) const {
    return const_cast<TOutputSelection*>(this)->PresetOf(formatClass, format);
}

namespace {

struct TPresetKey {
    const char* Key;
    uint8_t Class;
    uint8_t Format;
};

// File order: Audio, Video, Device; within Audio, M4A is stored before AAC.
constexpr TPresetKey PresetKeys[] = {
    {"OutputWAVPreset", fcAudio, 0},          {"OutputMP3Preset", fcAudio, 1},
    {"OutputWMAPreset", fcAudio, 2},          {"OutputOGGPreset", fcAudio, 3},
    {"OutputM4APreset", fcAudio, 5},          {"OutputAACPreset", fcAudio, 4},
    {"OutputFLACPreset", fcAudio, 6},         {"OutputMP2Preset", fcAudio, 7},
    {"OutputAVIPreset", fcVideo, 0},          {"OutputMP4Preset", fcVideo, 1},
    {"OutputFLVPreset", fcVideo, 2},          {"OutputSWFPreset", fcVideo, 3},
    {"OutputMPEGPreset", fcVideo, 4},         {"OutputRMPreset", fcVideo, 5},
    {"OutputWMVPreset", fcVideo, 6},          {"OutputMOVPreset", fcVideo, 7},
    {"Output3GPPreset", fcVideo, 8},          {"OutputiPodPreset", fcDevice, 0},
    {"OutputiPhonePreset", fcDevice, 1},      {"OutputAppleTVPreset", fcDevice, 2},
    {"OutputPSPPreset", fcDevice, 3},         {"OutputBlackBerryPreset", fcDevice, 4},
    {"OutputMobilePhonePreset", fcDevice, 5}, {"OutputiPadPreset", fcDevice, 6},
    {"OutputAndroidPreset", fcDevice, 7},
};

constexpr const char* QualityKeys[8] = {"PreferYouTube1", "PreferYouTube2", "PreferYouTube3",
                                        "PreferYouTube4", "PreferYouTube5", "PreferYouTube6",
                                        "PreferYouTube7", "PreferYouTube18"};

// One walk over the keys in file order, shared by reading and writing so the two cannot drift.
template <typename Visitor> void VisitSettings(TUserSettings& s, Visitor&& v) {
    v.Text("LastOpenDir", s.LastOpenDir);
    v.Text("OutputFileDir", s.OutputFileDir);
    v.Text("OutputURLDir", s.OutputURLDir);
    v.Byte("OutputFormatClass", s.OutputSelection.OutputFormatClass);
    v.Byte("OutputAudioFormat", s.OutputSelection.OutputAudioFormat);
    v.Byte("OutputVideoFormat", s.OutputSelection.OutputVideoFormat);
    v.Byte("OutputDeviceFormat", s.OutputSelection.OutputDeviceFormat);
    for (const TPresetKey& k : PresetKeys)
        v.Int(k.Key, *s.OutputSelection.PresetOf(k.Class, k.Format));
    v.Bool("PlayASoundWhenFinished", s.PlayASoundWhenFinished);
    v.Bool("ShutDownWhenFinished", s.ShutDownWhenFinished);
    v.Bool("PreferYouTubeQuality", s.PreferYouTubeQuality);
    for (size_t i = 0; i < 8; ++i)
        v.Byte(QualityKeys[i], s.PreferYouTube[i]);
    v.Byte("DownloadEngine", s.DownloadEngine);
    v.Text("ExtractorPath", s.ExtractorPath);
    v.Bounded("ParallelTasks", s.ParallelTasks, 0, MaxParallelTasks);
}

struct TReader {
    const TProfileFile& F;
    void Text(const char* key, std::string& value) { value = F.ReadString(SettingsSection, key, value); }
    void Int(const char* key, int32_t& value) { value = F.ReadInteger(SettingsSection, key, value); }
    void Byte(const char* key, uint8_t& value) {
        value = static_cast<uint8_t>(F.ReadInteger(SettingsSection, key, value));
    }
    void Bool(const char* key, bool& value) { value = F.ReadBool(SettingsSection, key, value); }
    void Bounded(const char* key, int32_t& value, int32_t low, int32_t high) {
        value = std::clamp(F.ReadInteger(SettingsSection, key, value), low, high);
    }
};

struct TWriter {
    TProfileFile& F;
    // The first refused value; the other keys are still saved.
    std::string Refused;
    void Text(const char* key, const std::string& value) {
        try {
            F.WriteString(SettingsSection, key, value);
        } catch (const EProfileValueError& e) {
            if (Refused.empty()) Refused = e.what();
        }
    }
    void Int(const char* key, int32_t value) { F.WriteInteger(SettingsSection, key, value); }
    void Byte(const char* key, uint8_t value) { F.WriteInteger(SettingsSection, key, value); }
    void Bool(const char* key, bool value) { F.WriteBool(SettingsSection, key, value); }
    void Bounded(const char* key, int32_t value, int32_t low, int32_t high) {
        F.WriteInteger(SettingsSection, key, std::clamp(value, low, high));
    }
};

} // namespace

std::string FormSettingsFolder(const std::string& title) {
    // A fresh account has no configuration folder yet; without it nothing could be kept.
    ForceDirectories(GetShellFolderPath("AppData"));
    const std::string appData = AddTrailingBackslash(GetShellFolderPath("AppData"));
    std::string name = title;
    for (char& c : name)
        if (c == '/') c = ' ';
    const std::string candidate = AddTrailingBackslash(appData + name);
    if (DirectoryExists(candidate) || ::mkdir(candidate.c_str(), 0700) == 0) return candidate;
    return appData;
}

std::string SettingsFilePath(const std::string& settingsFolder) {
    return AddTrailingBackslash(settingsFolder) + SettingsFileNameOnly;
}

TUserSettings DefaultUserSettings(const TProductConfig& config) {
    TUserSettings s;
    if (config.DefaultClass >= 0 && config.DefaultClass < FormatClassCount)
        s.OutputSelection.OutputFormatClass = static_cast<uint8_t>(config.DefaultClass);
    s.OutputSelection.OutputVideoFormat = config.DefaultVideo;
    s.OutputSelection.OutputDeviceFormat = config.DefaultDevice;
    s.OutputSelection.OutputAudioFormat = config.DefaultAudio;
    const std::string personal = GetShellFolderPath("Personal");
    s.LastOpenDir = s.OutputFileDir = s.OutputURLDir = personal;
    return s;
}

bool LoadUserSettings(TUserSettings& settings, const std::string& file) {
    TProfileFile f(file);
    if (!f.Exists()) {
        SaveUserSettings(settings, file);
        return false;
    }
    VisitSettings(settings, TReader{f});
    return true;
}

void SaveUserSettings(const TUserSettings& settings, const std::string& file) {
    TProfileFile f(file);
    TWriter writer{f, {}};
    VisitSettings(const_cast<TUserSettings&>(settings), writer);
    f.UpdateFile();
    if (!writer.Refused.empty()) throw EProfileValueError(writer.Refused);
}

} // namespace mw
