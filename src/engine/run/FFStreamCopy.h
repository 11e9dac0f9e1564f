// Stream copy of one transcoding run: packets passed on without decoding, starting at the first
// key frame unless "copyinkf", with their timestamps moved by the output start time.
#pragma once

#include "engine/run/FFRunState.h"

namespace mw {

// Codec parameters taken over from the input; refusals of what needs decoded frames.
void SetUpStreamCopy(TRunState& run, TRunOutputStream& ost);
// The input stream's side data in the output stream: all of it, or only the display matrix.
void CopyStreamSideData(const AVStream* in, AVStream* out);
void CopyDisplayMatrix(const AVStream* in, AVStream* out);

// One packet of the stream's source (timestamps in the input stream's time base).
void DoStreamCopy(TRunState& run, TRunOutputStream& ost, const TRunInputStream& ist, const AVPacket* packet);

} // namespace mw
