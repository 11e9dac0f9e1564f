#include "cli/TranscodeRunView.h"

#include "engine/run/FFRun.h"

#include <cstdio>
#include <unistd.h>

namespace mw::cli {

int RunTranscodeJob(TTranscodeJob& job) {
    const bool terminal = isatty(STDERR_FILENO);
    bool lineOpen = false;
    TRunHooks hooks;
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
    TRunResult result;
    RunJob(job, hooks, result);
    if (lineOpen) std::fputc('\n', stderr);
    if (result.Failed) std::fprintf(stderr, "%s\n", result.ErrorText.c_str());
    return result.Finished ? 0 : 1;
}

} // namespace mw::cli
