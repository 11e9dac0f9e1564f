// The transcoder's job behind the encoder's task seam (ITaskJob): building goes through the option
// parser and the input and output opening, the run through RunJob.
//
// Threading: as ITaskJob. RequestStop only sets the job's atomics.
#pragma once

#include "engine/tasks/FFTaskJob.h"

#include <memory>

namespace mw {

std::unique_ptr<ITaskJob> MakeTranscodeTaskJob(int maxFiles);

} // namespace mw
