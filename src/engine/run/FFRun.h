// One transcoding run over a built job: set-up, the packet loop, closing. The entry the encoder
// component calls on its worker thread.
//
// Threading contract: RunJob runs on the calling thread - reading, decoding, filtering, the sync
// methods, the hooks, the preview, OnProgress, muxing and the report - except the calls into the
// picture and sound encoders, which may run on worker threads of the run's own (FFPipeline.h),
// started after the set-up and joined before RunJob returns; they touch nothing of the owner's,
// and what they fail with is raised on the calling thread with its text. Another thread may set
// job.StopRequested at any time (RequestStopBlocking): the loop ends at the next packet, a blocking
// read in progress is interrupted, the outputs still get their trailers and the result has
// Finished = Failed = false. A read that waits longer than job.TimeLimitMs fails the run with the
// input's name and the interrupted-operation text. OnProgress is called on the running thread (at most once per progress
// period, and once at the end with Final set).
#pragma once

#include "engine/run/FFRunTypes.h"

namespace mw {

// Runs the job to its end. Answers false when it failed (result.ErrorText says why; the message is
// also logged at llQuiet). Always closes the job's files and deletes outputs that ended empty; a
// job runs once.
bool RunJob(TTranscodeJob& job, const TRunHooks& hooks, TRunResult& result);

} // namespace mw
