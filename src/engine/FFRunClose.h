// Closing a transcoding job: trailers, the job's files (an output that ended with 0 bytes is
// deleted), and everything the job holds. Runs on the run's thread, also after a failed run.
#pragma once

#include "engine/FFRunState.h"

namespace mw {

// Writes the trailer of every output whose header was written; answers the first error text.
std::string WriteTrailers(TRunState& run);
// Closes every output (deleting one that ended empty) and input; frees the encoders under the
// codec lock. The job keeps its records; it cannot run again.
void CloseJobFiles(TTranscodeJob& job);

} // namespace mw
