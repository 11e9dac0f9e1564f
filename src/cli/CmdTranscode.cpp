// mediawizard-cli transcode: a job described in the transcoder's own option vocabulary, with the
// positional rule of the classic transcoder command line.
#include "app/UtilFuncs.h"
#include "cli/Cli.h"
#include "cli/StopSignals.h"
#include "cli/TranscodeRunView.h"
#include "engine/options/FFCommandLine.h"
#include "engine/job/FFJob.h"
#include "engine/FFLog.h"
#include "engine/options/FFOptionTable.h"
#include "engine/run/FFRunClose.h"

#include <cstdio>
#include <memory>
#include <string>

namespace {

const std::string& TranscodeUsage() {
    static const std::string text = [] {
        std::string t =
            "Usage: mediawizard-cli transcode [OPTIONS] -i INPUT [[OPTIONS] -i INPUT]... [OPTIONS] "
            "OUTPUT...\n"
            "\n"
            "Options before -i apply to that input, options before an output name to that output.\n"
            "Nothing at an output's name (a file, a folder, a link) is overwritten unless -y is given,\n"
            "and -y replaces a regular file only, never through a link; an output that is one of the\n"
            "inputs is refused. Ctrl+C, SIGTERM and SIGHUP stop the job with its outputs' trailers\n"
            "written. Names not listed below are codec, format and scaler options of the media\n"
            "libraries.\n"
            "Exit status: 0 success, 1 the job failed or was stopped, 2 usage error.\n\nOptions:\n";
        for (const auto& row : mw::OptionTable()) {
            const bool value = row.Kind != mw::TOptionKind::None && row.Kind != mw::TOptionKind::Switch;
            char line[256];
            std::snprintf(line, sizeof line, "  -%-20s %s\n",
                          (std::string(row.Name) + (value ? " ARG" : "")).c_str(), row.Help);
            t += line;
        }
        return t;
    }();
    return text;
}

// The tool's own rule: anything at an output's name (a link too, dangling or not) stays unless -y
// is given; even then only a regular file is replaced (the engine's rule).
bool RefuseExistingOutput(const std::string& fileName, const mw::TCommandLineResult& sofar,
                          std::string& error) {
    if (sofar.Overwrite || !mw::PathTaken(fileName)) return true;
    error = "File '" + fileName + "' already exists. Use -y to overwrite.";
    return false;
}

int RunTranscode(const mw::cli::TCliArgs& args) {
    if (args.empty()) return mw::cli::UsageError("transcode: no arguments (see transcode --help)");
    if (!mw::cli::LoadEngineLibraries()) return 1;
    mw::TFFLogger logger;
    logger.SetLogLevel(mw::llInfo);
    logger.TriggerEventInMainThread = false;
    logger.OnLog = [](const void*, uint32_t, mw::TLogLevel, const std::string& text) {
        std::fprintf(stderr, "%s\n", text.c_str());
    };

    mw::TCommandLineResult result;
    auto job = std::make_unique<mw::TTranscodeJob>();
    // From here on a stop signal also cuts a blocking open short while the job is built.
    const mw::cli::TStopSignals stop(job.get());
    if (mw::BuildJobFromCommandLine(*job, args, result, RefuseExistingOutput))
        return mw::cli::RunTranscodeJob(*job);
    // Outputs this job created for a run that never came are not left behind.
    mw::CloseJobFiles(*job, true);
    job.reset();
    if (result.UsageError) return mw::cli::UsageError("transcode: " + result.ErrorText);
    logger.Log(nullptr, mw::llError, result.ErrorText);
    return 1;
}

} // namespace

MW_CLI_COMMAND("transcode", "convert media files with the transcoder's own options (-i INPUT ... OUTPUT)",
               TranscodeUsage().c_str(), RunTranscode);
