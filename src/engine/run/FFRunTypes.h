// What one transcoding run reads besides the job record (the options it takes from the option
// state), what it tells its owner (progress) and its result.
//
// Threading contract: everything here belongs to the thread that runs the job (RunJob's caller).
#pragma once

#include "engine/tasks/FFEncodeTypes.h"
#include "engine/FFEntries.h"
#include "engine/job/FFJob.h"
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

struct TAudioFifoFree {
    void operator()(AVAudioFifo* f) const { FFApi.av_audio_fifo_free(f); }
};
using TAudioFifoPtr = std::unique_ptr<AVAudioFifo, TAudioFifoFree>;

// The job-wide options the run reads, taken from the job's option state when the run starts.
// (Per-stream settings - filters, passes, scaler flags, bitstream filters - live on the streams.)
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
    int64_t DtsDeltaThresholdUs = 10000000;
    int Verbosity = 1;        // "v"
    bool SameQuality = false; // "sameq"
    int TopFieldFirst = -1;   // "top"
    bool Deinterlace = false; // "deinterlace"
    int64_t ProgressPeriodUs = 500000;
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

// The owner's side of a run. The stop flag is the job's own (TTranscodeJob::StopRequested).
// The hooks are called on the run's thread; the audio and video hooks only when the job asks for
// them (TTranscodeJob::AudioHook ...).
struct TRunHooks {
    std::function<void(const TRunProgress&)> OnProgress;
    int64_t ProgressPeriodUs = 500000; // the owner's progress interval
    // Decoded audio before the volume, at the stream's current time.
    TAudioHookCall OnAudioHook;
    TVideoHookCall OnVideoHook;
    // A preview picture; made at most once per preview period, and only when PreviewWanted (when
    // set) says someone looks at it.
    TPreviewCall OnPreview;
    std::function<bool()> PreviewWanted;
};

struct TRunResult {
    bool Finished = false; // ran to the end without a stop
    bool Failed = false;
    std::string ErrorText;
};

} // namespace mw
