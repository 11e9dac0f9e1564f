#include "engine/FFRun.h"

#include "engine/FFLog.h"
#include "engine/FFRunClose.h"
#include "engine/FFRunInterrupt.h"
#include "engine/FFRunLoop.h"
#include "engine/FFRunReport.h"
#include "engine/FFRunSetup.h"

namespace mw {

namespace {

void Fail(TRunResult& result, const std::string& text) {
    if (result.Failed) return;
    result.Failed = true;
    result.ErrorText = text;
    EngineLog(nullptr, llQuiet, text);
}

// The progress total of a join is the inputs' durations together.
void JoinTotal(TTranscodeJob& job) {
    if (!job.Join) return;
    int64_t total = 0;
    for (auto& input : job.Inputs)
        if (input.Context && input.Context->duration > 0) total += input.Context->duration;
    if (total > job.ExpectedTotalUs) job.ExpectedTotalUs = total;
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
        run.StartTime = run.LastReport = std::chrono::steady_clock::now();
        RunMainLoop(run);
    } catch (const TRunError& e) {
        Fail(result, e.what());
    } catch (const std::exception& e) {
        Fail(result, e.what());
    }
    interrupt.Release();
    const std::string trailerError = WriteTrailers(run);
    if (!trailerError.empty()) Fail(result, trailerError);
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
        JoinTotal(job);
        TRunState run(job, hooks);
        TRunInterrupt interrupt(job, run.Reads);
        Body(run, interrupt, result);
    }
    CloseJobFiles(job);
    result.Finished = !result.Failed && !job.StopRequested;
    return !result.Failed;
}

} // namespace mw
