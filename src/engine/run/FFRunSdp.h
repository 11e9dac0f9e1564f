// The session description of a run whose outputs are all RTP streams, logged at llInfo once the
// headers are written, so that a receiver can be set up from the log. Runs on the run's thread.
#pragma once

#include "engine/run/FFRunState.h"

namespace mw {

// Logs "SDP:\r\n" and the description when every output is RTP; nothing otherwise.
void LogSdpOfRtpOutputs(const TRunState& run);

} // namespace mw
