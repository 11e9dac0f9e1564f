// Encoders on their own threads: each encoded picture or sound stream of a run can hand its
// frames to a worker that runs the encoder, so that decoding, the video encoder and the audio
// encoder of one run overlap. The packets come back to the run's thread, which writes them (the
// muxer, the counters, the report, pass logs and hooks stay there).
//
// Threading contract: a TEncodeWorker's public functions are called only by the run's thread
// (RunJob's caller). Between its start and the end of its flush (or its destruction) the worker's
// thread alone calls the encoder (avcodec_send_frame / avcodec_receive_packet and the fields those
// write); the run's thread reads only what an open encoder keeps fixed (sizes, formats, time base,
// frame size) and changes the encoder only while the worker is idle (Quiesce). Frames are handed
// over as new references, so the run may reuse its own frames at once (it takes a fresh buffer
// whenever a frame is still referenced). The queues hold a few frames and a few packets each,
// so memory does not grow with the input. A worker's failure (the encoder refused a frame) is
// raised on the run's thread, with the text the one-thread run would raise, at the next hand-over.
// Destroying a worker stops and joins its thread; frames still queued are dropped.
#pragma once

#include "engine/run/FFRunState.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace mw {

// What a run does with its encoders, as the job and the environment ask.
enum class TPipelineChoice { OneThread, Workers };

struct TPipelineFacts {
    bool OneThreadAsked = false; // TTranscodeJob::OneThreadRun, or MW_ONE_THREAD_RUN set (not "0")
    bool Join = false;
    bool VideoStatsFile = false;
    int EncodedStreams = 0; // picture and sound streams that are encoded
    bool FileSizeLimit = false; // "fs": checked against what was written, which workers delay
};
TPipelineFacts PipelineFactsOf(const TRunState& run);
// The encoders get worker threads unless one thread was asked for, or the run is a join (its
// inputs switch the streams' sources mid-run), or it writes a statistics file (its lines read
// the stream's counters as each packet is written), or a file size limit ends it (the packets
// still with the workers would not count), or it has fewer than two encoded streams (a
// lone encoder has only the reading to overlap with, too little to pay for the hand-overs).
TPipelineChoice ChoosePipeline(const TPipelineFacts& facts);

// Threads for an encoder whose count is left to the run (0: as many as the machine has). A picture
// encoder that threads by slices only gets a core less than the machine has when the run's
// encoders get workers: its worker already overlaps it with decoding and the sound encoder, and
// fewer slices cost less. The count does not depend on OneThreadAsked, so that a run asked to stay
// on one thread writes the same packets. coderThreads: TTranscodeJob::CoderThreads (0: automatic).
int EncoderThreads(const TPipelineFacts& facts, const AVCodec* codec, int coderThreads, int cores);

// Gives every encoded picture and sound stream of the run its worker (after the set-up opened
// the encoders), when ChoosePipeline says so.
void StartEncodeWorkers(TRunState& run);

// Writes what every worker has given back so far (keeps the muxer's interleaving queue short).
void WriteReadyPackets(TRunState& run);
// The end of the run's encoding: waits for every worker to encode what it was handed (encoders
// that were never drained, such as sample-based ones, included) and writes it all.
void FinishEncodeWorkers(TRunState& run);

class TEncodeWorker {
  public:
    // frameSlots: frames that may wait for the encoder; packetSlots: packets that may wait for
    // the run's thread.
    TEncodeWorker(AVCodecContext* encoder, size_t frameSlots, size_t packetSlots);
    ~TEncodeWorker();
    TEncodeWorker(const TEncodeWorker&) = delete;
    TEncodeWorker& operator=(const TEncodeWorker&) = delete;

    // Hands the frame (nullptr: the end, drain the encoder) to the worker, writing the packets that
    // came back while there was no room. sar, when set, becomes the encoder's sample aspect ratio
    // before the frame is encoded.
    void Submit(TRunState& run, TRunOutputStream& ost, const AVFrame* frame, const char* failText,
                AVRational sar = {0, 0});
    // Writes the packets that came back so far.
    void WriteReady(TRunState& run, TRunOutputStream& ost);
    // Waits until the worker has encoded everything handed over, writing what comes back.
    void Quiesce(TRunState& run, TRunOutputStream& ost);

  private:
    struct TItem {
        TFramePtr Frame; // nullptr: drain
        const char* FailText = "";
        AVRational Sar{0, 0};
    };
    struct TOut {
        TPacketPtr Packet;
        std::string Stats; // the encoder's two-pass statistics of this packet
    };

    void Loop();
    bool Encode(TItem& item);
    bool Give(TPacketPtr packet);
    // Takes the packets that came back (the lock held) and writes them unlocked.
    void WriteTaken(TRunState& run, TRunOutputStream& ost, std::unique_lock<std::mutex>& lock);
    template <typename Done>
    void WriteUntil(TRunState& run, TRunOutputStream& ost, std::unique_lock<std::mutex>& lock, Done done);
    void RaiseIfFailed();

    AVCodecContext* FEncoder;
    const size_t FFrameSlots;
    const size_t FPacketSlots;
    std::mutex FLock;
    std::condition_variable FChanged;
    std::deque<TItem> FFrames;
    std::deque<TOut> FPackets;
    bool FBusy = false;  // encoding an item taken from FFrames
    bool FAbort = false; // the run is going away
    bool FFailed = false;
    std::string FFailText;
    std::thread FThread;
};

} // namespace mw
