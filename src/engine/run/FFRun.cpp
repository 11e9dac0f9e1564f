#include "engine/run/FFRun.h"

#include "engine/FFLog.h"
#include "engine/run/FFPipeline.h"
#include "engine/run/FFRunClose.h"
#include "engine/run/FFRunInterrupt.h"
#include "engine/run/FFRunLoop.h"
#include "engine/run/FFRunReport.h"
#include "engine/run/FFRunSetup.h"

#include "app/UtilFuncs.h"

#include <algorithm>
#include <map>

namespace mw {

namespace {

void Fail(TRunResult& result, const std::string& text) {
    if (result.Failed) return;
    result.Failed = true;
    result.ErrorText = text;
    EngineLog(nullptr, llQuiet, text);
}

// The progress total: the longest input (a join: the inputs together), less the output's start,
// and never more than the output's "t".
void SetExpectedTotal(TTranscodeJob& job) {
    int64_t total = job.ExpectedTotalUs;
    if (job.Join) {
        int64_t sum = 0;
        for (auto& input : job.Inputs)
            if (input.Context && input.Context->duration > 0) sum += input.Context->duration;
        if (sum > total) total = sum;
    }
    const int64_t start = job.Options.StartTimeUs;
    if (total > 0 && start > 0) total = std::max<int64_t>(total - start, 0);
    const int64_t limit = job.Options.RecordingTimeUs;
    if (limit != INT64_MAX && limit > 0) total = total > 0 ? std::min(total, limit) : limit;
    job.ExpectedTotalUs = total > 0 ? total : -1;
}

// An output that got no packet for a picture or sound stream it made did not convert: the text
// that fails the run, empty when every such stream got something.
std::string NothingEncodedText(const TRunState& run) {
    for (size_t f = 0; f < run.Job.Outputs.size(); ++f) {
        // The slots of a join share their output's streams.
        std::map<const AVStream*, int64_t> packets;
        for (auto& ost : run.Outputs)
            if (ost->FileIndex == static_cast<int>(f)) packets[ost->Stream] += ost->PacketsWritten;
        int64_t total = 0;
        const AVStream* empty = nullptr;
        for (const auto& [stream, count] : packets) {
            total += count;
            const AVMediaType kind = stream->codecpar->codec_type;
            if (!count && !empty && (kind == AVMEDIA_TYPE_VIDEO || kind == AVMEDIA_TYPE_AUDIO))
                empty = stream;
        }
        if (total == 0) return "Output file is empty, nothing was encoded";
        if (empty)
            return FormatText("Nothing was encoded for output stream #%d.%d (%s)", static_cast<int>(f),
                              empty->index, MediaKindName(empty->codecpar->codec_type));
    }
    return {};
}

// A run that ends without an error far short of its input probably lost most of it.
void WarnWhenShort(const TRunState& run) {
    const int64_t expected = run.Job.ExpectedTotalUs;
    if (expected <= 0) return;
    double reached = 0;
    for (auto& ost : run.Outputs)
        reached = std::max(reached, ost->OutputTime());
    const auto reachedUs = static_cast<int64_t>(reached * 1000000.0);
    if (reachedUs * 2 < expected)
        EngineLogFormat(nullptr, llWarning, "The output lasts %s, less than half of the expected %s",
                        FormatMicroseconds(reachedUs).c_str(), FormatMicroseconds(expected).c_str());
}

// A job's files are closed by its run, so a job runs once.
bool AlreadyRun(const TTranscodeJob& job) {
    for (auto& output : job.Outputs)
        if (!output.Context) return true;
    return false;
}

void Body(TRunState& run, TRunInterrupt& interrupt, TRunResult& result) {
    try {
        run.Packet.reset(FFApi.av_packet_alloc());
        run.Decoded.reset(FFApi.av_frame_alloc());
        if (!run.Packet || !run.Decoded) RaiseRunError("Could not alloc buffer.");
        SetUpRun(run);
        StartEncodeWorkers(run);
        run.StartTime = run.LastReport = std::chrono::steady_clock::now();
        RunMainLoop(run);
        FinishEncodeWorkers(run);
    } catch (const TRunError& e) {
        Fail(result, e.what());
    } catch (const std::exception& e) {
        Fail(result, e.what());
    }
    interrupt.Release();
    const std::string trailerError = WriteTrailers(run);
    if (!trailerError.empty()) Fail(result, trailerError);
    if (!result.Failed && !run.Stopping()) {
        if (const std::string nothing = NothingEncodedText(run); !nothing.empty())
            Fail(result, nothing);
        else
            WarnWhenShort(run);
    }
    try {
        if (!result.Failed) SendProgressReport(run, true);
    } catch (const std::exception& e) {
        Fail(result, e.what());
    }
}

} // namespace

bool RunJob(TTranscodeJob& job, const TRunHooks& hooks, TRunResult& result) {
    result = TRunResult{};
    if (AlreadyRun(job)) {
        result.Failed = true;
        result.ErrorText = "The job has already run";
        return false;
    }
    if (job.Outputs.empty())
        Fail(result, "At least one output file must be specified");
    else if (job.Inputs.empty())
        Fail(result, "At least one input file must be specified");
    if (!result.Failed) {
        SetExpectedTotal(job);
        TRunState run(job, hooks);
        TRunInterrupt interrupt(job, run.Reads);
        Body(run, interrupt, result);
    }
    // A failed run's output is of no use; a stopped one keeps what it wrote, trailer included.
    CloseJobFiles(job, result.Failed);
    result.Finished = !result.Failed && !job.StopRequested;
    return !result.Failed;
}

} // namespace mw
