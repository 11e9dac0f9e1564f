// Picture pre-processing of a transcoding run: deinterlacing, the input video hook and the "vhook"
// plug-ins, over a copy of the decoded picture that then replaces it.
//
// Threading contract: called on the run's thread only.
#pragma once

#include "engine/run/FFRunState.h"

namespace mw {

// Deinterlaces src into dst (same size and format, dst writable): the lines of the first field are
// kept, each line of the second field is rebuilt from its neighbours by a vertical (-1 4 2 4 -1)/8
// low-pass, so a picture comes out for every picture that goes in. False for pixel formats other
// than 8-bit planar ones (YUV, gray, planar RGB).
bool DeinterlacePicture(const AVFrame* src, AVFrame* dst);

// Deinterlacing, then the input video hook or else the plug-in chain, over one decoded picture.
// Answers the picture that goes on: the processed copy, or picture itself when nothing changed it.
AVFrame* PreparePicture(TRunState& run, TRunInputStream& ist, AVFrame* picture);

} // namespace mw
