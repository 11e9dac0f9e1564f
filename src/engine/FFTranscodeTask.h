// The transcoder's job behind the encoder's task seam (ITaskJob): building goes through the option
// parser and the input and output opening; the run through one entry that the transcoding run
// provides (TranscodeRunEntry).
//
// Threading: as ITaskJob. RequestStop only sets the job's atomics.
#pragma once

#include "engine/FFTaskJob.h"

#include <functional>
#include <memory>

namespace mw {

struct TTranscodeJob;

// Runs a built job to its end on the calling thread, reporting through the callbacks; the job's
// StopRequested ends it early. Empty until the run is linked in.
using TTranscodeRunEntry =
    std::function<TJobResult(TTranscodeJob& job, const TTaskCallbacks& callbacks, int64_t progressPeriodUs)>;
TTranscodeRunEntry& TranscodeRunEntry();

std::unique_ptr<ITaskJob> MakeTranscodeTaskJob(int maxFiles);

} // namespace mw
