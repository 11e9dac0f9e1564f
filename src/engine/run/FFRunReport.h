// Progress reports of a transcoding run: the values and the report line, sent to the owner's
// callback or logged, and the final summary. Runs on the run's thread.
#pragma once

#include "engine/run/FFRunState.h"

namespace mw {

// Builds and delivers one report; no report while the first video stream has sent no picture.
void SendProgressReport(TRunState& run, bool final);

} // namespace mw
