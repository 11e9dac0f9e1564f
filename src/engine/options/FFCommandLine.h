// The transcoder's command line: options before "-i NAME" apply to that input, options before an
// output name to that output, in order, exactly as the task's option state is consumed.
//
// Threading: the caller's thread.
#pragma once

#include <string>
#include <vector>

namespace mw {

struct TTranscodeJob;

struct TCommandLineResult {
    bool UsageError = false; // the arguments themselves are malformed (exit status 2)
    std::string ErrorText;   // set when building failed
    std::vector<std::string> OutputNames;
    bool Overwrite = false; // "-y" seen (the job then replaces regular files at output names)
};

// Walks the arguments, opening inputs and outputs in the job as they come. beforeOutput is asked
// before each output is opened (the tool's overwrite check); answering false stops with its text.
using TBeforeOutput = bool (*)(const std::string& fileName, const TCommandLineResult& sofar,
                               std::string& error);
bool BuildJobFromCommandLine(TTranscodeJob& job, const std::vector<std::string>& args,
                             TCommandLineResult& result, TBeforeOutput beforeOutput = nullptr);

} // namespace mw
