#include "engine/run/FFStreamCopy.h"

#include "engine/run/FFPacketWrite.h"

#include <climits>
#include <cstring>

namespace mw {

namespace {

void CopySideData(const AVStream* in, AVStream* out, bool onlyDisplayMatrix) {
    for (int i = 0; i < in->nb_side_data; ++i) {
        const AVPacketSideData& sd = in->side_data[i];
        if (onlyDisplayMatrix && sd.type != AV_PKT_DATA_DISPLAYMATRIX) continue;
        if (uint8_t* copy = FFApi.av_stream_new_side_data(out, sd.type, sd.size))
            std::memcpy(copy, sd.data, sd.size);
    }
}

} // namespace

void CopyStreamSideData(const AVStream* in, AVStream* out) {
    CopySideData(in, out, false);
}

void CopyDisplayMatrix(const AVStream* in, AVStream* out) {
    CopySideData(in, out, true);
}

void SetUpStreamCopy(TRunState& run, TRunOutputStream& ost) {
    const AVStream* in = ost.Source->Stream;
    const AVMediaType kind = in->codecpar->codec_type;
    // What needs decoded frames cannot be done to copied packets.
    const TTranscodeJob& job = run.Job;
    const bool audio = kind == AVMEDIA_TYPE_AUDIO, video = kind == AVMEDIA_TYPE_VIDEO;
    const struct {
        bool Refused;
        const char* Text;
    } refusals[] = {
        {audio && run.Options.AudioVolume != 256,
         "-acodec copy and -vol are incompatible (frames are not decoded)"},
        {audio && job.AudioHook, "-acodec copy and AudioHook are incompatible (frames are not decoded)"},
        {video && (job.VideoInputHook || job.VideoOutputHook),
         "-vcodec copy and VideoHook are incompatible (frames are not decoded)"},
        {video && !job.VideoHooks.empty(),
         "-vcodec copy and -vhook are incompatible (frames are not decoded)"},
    };
    for (const auto& r : refusals)
        if (r.Refused) RaiseRunError("%s", r.Text);
    if (in->codecpar->extradata_size > INT_MAX - AV_INPUT_BUFFER_PADDING_SIZE - 8)
        RaiseRunError("icodec.extradata_size is invalid (too large)");
    AVCodecParameters* par = ost.Stream->codecpar;
    if (FFApi.avcodec_parameters_copy(par, in->codecpar) < 0) RaiseRunError("Could not alloc buffer.");
    // Keep the input's codec tag only where the muxer knows it for this codec.
    const AVOutputFormat* format = run.OutputContext(ost.FileIndex)->oformat;
    unsigned int tag = 0;
    if (!format->codec_tag || FFApi.av_codec_get_id(format->codec_tag, par->codec_tag) != par->codec_id ||
        !FFApi.av_codec_get_tag2(format->codec_tag, par->codec_id, &tag))
        par->codec_tag = 0;
    ost.Stream->time_base = in->time_base;
    ost.Stream->avg_frame_rate = in->avg_frame_rate;
    ost.Stream->r_frame_rate = in->r_frame_rate;
    ost.Stream->sample_aspect_ratio = in->sample_aspect_ratio;
    ost.Stream->disposition = in->disposition;
    // The display matrix among it: copied pictures are shown as they were.
    CopyStreamSideData(in, ost.Stream);
}

void DoStreamCopy(TRunState& run, TRunOutputStream& ost, const TRunInputStream& ist, const AVPacket* packet) {
    if (ost.FrameNumber == 0 && !(packet->flags & AV_PKT_FLAG_KEY) && !run.Options.CopyInitialNonKeyframes)
        return;
    const AVRational tb = ist.Stream->time_base;
    const AVRational us{1, 1000000};
    const int64_t offset = FFApi.av_rescale_q(run.Options.StartTimeUs, us, tb);
    const AVMediaType kind = ist.Stream->codecpar->codec_type;
    if (kind == AVMEDIA_TYPE_AUDIO) run.AudioBytes += packet->size;
    if (kind == AVMEDIA_TYPE_VIDEO) {
        run.VideoBytes += packet->size;
        ++ost.SyncCounter;
    }
    TPacketPtr out(FFApi.av_packet_alloc());
    if (FFApi.av_packet_ref(out.get(), packet) < 0) RaiseRunError("Could not alloc buffer.");
    if (out->pts != AV_NOPTS_VALUE) out->pts -= offset;
    out->dts =
        (packet->dts == AV_NOPTS_VALUE ? FFApi.av_rescale_q(ist.CurTimeUs, us, tb) : packet->dts) - offset;
    const int64_t end = out->dts + std::max<int64_t>(out->duration, 0);
    ost.LastDtsUs = std::max(ost.LastDtsUs, FFApi.av_rescale_q(end, tb, us));
    WriteOutputPacket(run, ost, out.get(), tb);
    ++ost.FrameNumber;
}

} // namespace mw
