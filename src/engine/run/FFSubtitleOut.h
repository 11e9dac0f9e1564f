// Subtitle output of one transcoding run: decoding subtitle packets and encoding each decoded
// subtitle for every output stream it feeds (DVB subtitles twice: once to show, once to clear).
//
// Threading contract: everything runs on the run's thread, except the encode buffer, which is made
// once per process and shared by every run; it is used under its own lock, and each packet gets
// its own copy of the bytes before the lock is released.
#pragma once

#include "engine/run/FFRunState.h"

namespace mw {

// Before the encoder opens: microsecond time base, the decoder's style header, the picture size
// of bitmap subtitles; text cannot become bitmaps nor bitmaps text.
void SetUpSubtitleOutput(TRunOutputStream& ost);

// Decodes one subtitle packet (nullptr: end of input, nothing to drain) and encodes what it gives.
// Answers 0, or -1 when the decoder rejected the packet.
int DecodeSubtitle(TRunState& run, TRunInputStream& ist, const AVPacket* packet);

// Encodes one decoded subtitle shown from ptsUs (RunTimeNotSet: the packet had no pts) and writes
// it. The subtitle itself is left as it was, so that further outputs see the same one.
void DoSubtitleOut(TRunState& run, TRunOutputStream& ost, const AVSubtitle& subtitle, int64_t ptsUs);

} // namespace mw
