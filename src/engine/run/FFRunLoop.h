// The main loop of a transcoding run: choosing the input to read, the "no data yet" waits, the
// file size and recording limits, timestamp offsets and discontinuities, joining inputs, error
// handling per packet and the progress reports. Runs on the run's thread; the owner's stop flag
// is read at every turn.
#pragma once

#include "engine/run/FFRunState.h"

namespace mw {

// Runs until the inputs end, a limit is reached or a stop is requested; then drains the decoders.
void RunMainLoop(TRunState& run);

} // namespace mw
