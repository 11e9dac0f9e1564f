#include "engine/run/FFRunPacket.h"

#include "engine/run/FFAudioOut.h"
#include "engine/FFLog.h"
#include "engine/run/FFPicturePrep.h"
#include "engine/run/FFRunHooks.h"
#include "engine/run/FFStreamCopy.h"
#include "engine/run/FFSubtitleOut.h"
#include "engine/run/FFVideoOut.h"

#include <thread>

namespace mw {

namespace {

constexpr AVRational MicrosecondBase{1, 1000000};

int64_t ToMicroseconds(int64_t ts, AVRational tb) {
    return FFApi.av_rescale_q(ts, tb, MicrosecondBase);
}

// Length of a picture: the frame's own duration, else the stream's frame rate.
int64_t PictureDurationUs(const TRunInputStream& ist, const AVFrame* frame) {
    if (frame->pkt_duration > 0) return ToMicroseconds(frame->pkt_duration, ist.Stream->time_base);
    AVRational rate = ist.Stream->avg_frame_rate.num ? ist.Stream->avg_frame_rate : ist.Stream->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) return 0;
    return FFApi.av_rescale_q(1 + frame->repeat_pict, av_inv_q(rate), MicrosecondBase);
}

void EmulateRate(const TRunInputStream& ist) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
                             std::chrono::steady_clock::now() - ist.RateEmulationStart)
                             .count();
    const int64_t ahead = ist.CurTimeUs - elapsed;
    if (ahead > 1000) std::this_thread::sleep_for(std::chrono::microseconds(ahead / 1000 * 1000));
}

// The output gate: with an output start time ("ss") earlier data is decoded and dropped. Without
// one nothing is held back: the first packets of a film with B-frames have negative times.
bool BeforeOutputStart(const TRunState& run, const TRunInputStream& ist) {
    return run.Options.StartTimeUs > 0 && ist.CurTimeUs < run.Options.StartTimeUs;
}

// Steps 5-8 for one decoded frame: hooks, volume, rate emulation, the gate, the outputs.
void FeedOutputs(TRunState& run, TRunInputStream& ist, AVFrame* frame) {
    const TRunOptions& options = run.Options;
    const AVMediaType kind = ist.Stream->codecpar->codec_type;
    if (kind == AVMEDIA_TYPE_AUDIO && run.HookState->AudioHook) AudioHookBlock(run, ist, frame);
    if (kind == AVMEDIA_TYPE_AUDIO && options.AudioVolume != 256) {
        if (FFApi.av_frame_make_writable(frame) < 0) RaiseRunError("Out of memory in do_audio_out");
        ApplyVolume(frame, options.AudioVolume);
    }
    if (options.RateEmulation) EmulateRate(ist);
    if (BeforeOutputStart(run, ist)) return;
    for (auto& ost : run.Outputs) {
        if (ost->Source != &ist || !ost->EncodingNeeded) continue;
        switch (ost->Kind()) {
        case AVMEDIA_TYPE_AUDIO:
            DoAudioOut(run, *ost, ist, frame);
            break;
        case AVMEDIA_TYPE_VIDEO:
            if (ost->Graph)
                FilterVideoOut(run, *ost, ist, frame);
            else
                DoVideoOut(run, *ost, ist, frame);
            break;
        default:
            RaiseRunError("invalid codec_type");
        }
    }
}

// Sets the stream's clock from a decoded frame and feeds the outputs.
void HandleFrame(TRunState& run, TRunInputStream& ist, AVFrame* frame) {
    const AVMediaType kind = ist.Stream->codecpar->codec_type;
    const int64_t ts = frame->best_effort_timestamp;
    const int64_t time = ts != AV_NOPTS_VALUE ? ToMicroseconds(ts, ist.Stream->time_base) : ist.NextTimeUs;
    ist.CurTimeUs = time == RunTimeNotSet ? 0 : time;
    if (kind == AVMEDIA_TYPE_AUDIO && frame->sample_rate > 0)
        ist.NextTimeUs = ist.CurTimeUs + int64_t(frame->nb_samples) * 1000000 / frame->sample_rate;
    else if (kind == AVMEDIA_TYPE_VIDEO) {
        ist.NextTimeUs = ist.CurTimeUs + PictureDurationUs(ist, frame);
        ist.Quality = frame->quality / float(FF_QP2LAMBDA);
        ++ist.PicturesSeen;
        if (run.HookState->PreProcessing()) frame = PreparePicture(run, ist, frame);
    }
    FeedOutputs(run, ist, frame);
}

