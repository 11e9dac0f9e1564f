#include "RunJobFixture.h"

#include "engine/FFLog.h"

#include <stdexcept>

namespace mw::test {

namespace {

TRunInput OpenInput(const std::string& name) {
    AVFormatContext* ic = FFApi.avformat_alloc_context();
    ic->interrupt_callback.callback = FFInterruptCallback;
    if (FFApi.avformat_open_input(&ic, name.c_str(), nullptr, nullptr) < 0)
        throw std::runtime_error("open " + name);
    TRunInput input;
    input.Context.reset(ic);
    if (FFApi.avformat_find_stream_info(ic, nullptr) < 0) throw std::runtime_error("probe " + name);
    input.TsOffsetUs = ic->start_time == AV_NOPTS_VALUE ? 0 : -ic->start_time;
    return input;
}

const AVStream* FirstOfKind(const AVFormatContext* ic, AVMediaType kind) {
    for (unsigned i = 0; i < ic->nb_streams; ++i)
        if (ic->streams[i]->codecpar->codec_type == kind) return ic->streams[i];
    return nullptr;
}

void ConfigureVideo(AVCodecContext* enc, const AVCodec* codec, const AVCodecParameters* src,
                    const TTestStream& s) {
    enc->width = s.Width ? s.Width : src ? src->width : 320;
    enc->height = s.Height ? s.Height : src ? src->height : 240;
    enc->framerate = s.FrameRate;
    enc->time_base = av_inv_q(s.FrameRate);
    enc->pix_fmt = codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
    enc->sample_aspect_ratio = AVRational{1, 1};
}

void ConfigureAudio(AVCodecContext* enc, const AVCodec* codec, const AVCodecParameters* src,
                    const TTestStream& s) {
    enc->sample_rate = s.SampleRate ? s.SampleRate : src ? src->sample_rate : 44100;
    const int channels = s.Channels ? s.Channels : src ? src->ch_layout.nb_channels : 2;
    FFApi.av_channel_layout_default(&enc->ch_layout, channels);
    enc->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    enc->time_base = AVRational{1, enc->sample_rate};
}

} // namespace

TRunJob MakeTestJob(const std::vector<std::string>& inputs, const std::string& output,
                    const std::vector<TTestStream>& streams, const std::string& format) {
    TRunJob job;
    for (const auto& name : inputs)
        job.Inputs.push_back(OpenInput(name));
    AVFormatContext* oc = nullptr;
    if (FFApi.avformat_alloc_output_context2(&oc, nullptr, format.empty() ? nullptr : format.c_str(),
                                             output.c_str()) < 0)
        throw std::runtime_error("no muxer for " + output);
    TRunOutput out;
    out.Context.reset(oc);
    out.FileName = output;
    const AVFormatContext* first = job.Inputs.empty() ? nullptr : job.Inputs[0].Context.get();
    for (const auto& s : streams) {
        TRunOutputStreamSpec spec;
        spec.Stream = FFApi.avformat_new_stream(oc, nullptr);
        if (s.Codec.rfind("copy:", 0) == 0) {
            spec.Stream->codecpar->codec_type =
                s.Codec == "copy:video" ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO;
            out.Streams.push_back(std::move(spec));
            continue;
        }
        const AVCodec* codec = FFApi.avcodec_find_encoder_by_name(s.Codec.c_str());
        if (!codec) throw std::runtime_error("no encoder " + s.Codec);
        spec.Encoder.reset(FFApi.avcodec_alloc_context3(codec));
        spec.Stream->codecpar->codec_type = codec->type;
        const AVStream* src = first ? FirstOfKind(first, codec->type) : nullptr;
        if (codec->type == AVMEDIA_TYPE_VIDEO)
            ConfigureVideo(spec.Encoder.get(), codec, src ? src->codecpar : nullptr, s);
        else
            ConfigureAudio(spec.Encoder.get(), codec, src ? src->codecpar : nullptr, s);
        if (s.BitRate) spec.Encoder->bit_rate = s.BitRate;
        out.Streams.push_back(std::move(spec));
    }
    if (!(oc->oformat->flags & AVFMT_NOFILE)) {
        AVIOInterruptCB cb{FFInterruptCallback, nullptr};
        if (FFApi.avio_open2(&oc->pb, output.c_str(), AVIO_FLAG_WRITE, &cb, nullptr) < 0)
            throw std::runtime_error("cannot write " + output);
    }
    job.Outputs.push_back(std::move(out));
    return job;
}

} // namespace mw::test
