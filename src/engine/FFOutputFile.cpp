#include "engine/FFOutputFile.h"
#include "engine/FFJob.h"

namespace mw {
int OpenOutputFile(TTranscodeJob& job, const std::string& fileName, bool) {
    job.BuildErrorText = fileName + ": not available yet";
    return -1;
}
bool AddOutputStream(TTranscodeJob& job, int) {
    job.BuildErrorText = "At least one output file must be specified";
    return false;
}
} // namespace mw
