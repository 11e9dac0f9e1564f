// Opening an output of a job: muxer choice, which streams to make, stream creation with encoder
// choice and parameters, metadata, the file opened under the time limit, muxer parameters.
//
// Threading: the job's building thread.
#pragma once

#include <string>

namespace mw {

struct TTranscodeJob;
struct TOutputFile;

// Answers the output count (1 or more), or -1 with job.BuildErrorText (the half-made output is
// freed and not counted).
int OpenOutputFile(TTranscodeJob& job, const std::string& fileName, bool join = false);

// "newvideo", "newaudio", "newsubtitle": one more stream of the kind in the last output opened.
bool AddOutputStream(TTranscodeJob& job, int mediaKind);

} // namespace mw
