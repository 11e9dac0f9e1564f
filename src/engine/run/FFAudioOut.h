// Audio output of one transcoding run: format, rate and channel conversion, the audio sync
// methods (silence, discard, drift compensation), the FIFO that cuts blocks into the encoder's
// frame size, and the short or silence-padded last frame. Runs on the run's thread.
#pragma once

#include "engine/run/FFRunState.h"

namespace mw {

// "vol": every sample scaled by volume/256; 16-bit samples become (s * volume + 128) >> 8,
// clamped to the format's range; float formats are scaled and clamped to -1..1.
void ApplyVolume(AVFrame* frame, int volume);

// A resampler is needed for any rate, format or channel-count change, and always when the sync
// method compensates drift (which works through the resampler).
bool AudioNeedsResampling(int inRate, AVSampleFormat inFmt, int inChannels, int outRate,
                          AVSampleFormat outFmt, int outChannels, int syncMethod);

// What the audio sync method asks for one decoded block (all counts in output samples).
struct TAudioSyncInput {
    int Method = 0;         // "async"
    double SyncTimeSec = 0; // where the block starts, by the sync stream's clock
    int OutRate = 0;
    int64_t SyncCounter = 0; // samples handed to the encoder so far
    int64_t FifoSamples = 0; // samples waiting in the FIFO
    bool AtStart = true;
    double DriftThreshold = 0.1; // seconds
};
struct TAudioSyncStep {
    int64_t SyncCounter = 0;    // the counter to continue with
    int64_t DropSamples = 0;    // to cut from the front of the block
    int64_t SilenceSamples = 0; // to put before the block
    bool Compensate = false;
    int Compensation = 0;   // samples over one second of output
    bool Corrected = false; // dropped or padded: the stream is no longer at its start
};
TAudioSyncStep DecideAudioSync(const TAudioSyncInput& in);

// Makes the stream's FIFO and takes its source (PrepareAudioSource).
void SetUpAudioOutput(TRunOutputStream& ost);
// Takes the blocks of the stream's (new) source: records its format; whether a resampler is
// needed is decided at its first block.
void PrepareAudioSource(TRunOutputStream& ost);
// Silence up to endSec of output (a join input without sound, or with less sound than pictures),
// encoded as it is made.
void FillAudioUntil(TRunState& run, TRunOutputStream& ost, double endSec);
// Where the stream's samples end, those waiting in the FIFO included (seconds).
double AudioEndSec(const TRunOutputStream& ost);
// One decoded block from the stream's source.
void DoAudioOut(TRunState& run, TRunOutputStream& ost, TRunInputStream& ist, const AVFrame* decoded);
// End of input: the FIFO's remainder as a last frame, then the encoder's delayed data.
void FlushAudioOutput(TRunState& run, TRunOutputStream& ost);

} // namespace mw
