// Video output of one transcoding run: the sizes encoders refuse, scaling or the "vf" filter
// graph, the video sync methods (duplicates and drops), size changes mid-stream, forced key
// frames and two-pass statistics. Runs on the run's thread.
#pragma once

#include "engine/run/FFRunState.h"

namespace mw {

// The nearest size the encoder accepts for width x height (fixed standard sizes, width and height
// multiples, chroma subsampling of the pixel format). Answers false when the size is accepted.
bool NearestAcceptedSize(AVCodecID codec, AVPixelFormat pixFmt, int& width, int& height);

// Muxers that refuse packets above a size ("rm": 64 kB) would fail a conversion at its first large
// picture (an HD key frame at a low bit rate). A video encoder the user gave no rate buffer gets
// one that keeps every picture under the limit; answers whether it did.
bool KeepPicturesUnderMuxerLimit(const AVOutputFormat* format, AVCodecContext* enc);

// How many copies of a picture go out, and the sync counter to continue from.
struct TVideoSyncStep {
    int Copies = 1;
    int64_t SyncCounter = 0;
};
// syncTimeSec: the picture's time by the sync stream's clock; timeBase: the encoder's;
// method: "vsync" (-1 automatic); variableFps: the muxer allows variable frame rates.
TVideoSyncStep DecideVideoSync(double syncTimeSec, AVRational timeBase, int64_t syncCounter, int method,
                               bool variableFps);

// Where a picture of srcWidth x srcHeight (sample aspect srcSar) goes in a frame of width x height
// (sample aspect sar) so that it keeps its shape: the whole frame when the shapes agree within 1 %,
// else the largest box of the picture's shape, centred, the rest left for black bars. Sizes and
// offsets are multiples of the chroma block (alignWidth x alignHeight). A zero aspect counts as 1.
struct TPictureFit {
    int Width, Height, X, Y;
};
TPictureFit FitPictureInside(int srcWidth, int srcHeight, AVRational srcSar, int width, int height,
                             AVRational sar, int alignWidth, int alignHeight);

// Size rule, scaling decision, scaler or filter graph, forced key frames; before the encoder opens.
// The encoder's size, when nothing set it, is the source's picture as seen (turned upright).
void SetUpVideoOutput(TRunOutputStream& ost);
// Takes the pictures of the stream's (new) source: its size and format, the turn that makes them
// upright, and scaling, or a graph that turns them and fits them into the encoder's frame.
void PrepareVideoSource(TRunOutputStream& ost);
// Pass log files for two-pass encoding (before the encoder opens).
void SetUpPassLog(TRunOutputStream& ost);
// One decoded picture from the stream's source (filtered pictures come from the graph).
void DoVideoOut(TRunState& run, TRunOutputStream& ost, TRunInputStream& ist, AVFrame* picture);
// Pushes a decoded picture through the stream's filter graph and sends what comes out on.
void FilterVideoOut(TRunState& run, TRunOutputStream& ost, TRunInputStream& ist, AVFrame* picture);
// End of the source's pictures: what the graph still holds is encoded.
void DrainVideoGraph(TRunState& run, TRunOutputStream& ost);
// Black pictures of the encoder's size up to endSec of output (a join input without pictures).
void FillVideoUntil(TRunState& run, TRunOutputStream& ost, double endSec);
// End of input: the encoder's delayed pictures.
void FlushVideoOutput(TRunState& run, TRunOutputStream& ost);

} // namespace mw
