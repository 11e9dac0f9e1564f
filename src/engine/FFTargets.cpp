#include "engine/FFTargets.h"
#include "engine/FFJob.h"

namespace mw {
bool ApplyTarget(TTranscodeJob& job, const std::string&, const std::string&, const std::string&) {
    job.BuildErrorText = "Unknown target type";
    return false;
}
} // namespace mw
