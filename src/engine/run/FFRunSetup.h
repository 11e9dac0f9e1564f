// Set-up of a transcoding run: the stream tables and the stream mapping, codec set-up for copy
// and encode, opening decoders and encoders (under the codec lock), metadata and the headers.
// Runs on the run's thread; every failure raises TRunError with its message.
#pragma once

#include "engine/run/FFRunState.h"

namespace mw {

void SetUpRun(TRunState& run);

// Join: maps the output streams onto the next input's streams and opens their decoders.
void MapJoinInput(TRunState& run, int inputIndex);

} // namespace mw
