// Runs a built transcoding job for mediawizard-cli: the report line on standard error (updated in
// place on a terminal, one line per report otherwise). The caller keeps a TStopSignals for the job
// (StopSignals.h), so Ctrl+C, SIGTERM and SIGHUP stop it cleanly.
#pragma once

#include "engine/run/FFRunTypes.h"

namespace mw::cli {

// Exit status: 0 when the job ran to its end, 1 when it failed or was stopped.
int RunTranscodeJob(TTranscodeJob& job);

} // namespace mw::cli