int Decode(TRunState& run, TRunInputStream& ist, const AVPacket* packet) {
    AVCodecContext* dec = ist.Decoder.get();
    if (packet) ++ist.PacketsDecoded;
    int error = FFApi.avcodec_send_packet(dec, packet);
    if (error == AVERROR_EOF) return 0; // already drained
    if (error < 0) {
        ist.LastDecodeError = error;
        return -1;
    }
    AVFrame* frame = run.Decoded.get();
    int frames = 0;
    while ((error = FFApi.avcodec_receive_frame(dec, frame)) >= 0) {
        // A packet holding several frames is worth a line (one per stream unless verbose).
        const int verbosity = run.Options.Verbosity;
        if (packet && ++frames == 2 && (verbosity > 1 || (verbosity > 0 && !ist.MultipleFramesWarned))) {
            EngineLogFormat(nullptr, llError, "Multiple frames in a packet from stream %d",
                            ist.Stream->index);
            ist.MultipleFramesWarned = true;
        }
        ++ist.FramesDecoded;
        HandleFrame(run, ist, frame);
        FFApi.av_frame_unref(frame);
    }
    if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) return 0;
    ist.LastDecodeError = error;
    return -1;
}

void CopyPacket(TRunState& run, TRunInputStream& ist, const AVPacket* packet) {
    if (!ist.DecodingNeeded) {
        // Without a decoder the packets alone drive the stream's clock.
        ist.CurTimeUs = ist.NextTimeUs;
        const AVCodecParameters* par = ist.Stream->codecpar;
        if (packet->duration > 0)
            ist.NextTimeUs += ToMicroseconds(packet->duration, ist.Stream->time_base);
        else if (par->codec_type == AVMEDIA_TYPE_AUDIO && par->sample_rate > 0)
            ist.NextTimeUs += int64_t(par->frame_size) * 1000000 / par->sample_rate;
    }
    if (BeforeOutputStart(run, ist)) return;
    for (auto& ost : run.Outputs)
        if (ost->Source == &ist && !ost->EncodingNeeded) DoStreamCopy(run, *ost, ist, packet);
}

} // namespace

void FlushEncoders(TRunState& run, const TRunInputStream& ist) {
    for (auto& ost : run.Outputs) {
        if (ost->Source != &ist || !ost->EncodingNeeded) continue;
        if (ost->Kind() == AVMEDIA_TYPE_AUDIO) FlushAudioOutput(run, *ost);
        if (ost->Kind() == AVMEDIA_TYPE_VIDEO) FlushVideoOutput(run, *ost);
    }
}

void FlushRemainingEncoders(TRunState& run) {
    for (auto& ost : run.Outputs) {
        if (!ost->EncodingNeeded || ost->EncoderFlushed) continue;
        if (ost->Kind() == AVMEDIA_TYPE_AUDIO) FlushAudioOutput(run, *ost);
        if (ost->Kind() == AVMEDIA_TYPE_VIDEO) FlushVideoOutput(run, *ost);
    }
}

int ProcessPacket(TRunState& run, TRunInputStream& ist, const AVPacket* packet, bool flushEncoders) {
    if (ist.NextTimeUs == RunTimeNotSet) ist.NextTimeUs = ist.CurTimeUs;
    if (packet && packet->dts != AV_NOPTS_VALUE)
        ist.CurTimeUs = ist.NextTimeUs = ToMicroseconds(packet->dts, ist.Stream->time_base);
    int result = 0;
    if (ist.DecodingNeeded && ist.Decoder)
        result = ist.Decoder->codec_type == AVMEDIA_TYPE_SUBTITLE ? DecodeSubtitle(run, ist, packet)
                                                                  : Decode(run, ist, packet);
    if (packet) CopyPacket(run, ist, packet);
    if (!packet && flushEncoders) FlushEncoders(run, ist);
    return result;
}

} // namespace mw
