// Writing an output stream's packets: through its bitstream filters, then interleaved into the
// muxer. Used by stream copy and by every encoder path. Runs on the run's thread (encoders may
// run on workers, FFPipeline.h).
#pragma once

#include "engine/run/FFRunState.h"

namespace mw {

// Makes the stream's bitstream filter chain from its comma-separated names; the chain's output
// parameters become the stream's. sourceTimeBase is the time base of the packets it will get.
void OpenBitstreamFilters(TRunOutputStream& ost, AVRational sourceTimeBase);

// Writes one packet whose timestamps are in sourceTimeBase; the packet is consumed (unreferenced).
// A failed filter is logged (raised with "xerror") and the packet goes on unfiltered; a failed
// write raises "av_interleaved_write_frame(): <library text>".
void WriteOutputPacket(TRunState& run, TRunOutputStream& ost, AVPacket* packet, AVRational sourceTimeBase);

// Takes the encoder's facts of one coded picture (quality, quantiser, plane errors) from its packet.
void NoteCodedPicture(TRunOutputStream& ost, const AVPacket* packet);

// One packet from the stream's encoder: counted (video or audio bytes, the coded picture's facts),
// its two-pass statistics (stats, may be null) appended to the pass log, then written.
void WriteEncodedPacket(TRunState& run, TRunOutputStream& ost, AVPacket* packet, const char* stats);

// Sends frame (nullptr drains) to the stream's encoder and writes every packet it gives; with an
// encode worker (FFPipeline) the frame is handed over and the packets are written as they come
// back, all of them once the encoder is drained. failText is raised when the encoder refuses
// the frame.
void EncodeAndWrite(TRunState& run, TRunOutputStream& ost, const AVFrame* frame, const char* failText);

} // namespace mw
