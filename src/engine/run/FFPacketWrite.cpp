#include "engine/run/FFPacketWrite.h"

#include "engine/FFLog.h"
#include "engine/run/FFPipeline.h"
#include "engine/run/FFVideoStats.h"

#include <cmath>
#include <utility>

namespace mw {

void OpenBitstreamFilters(TRunOutputStream& ost, AVRational sourceTimeBase) {
    AVCodecParameters* par = ost.Stream->codecpar;
    for (const std::string& entry : ost.JobStream->Bsf) {
        // "name" or "name=options" (options as "key=value:key=value").
        const size_t equals = entry.find('=');
        const std::string name = entry.substr(0, equals);
        if (name.empty()) continue;
        const AVBitStreamFilter* filter = FFApi.av_bsf_get_by_name(name.c_str());
        if (!filter) RaiseRunError("Unknown bitstream filter %s", name.c_str());
        AVBSFContext* raw = nullptr;
        if (FFApi.av_bsf_alloc(filter, &raw) < 0) RaiseRunError("Could not alloc buffer.");
        TBsfContextPtr bsf(raw);
        FFApi.avcodec_parameters_copy(bsf->par_in, par);
        bsf->time_base_in = sourceTimeBase;
        int error = 0;
        if (equals != std::string::npos && bsf->priv_data)
            error = FFApi.av_set_options_string(bsf->priv_data, entry.c_str() + equals + 1, "=", ":");
        if (error >= 0) error = FFApi.av_bsf_init(bsf.get());
        if (error < 0)
            RaiseRunError("%s failed for stream %d, codec %s: %s", name.c_str(), ost.Index,
                          ost.Encoder ? ost.Encoder->codec->name : "copy", FFErrorText(error).c_str());
        par = bsf->par_out;
        ost.Bsfs.push_back(std::move(bsf));
    }
    if (par != ost.Stream->codecpar) FFApi.avcodec_parameters_copy(ost.Stream->codecpar, par);
}

namespace {

void MuxPacket(TRunState& run, TRunOutputStream& ost, AVPacket* packet, AVRational sourceTimeBase) {
    packet->stream_index = ost.Index;
    FFApi.av_packet_rescale_ts(packet, sourceTimeBase, ost.Stream->time_base);
    const int error = FFApi.av_interleaved_write_frame(run.OutputContext(ost.FileIndex), packet);
    if (error < 0) RaiseRunError("av_interleaved_write_frame(): %s", FFErrorText(error).c_str());
    ++ost.PacketsWritten;
}

// Runs the packet through filters [from, end); filters can split or hold packets.
void FilterAndMux(TRunState& run, TRunOutputStream& ost, size_t from, AVPacket* packet, AVRational tb) {
    if (from == ost.Bsfs.size()) {
        if (packet) MuxPacket(run, ost, packet, tb);
        return;
    }
    AVBSFContext* bsf = ost.Bsfs[from].get();
    TPacketPtr original(FFApi.av_packet_alloc());
    if (packet) FFApi.av_packet_ref(original.get(), packet);
    int error = FFApi.av_bsf_send_packet(bsf, packet);
    if (error >= 0) {
        TPacketPtr out(FFApi.av_packet_alloc());
        while ((error = FFApi.av_bsf_receive_packet(bsf, out.get())) >= 0) {
            FilterAndMux(run, ost, from + 1, out.get(), tb);
            FFApi.av_packet_unref(out.get());
        }
        if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) error = 0;
    }
    if (error < 0 && packet) {
        char text[512];
        std::snprintf(text, sizeof text, "%s failed for stream %d, codec %s: %s", bsf->filter->name,
                      ost.Index, ost.Encoder ? ost.Encoder->codec->name : "copy", FFErrorText(error).c_str());
        if (run.Options.ExitOnError) throw TRunError(text);
        EngineLog(nullptr, llError, text);
        FilterAndMux(run, ost, from + 1, original.get(), tb);
    }
    if (!packet) FilterAndMux(run, ost, from + 1, nullptr, tb);
}

// The one-thread encoder call: every packet the frame gives is written at once.
void EncodeHere(TRunState& run, TRunOutputStream& ost, const AVFrame* frame, const char* failText) {
    AVCodecContext* enc = ost.Encoder;
    int error = FFApi.avcodec_send_frame(enc, frame);
    if (error == AVERROR_EOF) return; // already drained
    if (error < 0) RaiseRunError("%s", failText);
    TPacketPtr packet(FFApi.av_packet_alloc());
    while ((error = FFApi.avcodec_receive_packet(enc, packet.get())) >= 0)
        WriteEncodedPacket(run, ost, packet.get(), enc->stats_out);
    if (error != AVERROR(EAGAIN) && error != AVERROR_EOF) RaiseRunError("%s", failText);
}

} // namespace

void WriteOutputPacket(TRunState& run, TRunOutputStream& ost, AVPacket* packet, AVRational sourceTimeBase) {
    if (ost.Bsfs.empty())
        MuxPacket(run, ost, packet, sourceTimeBase);
    else
        FilterAndMux(run, ost, 0, packet, sourceTimeBase);
    FFApi.av_packet_unref(packet);
}

void NoteCodedPicture(TRunOutputStream& ost, const AVPacket* packet) {
    size_t size = 0;
    const uint8_t* stats = FFApi.av_packet_get_side_data(packet, AV_PKT_DATA_QUALITY_STATS, &size);
    if (!stats || size < 4) return;
    ost.Quality = static_cast<float>(AV_RL32(stats)) / FF_QP2LAMBDA;
    const long qp = std::lrint(ost.Quality);
    if (qp >= 0 && qp < long(ost.QpHistogram.size())) ++ost.QpHistogram[static_cast<size_t>(qp)];
    ++ost.CodedPictures;
    const int errors = size >= 6 ? stats[5] : 0;
    for (int p = 0; p < 3 && p < errors && size >= 8 + 8 * size_t(p + 1); ++p) {
        ost.PictureError[p] = static_cast<double>(AV_RL64(stats + 8 + 8 * p));
        ost.ErrorSum[p] += ost.PictureError[p];
    }
}

void WriteEncodedPacket(TRunState& run, TRunOutputStream& ost, AVPacket* packet, const char* stats) {
    const AVCodecContext* enc = ost.Encoder;
    if (enc->codec_type == AVMEDIA_TYPE_VIDEO) {
        run.VideoBytes += packet->size;
        NoteCodedPicture(ost, packet);
        if (ost.PassLog && stats) std::fputs(stats, ost.PassLog);
        if (WantsVideoStats(run)) WriteVideoStats(run, ost, packet, run.VideoBytes);
    } else {
        run.AudioBytes += packet->size;
        packet->flags |= AV_PKT_FLAG_KEY;
    }
    WriteOutputPacket(run, ost, packet, enc->time_base);
}

void EncodeAndWrite(TRunState& run, TRunOutputStream& ost, const AVFrame* frame, const char* failText) {
    if (ost.Worker) {
        ost.Worker->Submit(run, ost, frame, failText, std::exchange(ost.PendingSar, AVRational{0, 0}));
        if (!frame) ost.Worker->Quiesce(run, ost);
        WriteReadyPackets(run);
    } else {
        EncodeHere(run, ost, frame, failText);
    }
    if (!frame) ost.EncoderFlushed = true;
}

} // namespace mw
