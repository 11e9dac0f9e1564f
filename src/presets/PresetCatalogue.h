// The fixed output vocabulary: 3 format classes, 25 formats and 180 presets, kept as tables.
// Each preset row carries its display text and every output option it writes, so the lists on
// the output page, the option mapping and the command-line listing all read the same rows.
#pragma once

#include "app/UserSettings.h"

#include <cstdint>
#include <optional>
#include <span>
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

// The output fields a class, a format or a preset writes; an empty optional is not written.
// Names and order are those of TOutputOptions.
struct TPresetFields {
    std::optional<std::string_view> FileFormat{};
    std::optional<std::string_view> AudioCodec{};
    std::optional<int32_t> AudioChannels{};
    std::optional<int32_t> AudioSampleRate{};
    std::optional<int32_t> AudioBitrate{};
    std::optional<std::string_view> VideoCodec{};
    std::optional<std::string_view> VideoPreset{};
    std::optional<bool> DisableVideo{};
    std::optional<std::string_view> FrameRate{};
    std::optional<std::string_view> FrameSize{};
    std::optional<std::string_view> FrameAspectRatio{};
    std::optional<int32_t> VideoBitrate{};
    std::optional<int32_t> VideoMaxRate{};
    std::optional<int32_t> VideoMinRate{};
    std::optional<int32_t> VideoBufSize{};
    std::optional<std::string_view> VideoTag{};
    std::optional<int32_t> TargetType{};
    std::optional<int32_t> TargetNorm{};
    std::optional<std::string_view> ExtOptions{};
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
