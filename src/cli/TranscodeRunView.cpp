#include "cli/TranscodeRunView.h"

#include "engine/FFRun.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace mw::cli {

namespace {

// The running job's stop flag (lock-free atomic: safe to set from the signal handler).
std::atomic<bool>* GStopFlag = nullptr;

extern "C" void OnTranscodeInterrupt(int) {
    if (GStopFlag) GStopFlag->store(true);
}

} // namespace

int RunTranscodeJob(TTranscodeJob& job) {
    const bool terminal = isatty(STDERR_FILENO);
    bool lineOpen = false;
    TRunHooks hooks;
    GStopFlag = &job.StopRequested;
    hooks.OnProgress = [&](const TRunProgress& p) {
        if (terminal && !p.Final) {
            std::fprintf(stderr, "\r%s\033[K", p.Line.c_str());
            lineOpen = true;
        } else {
            std::fprintf(stderr, "%s%s\n", terminal ? "\r\033[K" : "", p.Line.c_str());
            lineOpen = false;
        }
        std::fflush(stderr);
    };
    auto previous = std::signal(SIGINT, OnTranscodeInterrupt);
    TRunResult result;
    RunJob(job, hooks, result);
    std::signal(SIGINT, previous);
    GStopFlag = nullptr;
    if (lineOpen) std::fputc('\n', stderr);
    if (result.Failed) std::fprintf(stderr, "%s\n", result.ErrorText.c_str());
    return result.Finished ? 0 : 1;
}

} // namespace mw::cli
