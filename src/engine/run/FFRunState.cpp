#include "engine/run/FFRunState.h"

#include "engine/FFMediaKinds.h"
#include "engine/run/FFPipeline.h"
#include "engine/run/FFRunHooks.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cstdarg>

namespace mw {

void RaiseRunError(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    throw TRunError(text);
}

const char* MediaKindName(AVMediaType kind) {
    const TMediaKind* k = MediaKindOf(kind);
    return k ? k->Caption : "Unknown";
}

TRunOutputStream::TRunOutputStream() = default;

TRunOutputStream::~TRunOutputStream() {
    Worker.reset(); // the encoder is the worker's until its thread has ended
    FFApi.av_channel_layout_uninit(&InLayout);
    if (PassLog) std::fclose(PassLog);
    // The encoder may still point at the pass-2 statistics this record owns.
    if (Encoder) Encoder->stats_in = nullptr;
}

double TRunOutputStream::OutputTime() const {
    if (!Encoder) return static_cast<double>(LastDtsUs) / 1000000.0;
    return static_cast<double>(SyncCounter) * av_q2d(Encoder->time_base);
}

namespace {

int64_t FrameLimitOf(int limit) {
    return limit == INT_MAX ? RunNoLimit : limit;
}

TRunOptions RunOptionsOf(const TOptionState& state, const TRunHooks& hooks) {
    TRunOptions o;
    o.VideoSyncMethod = state.VideoSyncMethod;
    o.AudioSyncMethod = state.AudioSyncMethod;
    o.AudioDriftThreshold = state.AudioDriftThreshold;
    o.AudioVolume = state.AudioVolume;
    o.CopyInitialNonKeyframes = state.CopyInitialNonKeyframes != 0;
    o.CopyTimestamps = state.CopyTs;
    o.RecordingTimeUs = state.RecordingTimeUs;
    o.StartTimeUs = state.StartTimeUs;
    o.LimitFileSize = static_cast<int64_t>(std::min<uint64_t>(state.LimitFileSize, INT64_MAX));
    o.Shortest = state.Shortest;
    o.ExitOnError = state.ExitOnError;
    o.InputSync = state.InputSync;
    o.MaxVideoFrames = FrameLimitOf(state.MaxVideoFrames);
    o.MaxAudioFrames = FrameLimitOf(state.MaxAudioFrames);
    o.MaxDataFrames = FrameLimitOf(state.MaxDataFrames);
    o.RateEmulation = state.RateEmu;
    o.DtsDeltaThresholdUs = static_cast<int64_t>(state.DtsDeltaThreshold * 1000000.0);
    o.Verbosity = state.Verbosity;
    o.SameQuality = state.SameQuality;
    o.TopFieldFirst = state.TopFieldFirst;
    o.Deinterlace = state.Deinterlace;
    o.ProgressPeriodUs = hooks.ProgressPeriodUs;
    return o;
}

} // namespace

TRunState::TRunState(TTranscodeJob& job, const TRunHooks& hooks)
    : Job(job), Options(RunOptionsOf(job.Options, hooks)), Hooks(hooks),
      HookState(MakeRunHookState(job, Options, hooks)) {}

TRunState::~TRunState() {
    if (VStats) std::fclose(VStats);
    // Encoders belong to the job's records; decoders are freed here, under the codec lock.
    for (auto& input : Inputs)
        for (auto& ist : input.Streams)
            FreeCodecLocked(ist->Decoder);
}

} // namespace mw
