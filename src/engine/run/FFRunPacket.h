// One packet of one input stream through a transcoding run: decoding, the picture and sample
// times, volume, rate emulation, the output gate, and every output stream it feeds. Runs on the
// run's thread.
#pragma once

#include "engine/run/FFRunState.h"

namespace mw {

// packet == nullptr: end of the input (the decoder is drained). flushEncoders: also drain the
// encoders the stream feeds (not between the inputs of a join). Answers 0, or -1 when the decoder
// rejected the packet.
int ProcessPacket(TRunState& run, TRunInputStream& ist, const AVPacket* packet, bool flushEncoders = true);

// Drains the encoders fed by ist (end of its input).
void FlushEncoders(TRunState& run, const TRunInputStream& ist);
// Drains every encoder not drained yet (streams whose input ended without feeding them).
void FlushRemainingEncoders(TRunState& run);

} // namespace mw
