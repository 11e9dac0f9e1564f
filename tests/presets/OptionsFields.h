// Test helper: the fields of an output record that differ from the documented reset values, as
// texts keyed by field name, so expectations read as small tables and failures show a diff.
#pragma once

#include "engine/options/FFOptions.h"

#include <cstdio>
#include <map>
#include <string>

namespace mw::test {

inline std::string FieldText(const std::string& v) { return v; }
inline std::string FieldText(bool v) { return v ? "true" : "false"; }
inline std::string FieldText(int32_t v) { return std::to_string(v); }
inline std::string FieldText(int64_t v) { return std::to_string(v); }
inline std::string FieldText(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

using TFieldMap = std::map<std::string, std::string>;

inline TFieldMap ChangedFields(const TOutputOptions& o) {
    const std::string notSet = "-9223372036854775808";
    struct TEntry {
        const char* Name;
        std::string Value;
        std::string Reset;
    };
#define MW_FIELD(f, reset) TEntry{#f, FieldText(o.f), reset}
    const TEntry all[] = {
        MW_FIELD(FileName, ""),          MW_FIELD(FileExt, ""),
        MW_FIELD(FileFormat, ""),        MW_FIELD(PacketSize, "-1"),
        MW_FIELD(MuxRate, "-1"),         MW_FIELD(MuxDelay, "-1"),
        MW_FIELD(MuxPreload, "-1"),      MW_FIELD(AudioCodec, ""),
        MW_FIELD(AudioPreset, ""),       MW_FIELD(DisableAudio, "false"),
        MW_FIELD(AudioVolume, "-1"),     MW_FIELD(AudioChannels, "-1"),
        MW_FIELD(AudioSampleRate, "-1"), MW_FIELD(AudioBitrate, "-1"),
        MW_FIELD(AudioBitrateTolerance, "-1"), MW_FIELD(AudioLanguage, ""),
        MW_FIELD(AudioSync, "0"),        MW_FIELD(AudioTag, ""),
        MW_FIELD(VideoCodec, ""),        MW_FIELD(VideoPreset, ""),
        MW_FIELD(DisableVideo, "false"), MW_FIELD(FrameRate, ""),
        MW_FIELD(FrameSize, ""),         MW_FIELD(FrameAspectRatio, ""),
        MW_FIELD(GOPSize, "-1"),         MW_FIELD(VideoBitrate, "-1"),
        MW_FIELD(VideoMaxRate, "-1"),    MW_FIELD(VideoMinRate, "-1"),
        MW_FIELD(VideoBitrateTolerance, "-1"), MW_FIELD(VideoBufSize, "-1"),
        MW_FIELD(VideoSync, "-1"),       MW_FIELD(VideoTag, ""),
        MW_FIELD(VideoFilters, ""),      MW_FIELD(VideoLanguage, ""),
        MW_FIELD(SubtitleCodec, ""),     MW_FIELD(SubtitlePreset, ""),
        MW_FIELD(DisableSubtitle, "false"), MW_FIELD(SubtitleLanguage, ""),
        MW_FIELD(InputSync, "false"),    MW_FIELD(CopyTimestamps, "false"),
        MW_FIELD(StartTime, notSet),     MW_FIELD(Duration, notSet),
        MW_FIELD(Metadata.Timestamp, "-1"), MW_FIELD(Metadata.Year, "-1"),
        MW_FIELD(Metadata.Track, "-1"),  MW_FIELD(Metadata.Title, ""),
        MW_FIELD(Metadata.Author, ""),   MW_FIELD(Metadata.Copyright, ""),
        MW_FIELD(Metadata.Comment, ""),  MW_FIELD(Metadata.Album, ""),
        MW_FIELD(Metadata.Genre, ""),    MW_FIELD(TargetType, "0"),
        MW_FIELD(TargetNorm, "0"),       MW_FIELD(FallbackNorm, "1"),
        MW_FIELD(AudioHook, "false"),    MW_FIELD(VideoInputHook, "false"),
        MW_FIELD(VideoOutputHook, "false"), MW_FIELD(HookBitsPixel, "24"),
        MW_FIELD(Join, "false"),         MW_FIELD(ExtOptions, ""),
    };
#undef MW_FIELD
    TFieldMap changed;
    for (const TEntry& e : all)
        if (e.Value != e.Reset) changed[e.Name] = e.Value;
    return changed;
}

} // namespace mw::test
