#include "engine/run/FFSubtitleOut.h"

#include "engine/FFLog.h"
#include "engine/run/FFPacketWrite.h"

#include <cstring>
#include <mutex>

namespace mw {

namespace {

constexpr AVRational MicrosecondBase{1, 1000000};
constexpr AVRational MillisecondBase{1, 1000};
constexpr int SubtitleBufferSize = 1024 * 1024;
constexpr uint32_t UnknownEnd = UINT32_MAX;

// One encode buffer for the whole process, as big as any subtitle the encoders write.
struct TSubtitleBuffer {
    std::mutex Lock;
    std::unique_ptr<uint8_t[]> Data{new uint8_t[SubtitleBufferSize]};
};

TSubtitleBuffer& SharedBuffer() {
    static TSubtitleBuffer buffer; // made at first use; the initialisation is thread-safe
    return buffer;
}

struct TSubtitleFree {
    void operator()(AVSubtitle* s) const { FFApi.avsubtitle_free(s); }
};

int Properties(AVCodecID id) {
    const AVCodecDescriptor* d = FFApi.avcodec_descriptor_get(id);
    return d ? d->props : 0;
}

// Encodes into the shared buffer and copies the result into packet. Answers the size or an error.
int EncodeInto(AVCodecContext* enc, const AVSubtitle& subtitle, AVPacket* packet) {
    TSubtitleBuffer& buffer = SharedBuffer();
    std::lock_guard lock(buffer.Lock);
    const int size = FFApi.avcodec_encode_subtitle(enc, buffer.Data.get(), SubtitleBufferSize, &subtitle);
    if (size <= 0) return size;
    if (FFApi.av_new_packet(packet, size) < 0) return AVERROR(ENOMEM);
    std::memcpy(packet->data, buffer.Data.get(), size);
    return size;
}

} // namespace

void SetUpSubtitleOutput(TRunOutputStream& ost) {
    AVCodecContext* enc = ost.Encoder;
    const AVCodecContext* dec = ost.Source->Decoder.get();
    enc->time_base = MicrosecondBase;
    if (!dec) return;
    const int in = Properties(dec->codec_id), out = Properties(enc->codec_id);
    if (((in & AV_CODEC_PROP_TEXT_SUB) && (out & AV_CODEC_PROP_BITMAP_SUB)) ||
        ((in & AV_CODEC_PROP_BITMAP_SUB) && (out & AV_CODEC_PROP_TEXT_SUB)))
        RaiseRunError("Subtitle encoding currently only possible from text to text or bitmap to bitmap");
    if (dec->subtitle_header && dec->subtitle_header_size > 0 && !enc->subtitle_header) {
        // The encoder frees it with its context.
        auto* header = static_cast<uint8_t*>(FFApi.av_mallocz(dec->subtitle_header_size + 1));
        if (!header) RaiseRunError("Could not alloc buffer.");
        std::memcpy(header, dec->subtitle_header, dec->subtitle_header_size);
        enc->subtitle_header = header;
        enc->subtitle_header_size = dec->subtitle_header_size;
    }
    if (enc->width <= 0 || enc->height <= 0) {
        enc->width = dec->width;
        enc->height = dec->height;
    }
}

void DoSubtitleOut(TRunState& run, TRunOutputStream& ost, const AVSubtitle& subtitle, int64_t ptsUs) {
    if (ptsUs == RunTimeNotSet) {
        if (run.Options.ExitOnError) RaiseRunError("Subtitle packets must have a pts");
        EngineLog(nullptr, llError, "Subtitle packets must have a pts");
        return;
    }
    AVCodecContext* enc = ost.Encoder;
    // Bitmap decoders say "until the next subtitle" with the largest end time: nothing to clear.
    const bool endKnown = subtitle.end_display_time != UnknownEnd;
    const int passes = enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE && endKnown ? 2 : 1;
    // The start display time moves into the pts; the encoders want it 0.
    AVSubtitle sub = subtitle;
    sub.pts = ptsUs - run.Options.StartTimeUs +
              FFApi.av_rescale_q(sub.start_display_time, MillisecondBase, MicrosecondBase);
    if (endKnown) sub.end_display_time -= sub.start_display_time;
    sub.start_display_time = 0;
    if (sub.pts < 0) {
        // Shown from before the output's start: the part after it stays, from 0.
        const int64_t lateMs = (-sub.pts + 999) / 1000;
        if (endKnown && sub.end_display_time <= lateMs) return;
        if (endKnown) sub.end_display_time -= static_cast<uint32_t>(lateMs);
        sub.pts = 0;
    }
    const int64_t durationUs =
        endKnown ? FFApi.av_rescale_q(sub.end_display_time, MillisecondBase, MicrosecondBase) : 0;
    TPacketPtr packet(FFApi.av_packet_alloc());
    if (!packet) RaiseRunError("Could not alloc buffer.");
    for (int pass = 0; pass < passes; ++pass) {
        // The second DVB pass has no regions: it clears the screen when the subtitle ends.
        if (pass == 1) sub.num_rects = 0;
        const int size = EncodeInto(enc, sub, packet.get());
        if (size < 0) RaiseRunError("Subtitle encoding failed");
        if (size == 0) continue;
        packet->pts = sub.pts + (pass == 1 ? durationUs : 0);
        packet->dts = packet->pts;
        if (passes == 1) packet->duration = durationUs;
        ost.SyncCounter = packet->pts;
        WriteOutputPacket(run, ost, packet.get(), MicrosecondBase);
        ++ost.FrameNumber;
    }
}

int DecodeSubtitle(TRunState& run, TRunInputStream& ist, const AVPacket* packet) {
    if (!packet) return 0;
    AVSubtitle subtitle{};
    int got = 0;
    if (FFApi.avcodec_decode_subtitle2(ist.Decoder.get(), &subtitle, &got, const_cast<AVPacket*>(packet)) < 0)
        return -1;
    if (!got) return 0;
    std::unique_ptr<AVSubtitle, TSubtitleFree> owner(&subtitle);
    const int64_t ptsUs = packet->pts == AV_NOPTS_VALUE
                              ? RunTimeNotSet
                              : FFApi.av_rescale_q(packet->pts, ist.Stream->time_base, MicrosecondBase);
    for (auto& ost : run.Outputs)
        if (ost->Source == &ist && ost->EncodingNeeded) DoSubtitleOut(run, *ost, subtitle, ptsUs);
    return 0;
}

} // namespace mw
