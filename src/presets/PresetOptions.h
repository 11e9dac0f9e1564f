// Turns the user's output choice (class, format of that class, preset index of that format) into
// the output extension and the encoder's output options. Stateless; reads only what it is given.
#pragma once

#include "app/UserSettings.h"
#include "engine/options/FFOptions.h"
#include "presets/PresetCatalogue.h"

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace mw {

// What the mapping needs of a loaded source; the engine's probe decoder provides it.
class IOutputSourceProbe {
  public:
    virtual ~IOutputSourceProbe() = default;
    // Path of the loaded source.
    virtual std::string FileName() const = 0;
    // Bits per second of the first audio stream; -1 without audio or without a known rate.
    virtual int32_t FirstAudioBitRate() const = 0;
};

inline constexpr int32_t NoSourceAudioBitrate = -1;

// ".avi", ".mp4" ... for the selection; "" when class or format is outside the numbering.
std::string OutputFileExtension(const TOutputSelection& selection);

// The fields a choice writes: class level, then format level, then the preset's row, later levels
// winning. Values outside the numbering contribute nothing at their level and below.
TPresetFields PresetFieldsOf(int formatClass, int format, int32_t index);
TPresetFields SelectedPresetFields(const TOutputSelection& selection);

// Writes the selection's fields into a record just reset with InitOutputOptions. The source's
// audio bit rate is read only by the presets that take it from the source, and only when above 0.
void ApplyPresetOptions(const TOutputSelection& selection, TOutputOptions& options,
                        int32_t sourceAudioBitrate = NoSourceAudioBitrate);

// Per-file mode: extension, unique output name in OutputFileDir, preset fields with the source's
// audio bit rate.
TOutputOptions BuildOutputOptions(const TUserSettings& settings, const IOutputSourceProbe& probe);
// Join mode: preset fields without a source bit rate, and Join; no extension and no name.
TOutputOptions BuildJoinOutputOptions(const TOutputSelection& selection);

// The output name for one source: its name with the extension replaced (or appended), made unique
// among the files already in the folder.
std::string PerFileOutputName(const std::string& sourcePath, const std::string& outputDir,
                              const std::string& extension);

// A written field under its TOutputOptions name, in record order.
struct TWrittenField {
    std::string_view Name;
    std::variant<std::string_view, int32_t, bool> Value;
};
std::vector<TWrittenField> WrittenFields(const TPresetFields& fields);

} // namespace mw
