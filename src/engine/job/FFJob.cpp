#include "engine/job/FFJob.h"

#include "engine/run/FFFrameHook.h"
#include "engine/FFLoad.h"

#include <algorithm>

namespace mw {

TInputFile::~TInputFile() {
    // The context reads through IO until it is closed.
    Context.reset();
    IO.reset();
}

TOutputFile::~TOutputFile() {
    Streams.clear();
    Context.reset();
    if (IO) IO->Close();
    IO.reset();
}

TTranscodeJob::TTranscodeJob(int capacity) : Capacity(std::clamp(capacity, 1, 512)) {}

TTranscodeJob::~TTranscodeJob() = default;

bool BuildError(TTranscodeJob& job, const std::string& text) {
    job.BuildErrorText = text;
    return false;
}

bool LibrariesReady(TTranscodeJob& job) {
    const std::string missing = MissingLibraryText();
    return missing.empty() || BuildError(job, missing);
}

std::string FFFileUrl(const std::string& fileName) {
    return LibraryFileName(fileName);
}

} // namespace mw
