// Closing a transcoding job: trailers, the job's files (an output it created that ended with 0
// bytes, or that a failed run leaves, is deleted), and everything the job holds. Runs on the
// run's thread, also after a failed run, and on a job whose building failed.
#pragma once

#include "engine/run/FFRunState.h"

namespace mw {

// Writes the trailer of every output whose header was written; answers the first error text.
std::string WriteTrailers(TRunState& run);
// Closes every output and input; frees the encoders under the codec lock. An output file this job
// created is deleted when it ended empty, and whatever it holds when removeCreated is set (a
// failed run: its name was free, so nothing of the user's goes). Files the job did not create are
// never deleted. The job keeps its records; it cannot run again.
void CloseJobFiles(TTranscodeJob& job, bool removeCreated = false);

} // namespace mw
