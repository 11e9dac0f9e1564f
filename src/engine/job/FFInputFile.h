// Opening an input of a job: forced format, named decoders, program, stream information, "ss"
// seek, the option state refilled from the streams, expected total and timestamp offset.
//
// Threading: the job's building thread. Blocking steps run under the job's time limit
// (TBlockingCall), so a stop from another thread aborts them.
#pragma once

#include "engine/FFEntries.h"

#include <string>

namespace mw {

struct TTranscodeJob;

// Appends the input; false (job unchanged but for the option state) with job.BuildErrorText.
bool OpenInputFile(TTranscodeJob& job, const std::string& fileName);

// Finds the codec named for a kind ("decoder" or "encoder" in messages); nullptr with the error
// text set when the name is unknown, of another kind or experimental.
const AVCodec* FindNamedCodec(TTranscodeJob& job, const std::string& name, int mediaKind, bool encoder);

} // namespace mw
