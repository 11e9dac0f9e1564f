// The fixed output vocabulary: 3 format classes, 25 formats and 180 presets, kept as tables.
// Each preset row carries its display text and every output option it writes, so the lists on
// the output page, the option mapping and the command-line listing all read the same rows.
#pragma once

#include "app/UserSettings.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mw {

// 18 lines, each ended by CR LF (237 characters).
inline constexpr std::string_view H264StandardOptions =
    "flags=+loop\r\ncmp=+chroma\r\ndeblockalpha=0\r\ndeblockbeta=0\r\ncrf=24\r\nrefs=1\r\ncoder=0\r\n"
    "me_range=16\r\nsubq=5\r\npartitions=+parti4x4+parti8x8+partp8x8\r\ng=250\r\nkeyint_min=25\r\n"
    "level=30\r\nqmin=10\r\nqmax=51\r\ntrellis=2\r\nsc_threshold=40\r\ni_qfactor=0.71\r\n";

// 23 lines separated by CR LF, none after the last (297 characters).
inline constexpr std::string_view H264PspOptions =
    "flags=+loop\r\ncmp=+chroma\r\npartitions=+parti4x4+partp8x8+partb8x8\r\nme_method=umh\r\nsubq=5\r\n"
    "trellis=1\r\nrefs=2\r\nbf=1\r\ncoder=1\r\nme_range=16\r\ng=300\r\nkeyint_min=25\r\nsc_threshold=40\r\n"
    "i_qfactor=0.71\r\nbt=64k\r\nmaxrate=4M\r\nbufsize=4M\r\nrc_eq='blurCplx^(1-qComp)'\r\nqcomp=0.6\r\n"
    "qmin=10\r\nqmax=51\r\nqdiff=4\r\nlevel=21";

// What a preset stores for a record field of that type: texts are views of the tables' literals.
template <typename T> struct TPresetValueOf { using Type = T; };
template <> struct TPresetValueOf<std::string> { using Type = std::string_view; };
template <typename T> using TPresetValue = typename TPresetValueOf<T>::Type;

// The output fields a class, a format or a preset writes; an empty optional is not written.
// They are the rows of TOutputOptions' field list marked Preset, with their names and in its order.
struct TPresetFields {
#define MW_PRESET_FIELD_Preset(type, member) std::optional<TPresetValue<type>> member{};
#define MW_PRESET_FIELD_NoPreset(type, member)
#define MW_OUTPUT_FIELD(type, member, reset, option, when, preset) MW_PRESET_FIELD_##preset(type, member)
#include "app/OutputOptionFields.inc"
#undef MW_OUTPUT_FIELD
#undef MW_PRESET_FIELD_NoPreset
#undef MW_PRESET_FIELD_Preset
    // AudioBitrate comes from the source's first audio stream (per-file mode only).
    bool AudioBitrateFromSource = false;
};

struct TFormatClassInfo {
    uint8_t Value;
    std::string_view Name;
    std::string_view Button;   // ButtonToFormatVideo ...
    std::string_view TabSheet; // TabSheetToFormatVideo ...
    std::string_view Caption;
    TPresetFields Fields; // class-level fields
};

struct TFormatInfo {
    uint8_t Class;
    uint8_t Number;
    std::string_view Name;
    std::string_view FlagKey;    // key of the product configuration's format flag
    std::string_view Button;     // ButtonFormatAVI ...
    std::string_view PresetList; // ImageComboBoxAVIPresets ...
    int32_t PresetCount;
    int32_t DefaultPreset;
    std::string_view Extension; // output file extension, dot included
    TPresetFields Fields;       // format-level fields, written whatever the preset index
};

struct TPresetRow {
    uint8_t Class;
    uint8_t Format;
    int32_t Index;
    std::string_view Text;
    TPresetFields Fields; // every field the row writes, format-level ones included
};

std::span<const TFormatClassInfo> FormatClasses();
// All 25 formats, in class order and, within a class, in their numbering.
std::span<const TFormatInfo> Formats();
// All 180 presets, in class, format and index order.
std::span<const TPresetRow> PresetRows();

// nullptr for values outside the numbering (hand-edited settings are never trusted).
const TFormatClassInfo* FindFormatClass(int formatClass);
const TFormatInfo* FindFormat(int formatClass, int format);
const TPresetRow* FindPreset(int formatClass, int format, int32_t index);

// The entries of a format's preset list, in list order; empty for an unknown format.
std::vector<std::string_view> PresetTexts(int formatClass, int format);

} // namespace mw
