#include "engine/FFCommandLine.h"
#include "engine/FFJob.h"

namespace mw {
bool BuildJobFromCommandLine(TTranscodeJob&, const std::vector<std::string>&, TCommandLineResult& result,
                             TBeforeOutput) {
    result.UsageError = true;
    result.ErrorText = "not available yet";
    return false;
}
} // namespace mw
