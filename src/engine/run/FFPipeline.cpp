#include "engine/run/FFPipeline.h"

#include "engine/run/FFPacketWrite.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

namespace mw {

namespace {

// A picture is large: a few wait, enough to cover the encoder's uneven pace. Sound frames are
// small and many.
constexpr size_t PictureSlots = 4;
constexpr size_t SoundSlots = 16;
constexpr size_t PacketSlots = 32;

bool EncodesInWorker(const TRunOutputStream& ost) {
    const AVMediaType kind = ost.Kind();
    return ost.EncodingNeeded && ost.Encoder && (kind == AVMEDIA_TYPE_VIDEO || kind == AVMEDIA_TYPE_AUDIO);
}

} // namespace

TPipelineFacts PipelineFactsOf(const TRunState& run) {
    TPipelineFacts facts;
    const char* env = std::getenv("MW_ONE_THREAD_RUN");
    facts.OneThreadAsked = run.Job.OneThreadRun || (env && *env && std::string(env) != "0");
    facts.Join = run.Job.Join;
    facts.VideoStatsFile = !run.Job.Options.VStatsFileName.empty();
    facts.FileSizeLimit = run.Options.LimitFileSize > 0;
    for (auto& ost : run.Outputs)
        facts.EncodedStreams += EncodesInWorker(*ost) ? 1 : 0;
    return facts;
}

TPipelineChoice ChoosePipeline(const TPipelineFacts& facts) {
    const bool one = facts.OneThreadAsked || facts.Join || facts.VideoStatsFile || facts.FileSizeLimit ||
                     facts.EncodedStreams < 2;
    return one ? TPipelineChoice::OneThread : TPipelineChoice::Workers;
}

int EncoderThreads(const TPipelineFacts& facts, const AVCodec* codec, int coderThreads, int cores) {
    if (coderThreads != 0 || !codec || codec->type != AVMEDIA_TYPE_VIDEO) return coderThreads;
    TPipelineFacts workers = facts;
    workers.OneThreadAsked = false;
    const int caps = codec->capabilities;
    const bool slicesOnly = (caps & AV_CODEC_CAP_SLICE_THREADS) &&
                            !(caps & (AV_CODEC_CAP_FRAME_THREADS | AV_CODEC_CAP_OTHER_THREADS));
    if (!slicesOnly || ChoosePipeline(workers) != TPipelineChoice::Workers) return 0;
    return std::max(1, cores - 1);
}

void StartEncodeWorkers(TRunState& run) {
    if (ChoosePipeline(PipelineFactsOf(run)) != TPipelineChoice::Workers) return;
    for (auto& ost : run.Outputs) {
        if (!EncodesInWorker(*ost)) continue;
        const size_t slots = ost->Kind() == AVMEDIA_TYPE_VIDEO ? PictureSlots : SoundSlots;
        try {
            ost->Worker = std::make_unique<TEncodeWorker>(ost->Encoder, slots, PacketSlots);
        } catch (const std::system_error&) {
            // No thread to be had: this stream encodes on the run's thread, as without workers.
        }
    }
}

void WriteReadyPackets(TRunState& run) {
    for (auto& ost : run.Outputs)
        if (ost->Worker) ost->Worker->WriteReady(run, *ost);
}

void FinishEncodeWorkers(TRunState& run) {
    for (auto& ost : run.Outputs)
        if (ost->Worker) ost->Worker->Quiesce(run, *ost);
}

TEncodeWorker::TEncodeWorker(AVCodecContext* encoder, size_t frameSlots, size_t packetSlots)
    : FEncoder(encoder), FFrameSlots(frameSlots), FPacketSlots(packetSlots), FThread([this] { Loop(); }) {}

TEncodeWorker::~TEncodeWorker() {
    {
        std::lock_guard<std::mutex> guard(FLock);
        FAbort = true;
    }
    FChanged.notify_all();
    FThread.join();
}

void TEncodeWorker::Loop() {
    std::unique_lock<std::mutex> lock(FLock);
    for (;;) {
        FChanged.wait(lock, [this] { return FAbort || (!FFrames.empty() && !FFailed); });
        if (FAbort) return;
        TItem item = std::move(FFrames.front());
        FFrames.pop_front();
        FBusy = true;
        lock.unlock();
        FChanged.notify_all(); // room for the next frame
        const bool ok = Encode(item);
        lock.lock();
        FBusy = false;
        if (!ok && !FAbort) {
            FFailed = true;
            FFailText = item.FailText;
        }
        FChanged.notify_all();
    }
}

// The encoder's side of EncodeAndWrite: the same calls in the same order; packets go back.
bool TEncodeWorker::Encode(TItem& item) {
    if (item.Sar.num > 0 && item.Sar.den > 0) FEncoder->sample_aspect_ratio = item.Sar;
    int error = FFApi.avcodec_send_frame(FEncoder, item.Frame.get());
    item.Frame.reset();
    if (error == AVERROR_EOF) return true; // already drained
    if (error < 0) return false;
    for (;;) {
        TPacketPtr packet(FFApi.av_packet_alloc());
        if (!packet) return false;
        error = FFApi.avcodec_receive_packet(FEncoder, packet.get());
        if (error < 0) break;
        if (!Give(std::move(packet))) return true; // aborted
    }
    return error == AVERROR(EAGAIN) || error == AVERROR_EOF;
}

bool TEncodeWorker::Give(TPacketPtr packet) {
    TOut out;
    out.Packet = std::move(packet);
    if (FEncoder->codec_type == AVMEDIA_TYPE_VIDEO && FEncoder->stats_out) out.Stats = FEncoder->stats_out;
    std::unique_lock<std::mutex> lock(FLock);
    FChanged.wait(lock, [this] { return FAbort || FPackets.size() < FPacketSlots; });
    if (FAbort) return false;
    FPackets.push_back(std::move(out));
    lock.unlock();
    FChanged.notify_all();
    return true;
}

void TEncodeWorker::RaiseIfFailed() {
    if (FFailed) RaiseRunError("%s", FFailText.c_str());
}

void TEncodeWorker::WriteTaken(TRunState& run, TRunOutputStream& ost, std::unique_lock<std::mutex>& lock) {
    std::deque<TOut> taken;
    taken.swap(FPackets);
    lock.unlock();
    FChanged.notify_all(); // room for the worker's next packets
    for (TOut& out : taken)
        WriteEncodedPacket(run, ost, out.Packet.get(), out.Stats.empty() ? nullptr : out.Stats.c_str());
    lock.lock();
}

// Writes what the worker hands back until `done` holds, the packets first: the worker may be
// waiting for room in its packet queue before it can take the next frame.
template <typename Done>
void TEncodeWorker::WriteUntil(TRunState& run, TRunOutputStream& ost, std::unique_lock<std::mutex>& lock,
                               Done done) {
    for (;;) {
        RaiseIfFailed();
        if (!FPackets.empty()) {
            WriteTaken(run, ost, lock);
            continue;
        }
        if (done()) return;
        FChanged.wait(lock);
    }
}

void TEncodeWorker::Submit(TRunState& run, TRunOutputStream& ost, const AVFrame* frame, const char* failText,
                           AVRational sar) {
    TItem item;
    item.FailText = failText;
    item.Sar = sar;
    if (frame) {
        item.Frame.reset(FFApi.av_frame_alloc());
        if (!item.Frame || FFApi.av_frame_ref(item.Frame.get(), frame) < 0) RaiseRunError("Could not alloc buffer.");
    }
    std::unique_lock<std::mutex> lock(FLock);
    WriteUntil(run, ost, lock, [this] { return FFrames.size() < FFrameSlots; });
    FFrames.push_back(std::move(item));
    lock.unlock();
    FChanged.notify_all();
}

void TEncodeWorker::WriteReady(TRunState& run, TRunOutputStream& ost) {
    std::unique_lock<std::mutex> lock(FLock);
    RaiseIfFailed();
    if (!FPackets.empty()) WriteTaken(run, ost, lock);
}

void TEncodeWorker::Quiesce(TRunState& run, TRunOutputStream& ost) {
    std::unique_lock<std::mutex> lock(FLock);
    WriteUntil(run, ost, lock, [this] { return FFrames.empty() && !FBusy; });
}

} // namespace mw
