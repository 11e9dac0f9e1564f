#include "engine/FFFrameHook.h"
#include "engine/FFJob.h"

namespace mw {
TFrameHook::~TFrameHook() {
    if (Release) Release(Context);
}
bool AddFrameHook(TTranscodeJob& job, const std::string& commandLine) {
    job.BuildErrorText = "Failed to add video hook function: " + commandLine;
    return false;
}
} // namespace mw
