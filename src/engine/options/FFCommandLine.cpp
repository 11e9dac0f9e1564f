#include "engine/options/FFCommandLine.h"

#include "engine/job/FFInputFile.h"
#include "engine/job/FFJob.h"
#include "engine/options/FFOptionParser.h"
#include "engine/options/FFOptionTable.h"
#include "engine/job/FFOutputFile.h"

#include <algorithm>

namespace mw {

namespace {

bool Usage(TCommandLineResult& result, const std::string& text) {
    result.UsageError = true;
    result.ErrorText = text;
    return false;
}

bool Failed(TTranscodeJob& job, TCommandLineResult& result) {
    result.ErrorText = job.BuildErrorText;
    return false;
}

// Switches and options without a value take none on the command line ("-vn", "-y").
bool TakesValue(const std::string& name) {
    const TOptionDef* row = FindOptionDef(name);
    return !row || (row->Kind != TOptionKind::None && row->Kind != TOptionKind::Switch);
}

} // namespace

bool BuildJobFromCommandLine(TTranscodeJob& job, const std::vector<std::string>& args,
                             TCommandLineResult& result, TBeforeOutput beforeOutput) {
    // "-y" is a global answer: it counts wherever it stands.
    result.Overwrite = std::find(args.begin(), args.end(), "-y") != args.end();
    job.OverwriteOutputs = result.Overwrite;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() > 1 && arg[0] == '-') {
            const std::string name = arg.substr(1);
            std::string value = TakesValue(name) ? std::string() : "1";
            if (TakesValue(name)) {
                if (i + 1 >= args.size()) return Usage(result, "missing argument for option '" + arg + "'");
                value = args[++i];
            }
            if (name == "i") {
                if (!OpenInputFile(job, value)) return Failed(job, result);
                continue;
            }
            if (!ParseOption(job, name, value)) return Failed(job, result);
            continue;
        }
        std::string error;
        if (beforeOutput && !beforeOutput(arg, result, error)) {
            result.ErrorText = error;
            return false;
        }
        if (OpenOutputFile(job, arg) < 0) return Failed(job, result);
        result.OutputNames.push_back(arg);
    }
    if (job.Inputs.empty()) return Usage(result, "At least one input file must be specified");
    if (job.Outputs.empty()) return Usage(result, "At least one output file must be specified");
    return true;
}

} // namespace mw
