// The plain records one transcoding run consumes and the run-side state it builds: the job's
// inputs and outputs (already opened), the options the run reads, the hooks towards the owner,
// the per-stream tables and the run's result.
//
// Threading contract: a job and everything below it belong to the one thread that runs it
// (RunJob's caller). Only TRunHooks::StopRequested is written by another thread (atomic).
#pragma once

#include "engine/FFEntries.h"
#include "engine/FFUtils.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace mw {

inline constexpr int64_t RunTimeNotSet = std::numeric_limits<int64_t>::min();
inline constexpr int64_t RunNoLimit = std::numeric_limits<int64_t>::max();

struct TRunFormatFree {
    void operator()(AVFormatContext* c) const;
};
// An output context: closes its file (when the muxer writes one) and frees the context.
using TRunOutputContextPtr = std::unique_ptr<AVFormatContext, TRunFormatFree>;
struct TSwrFree {
    void operator()(SwrContext* c) const { FFApi.swr_free(&c); }
};
using TSwrContextPtr = std::unique_ptr<SwrContext, TSwrFree>;
struct TAudioFifoFree {
    void operator()(AVAudioFifo* f) const { FFApi.av_audio_fifo_free(f); }
};
using TAudioFifoPtr = std::unique_ptr<AVAudioFifo, TAudioFifoFree>;
struct TFilterGraphFree {
    void operator()(AVFilterGraph* g) const { FFApi.avfilter_graph_free(&g); }
};
using TFilterGraphPtr = std::unique_ptr<AVFilterGraph, TFilterGraphFree>;
struct TBsfFree {
    void operator()(AVBSFContext* b) const { FFApi.av_bsf_free(&b); }
};
using TBsfContextPtr = std::unique_ptr<AVBSFContext, TBsfFree>;

// The options the run reads (the option state's values at the time the job was built).
struct TRunOptions {
    int VideoSyncMethod = -1;             // "vsync": -1 automatic, 0 pass timestamps, 1 constant, 2 variable
    int AudioSyncMethod = 0;              // "async": above 1 = drift compensation limit (samples per second)
    double AudioDriftThreshold = 0.1;     // "adrift_threshold", seconds
    int AudioVolume = 256;                // "vol"
    bool CopyInitialNonKeyframes = false; // "copyinkf"
    bool CopyTimestamps = false;          // "copyts"
    int64_t RecordingTimeUs = RunNoLimit; // "t"
    int64_t StartTimeUs = 0;              // output "ss"
    int64_t LimitFileSize = 0;            // "fs" bytes; 0 = none
    bool Shortest = false;                // "shortest"
    bool ExitOnError = false;             // "xerror"
    bool InputSync = false;               // "isync"
    int64_t MaxVideoFrames = RunNoLimit;  // "vframes"
    int64_t MaxAudioFrames = RunNoLimit;  // "aframes"
    int64_t MaxDataFrames = RunNoLimit;   // "dframes"
    bool RateEmulation = false;           // "re"
    std::string VideoFilters;             // "vf"
    int SwsFlags = SWS_BICUBIC;           // "sws_flags"
    int Verbosity = 1;                    // "v"
    int DoPass = 0;                       // "pass": 1 or 2 (0 = one pass)
    std::string PassLogFile;              // "passlogfile"; empty = "ffmpeg2pass"
    std::string VStatsFile;               // "vstats"/"vstats_file"
    bool SameQuality = false;             // "sameq"
    int TopFieldFirst = -1;               // "top"
    bool DumpPackets = false;             // "dump"
    int64_t ProgressPeriodUs = 500000;
};

// One explicit "map": output stream <- input stream, optionally with its sync stream.
struct TRunStreamMap {
    int File = 0;
    int Stream = 0;
    int SyncFile = -1; // -1 = the mapped stream itself
    int SyncStream = -1;
};

// One input as the job building left it.
struct TRunInput {
    TInputContextPtr Context;
    int64_t TsOffsetUs = 0; // added to every timestamp read from the file
};

// One stream of an output as the job building made it: the muxer's stream and, unless copied,
// its encoder context configured but not opened.
struct TRunOutputStreamSpec {
    AVStream* Stream = nullptr;
    TCodecContextPtr Encoder;               // empty for stream copy
    AVDictionary* EncoderOptions = nullptr; // handed to avcodec_open2, freed with the spec
    std::vector<int64_t> ForcedKeyFramesUs;
    std::string BitstreamFilters; // comma-separated names

    TRunOutputStreamSpec() = default;
    TRunOutputStreamSpec(TRunOutputStreamSpec&& o) noexcept;
    TRunOutputStreamSpec& operator=(TRunOutputStreamSpec&&) = delete;
    ~TRunOutputStreamSpec();
};

struct TRunOutput {
    TRunOutputContextPtr Context;
    std::string FileName; // for deleting an empty result
    std::vector<TRunOutputStreamSpec> Streams;
};

// The plain job record one run consumes.
struct TRunJob {
    std::vector<TRunInput> Inputs;
    std::vector<TRunOutput> Outputs;
    TRunOptions Options;
    std::vector<TRunStreamMap> Maps;
    bool Join = false;            // one output made from every input in turn
    int64_t ExpectedTotalUs = -1; // progress total; -1 = none
    bool Terminated = false;      // a terminated job does not run again
};

// What the owner gets with each progress report.
struct TRunProgress {
    int InputIndex = 0; // -1 in the final report
    int Frame = 0;
    int Fps = 0;
    float Quality = 0;
    int64_t SizeBytes = 0;
    int64_t TimeUs = 0;
    double BitRateKbps = 0;
    int Duplicated = 0;
    int Dropped = 0;
    int64_t TotalUs = -1;
    bool Final = false;
    std::string Line; // "frame=... fps=... q=... size=... time=... bitrate=..."
};

struct TRunHooks {
    std::function<void(const TRunProgress&)> OnProgress;
    const std::atomic<bool>* StopRequested = nullptr; // checked at every packet
    bool Stopping() const { return StopRequested && StopRequested->load(std::memory_order_relaxed); }
};

struct TRunResult {
    bool Finished = false; // ran to the end without a stop
    bool Failed = false;
    std::string ErrorText;
};

} // namespace mw
