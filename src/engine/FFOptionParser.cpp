#include "engine/FFOptionParser.h"
#include "engine/FFJob.h"

namespace mw {
bool ParseOption(TTranscodeJob& job, const std::string& name, const std::string& value) {
    return ApplyGenericOption(job, name, value);
}
bool ApplyGenericOption(TTranscodeJob& job, const std::string& name, const std::string& value) {
    if (job.Options.Generic.Set(name, value)) return true;
    job.BuildErrorText = job.Options.Generic.LastErrorMessage();
    return false;
}
std::vector<TOptionPair> TranslateLegacyOption(TTranscodeJob&, const std::string& name,
                                               const std::string& value) {
    return {{name, value}};
}
} // namespace mw
