// Option records the caller hands to the encoder for one input and one output, with their reset
// values. Plain data, no library dependency: the preset mapping fills them without the engine.
// Texts are UTF-8; times are microseconds.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

namespace mw {

// The engine's "not set" time (0x8000000000000000).
inline constexpr int64_t TimeNotSetUs = std::numeric_limits<int64_t>::min();

// Metadata to write into the output.
struct TStreamInfo {
    double Timestamp = -1.0; // date-time in days; -1 = do not write, 0 = now
    int32_t Year = -1;       // written when above 0
    int32_t Track = -1;      // written when above 0
    std::string Title;       // strings: written when not empty
    std::string Author;
    std::string Copyright;
    std::string Comment;
    std::string Album;
    std::string Genre;

    bool operator==(const TStreamInfo&) const = default;
};
using PStreamInfo = TStreamInfo*;

// Options of one input.
struct TInputOptions {
    std::string FileName;             // filled from the file-name argument when empty
    std::string FileFormat;           // forced demuxer; empty = probe
    int64_t StartTime = TimeNotSetUs; // "ss"
    int32_t ProgramID = -1;           // applied when 0 or more
    std::string ExtOptions;           // "name=value" lines

    bool operator==(const TInputOptions&) const = default;
};
using PInputOptions = TInputOptions*;

// Options of the output. The comment after a field names the transcoder option it feeds and,
// where it matters, when the engine applies it.
struct TOutputOptions {
    std::string FileName;               // filled from the file-name argument when empty
    std::string FileExt;                // kept with the task, not read by the engine
    std::string FileFormat;             // "f"; empty = from the file name
    int32_t PacketSize = -1;            // "packetsize", above 0
    int32_t MuxRate = -1;               // "muxrate", above 0
    float MuxDelay = -1.0f;             // "muxdelay" seconds, above 0
    float MuxPreload = -1.0f;           // "muxpreload" seconds, above 0
    std::string AudioCodec;             // "acodec"; "copy" copies the stream
    std::string AudioPreset;            // "apre"
    bool DisableAudio = false;          // "an", when true
    int32_t AudioVolume = -1;           // "vol", 0 or more (256 = unchanged)
    int32_t AudioChannels = -1;         // "ac", above 0
    int32_t AudioSampleRate = -1;       // "ar" Hz, above 0
    int32_t AudioBitrate = -1;          // "ab" bits/s, above 0 and without a target
    int32_t AudioBitrateTolerance = -1; // "abt", above 0
    std::string AudioLanguage;          // "alang", always
    int32_t AudioSync = 0;              // "async", always
    std::string AudioTag;               // "atag"
    std::string VideoCodec;             // "vcodec"; "copy" copies the stream
    std::string VideoPreset;            // "vpre"
    bool DisableVideo = false;          // "vn", when true
    std::string FrameRate;              // "r"
    std::string FrameSize;              // "s"
    std::string FrameAspectRatio;       // "aspect"
    int32_t GOPSize = -1;               // "g", above 0
    int32_t VideoBitrate = -1;          // "vb" bits/s, above 0 and without a target
    int32_t VideoMaxRate = -1;          // "maxrate", above 0
    int32_t VideoMinRate = -1;          // "minrate", above 0
    int32_t VideoBitrateTolerance = -1; // "bt", above 0
    int32_t VideoBufSize = -1;          // "bufsize" bits, above 0
    int32_t VideoSync = -1;             // "vsync", always (-1 = automatic)
    std::string VideoTag;               // "vtag"
    std::string VideoFilters;           // "vf"
    std::string VideoLanguage;          // "vlang", always
    std::string SubtitleCodec;          // "scodec"
    std::string SubtitlePreset;         // "spre"
    bool DisableSubtitle = false;       // "sn", when true
    std::string SubtitleLanguage;       // "slang", always
    bool InputSync = false;             // "isync", always
    bool CopyTimestamps = false;        // "copyts", when true
    int64_t StartTime = TimeNotSetUs;   // "ss" for the output
    int64_t Duration = TimeNotSetUs;    // "t"; also the task's expected total
    TStreamInfo Metadata;               // written as the output's metadata
    int32_t TargetType = 0;             // 0 none, 1 "vcd", 2 "svcd", 3 "dvd"
    int32_t TargetNorm = 0;             // 0 "auto", 1 "pal", 2 "ntsc"; others count as "auto"
    int32_t FallbackNorm = 1;           // 1 "pal", any other value "ntsc"
    bool AudioHook = false;             // decoded audio to OnAudioHook
    bool VideoInputHook = false;        // decoded pictures to OnVideoInputHook
    bool VideoOutputHook = false;       // pictures about to be encoded to OnVideoOutputHook
    int32_t HookBitsPixel = 24;         // 8, 15, 16, 24 or 32
    bool Join = false;                  // concatenate all inputs of the task into this output
    std::string ExtOptions;             // "name=value" lines

    bool operator==(const TOutputOptions&) const = default;
};
using POutputOptions = TOutputOptions*;

// The caller resets a record before filling it.
inline void InitInputOptions(TInputOptions& options) {
    options = TInputOptions{};
}
inline void InitOutputOptions(TOutputOptions& options) {
    options = TOutputOptions{};
}

} // namespace mw
