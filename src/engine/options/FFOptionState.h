// The option state of one transcoding job: every option a task applies lands here, and the next
// input or output that is opened consumes it. Per-file values are cleared again after each input,
// stream and output (the Clear* functions below); job-wide values (limits, maps, sync methods)
// stay for the run.
//
// Threading: the state belongs to its job; it is written while the job is built (the caller's
// thread) and only read by the run (the job's worker). No locks.
#pragma once

#include "engine/options/FFGenericOptions.h"

#include <array>
#include <climits>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace mw {

// Most streams one input may have per-stream settings for ("itsscale").
inline constexpr int MaxStreams = 20;

// Kinds the per-kind settings are indexed by.
enum TStreamKind : int { skVideo = 0, skAudio = 1, skSubtitle = 2 };

// "map": output stream <- input file.stream, synchronised on sync file.stream.
struct TStreamMap {
    int FileIndex = 0;
    int StreamIndex = 0;
    int SyncFileIndex = 0;
    int SyncStreamIndex = 0;
};

// One side of a "map_meta_data" entry: type 'g' (global), 's' (stream), 'c' (chapter), 'p' (program).
struct TMetaDataMapSide {
    int FileIndex = 0;
    char Type = 'g';
    int Index = 0;
};
struct TMetaDataMap {
    TMetaDataMapSide Out;
    TMetaDataMapSide In;
};

// "map_chapters": chapters of input InFile go to output OutFile.
struct TChapterMap {
    int OutFile = 0;
    int InFile = 0;
};

struct TOptionState {
    // Per input file (cleared or refilled after each input).
    std::string ForcedFormat;    // "f"
    int AudioSampleRate = 44100; // "ar"
    int AudioChannels = 2;       // "ac"
    AVRational FrameRate{0, 0};  // "r"; {0,0} = none
    int FrameWidth = 0;          // "s"
    int FrameHeight = 0;
    double FrameAspectRatio = 0.0; // "aspect"
    int FramePixFmt = -1;          // "pix_fmt" (AVPixelFormat), -1 none
    int AudioSampleFmt = -1;       // "sample_fmt" (AVSampleFormat), -1 none
    int VideoChannel = 0;          // "vc"
    std::string VideoStandard;     // "tvstd"
    bool NoAutoRotate = false;     // "noautorotate": keep rotated pictures as they are stored

    // Per stream kind, indexed by skVideo/skAudio/skSubtitle.
    std::array<std::string, 3> CodecName;        // "vcodec", "acodec", "scodec"; empty = default
    std::array<bool, 3> StreamCopy{};            // codec "copy"
    std::array<bool, 3> Disable{};               // "vn", "an", "sn"
    std::array<std::string, 3> Language;         // "vlang", "alang", "slang"
    std::array<uint32_t, 3> CodecTag{};          // "vtag", "atag", "stag"
    std::array<std::vector<std::string>, 3> Bsf; // "vbsf", "absf", "sbsf": "name" or "name=args"

    // Limits.
    int MaxVideoFrames = INT_MAX;                // "vframes"
    int MaxAudioFrames = INT_MAX;                // "aframes"
    int MaxDataFrames = INT_MAX;                 // "dframes"
    int64_t RecordingTimeUs = INT64_MAX;         // "t"
    uint64_t LimitFileSize = 0;                  // "fs", 0 = none
    int64_t StartTimeUs = 0;                     // "ss"
    int64_t InputTsOffsetUs = 0;                 // "itsoffset"
    std::array<double, MaxStreams> InputTsScale; // "itsscale", 1.0 each
    int64_t RecordingTimestamp = 0;              // "timestamp", seconds

    // Video coding.
    float VideoQScale = 0.0f; // "qscale", 0 = none
    bool IntraOnly = false;
    bool SameQuality = false;
    bool Deinterlace = false;
    int TopFieldFirst = -1;
    int IntraDcPrecision = 8;
    int MeThreshold = 0;
    std::string RcOverride;
    std::vector<uint16_t> IntraMatrix; // empty = none, else 64 values
    std::vector<uint16_t> InterMatrix;
    int Pass = 0;
    std::string PassLogFileName;
    std::string ForcedKeyFrames;
    std::string VideoFilters; // "vf", "vfilters"
    int VideoDiscard = 0;
    bool QpHist = false;
    bool ForceFps = false;
    bool Psnr = false;
    std::string VStatsFileName; // empty = none

    // Audio.
    int AudioVolume = 256;
    float AudioQScale = 0.0f; // "aq", 0 = none
    int AudioSyncMethod = 0;
    float AudioDriftThreshold = 0.1f;

    // Muxing and timing.
    float MuxPreload = 0.5f;
    float MuxMaxDelay = 0.7f;
    bool LoopInput = false;
    int LoopOutput = -1;
    int VideoSyncMethod = -1;
    bool CopyTs = false;
    bool CopyTb = false;
    bool Shortest = false;
    float DtsDeltaThreshold = 10.0f;
    bool InputSync = false;
    bool ExitOnError = false; // "xerror"
    int CopyInitialNonKeyframes = 0;
    int UseGlobalHeaders = 0; // "vglobal"
    bool RateEmu = false;     // "re"
    bool DumpPackets = false;
    bool HexDump = false;
    int ProgramId = 0;
    bool ProgramIdSet = false;
    std::vector<TStreamMap> StreamMaps;
    std::vector<TMetaDataMap> MetaDataMaps;
    std::vector<TChapterMap> ChapterMaps;
    std::map<int, int> StreamIds;                              // output stream index -> id
    std::vector<std::pair<std::string, std::string>> Metadata; // "metadata" key/value, in order

    // Run.
    int Verbosity = 1; // "v"
    int ThreadCount = 1;
    int SwsFlags = 4; // SWS_BICUBIC

    // Generic codec/format/scaler options, remembered for every later context.
    TGenericOptions Generic;

    // Legacy x264 settings collected from old option names until they are handed on together.
    int DeblockAlpha = 0;
    int DeblockBeta = 0;
    unsigned LegacyPartitions = 0; // the old partition flags as switched on so far

    TOptionState();
};

// Back to the values after creation (the generic option list included).
void ResetOptionState(TOptionState& state);
// After an input is opened: forced format, video channel, "noautorotate" and the three codec names. (The
// stream-derived values are refilled by the input opening itself.)
void ClearAfterInput(TOptionState& state);
// After a stream of the kind is made (video also forgets forced key frames and the pixel format).
void ClearAfterStream(TOptionState& state, TStreamKind kind);
// After an output is opened: forced format, stream ids, collected metadata.
void ClearAfterOutput(TOptionState& state);

} // namespace mw
