#include "engine/job/FFInputFile.h"

#include "engine/job/FFBlockingCall.h"
#include "engine/job/FFJob.h"
#include "engine/FFLog.h"

#include <cmath>
#include <utility>

namespace mw {

namespace {

const char* KindWord(bool encoder) {
    return encoder ? "encoder" : "decoder";
}

// Demuxer parameters from the option state (only demuxers that have an option read it).
TDictionaryPtr FormatParameters(const TOptionState& state) {
    AVDictionary* d = nullptr;
    auto set = [&d](const char* key, const std::string& value) {
        FFApi.av_dict_set(&d, key, value.c_str(), 0);
    };
    set("sample_rate", std::to_string(state.AudioSampleRate));
    set("channels", std::to_string(state.AudioChannels));
    if (state.FrameRate.num > 0 && state.FrameRate.den > 0)
        set("framerate", std::to_string(state.FrameRate.num) + "/" + std::to_string(state.FrameRate.den));
    if (state.FrameWidth > 0 && state.FrameHeight > 0)
        set("video_size", std::to_string(state.FrameWidth) + "x" + std::to_string(state.FrameHeight));
    if (state.FramePixFmt >= 0)
        set("pixel_format", FFApi.av_get_pix_fmt_name(static_cast<AVPixelFormat>(state.FramePixFmt)));
    if (state.VideoChannel) set("channel", std::to_string(state.VideoChannel));
    if (!state.VideoStandard.empty()) set("standard", state.VideoStandard);
    if (state.LoopInput) set("loop", "1");
    return TDictionaryPtr(d);
}

double RateValue(AVRational r) {
    return r.den ? static_cast<double>(r.num) / r.den : 0.0;
}

// Refills the option state from the streams (so a later output keeps the input's values unless
// options say otherwise), discards disabled kinds and records each stream's facts.
void TakeStreams(TTranscodeJob& job, TInputFile& input, const AVCodec* const named[3]) {
    auto& state = job.Options;
    AVFormatContext* ic = input.Context.get();
    bool movingVideo = false;
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        AVStream* st = ic->streams[i];
        const AVCodecParameters* par = st->codecpar;
        TInputStreamInfo info;
        info.Kind = par->codec_type;
        info.TimeScale = i < MaxStreams ? state.InputTsScale[i] : 1.0;
        int kind = -1;
        const bool cover = st->disposition & AV_DISPOSITION_ATTACHED_PIC;
        switch (par->codec_type) {
        case AVMEDIA_TYPE_VIDEO: {
            kind = skVideo;
            info.RotationDegrees = StreamRotationDegrees(st);
            // A cover picture after the film must not give the output its size or rate.
            if (cover && movingVideo) break;
            movingVideo = movingVideo || !cover;
            state.FrameWidth = par->width;
            state.FrameHeight = par->height;
            AVRational sar = st->sample_aspect_ratio.num ? st->sample_aspect_ratio : par->sample_aspect_ratio;
            if (!sar.num) sar = {1, 1};
            state.FrameAspectRatio =
                par->width > 0 && par->height > 0 ? RateValue(sar) * par->width / par->height : 4.0 / 3.0;
            // An output opened later gets the picture as it is seen: upright.
            if (input.AutoRotate && (info.RotationDegrees == 90 || info.RotationDegrees == 270)) {
                std::swap(state.FrameWidth, state.FrameHeight);
                state.FrameAspectRatio = 1.0 / state.FrameAspectRatio;
            }
            state.FramePixFmt = par->format;
            const AVRational container = st->r_frame_rate;
            const AVRational codec = st->avg_frame_rate;
            if (container.num && codec.num && std::fabs(RateValue(container) - RateValue(codec)) > 0.01 &&
                state.Verbosity >= 0)
                EngineLogFormat(&job, llInfo,
                                "Seems stream %u codec frame rate differs from container frame rate: %2.2f "
                                "(%d/%d) -> %2.2f (%d/%d)",
                                i, RateValue(codec), codec.num, codec.den, RateValue(container),
                                container.num, container.den);
            // A cover picture's "rate" is its time base (90000 fps in MP4): no output could take it.
            if (container.num && container.den && !cover) state.FrameRate = container;
            break;
        }
        case AVMEDIA_TYPE_AUDIO:
            kind = skAudio;
            state.AudioSampleRate = par->sample_rate;
            state.AudioChannels = par->ch_layout.nb_channels;
            state.AudioSampleFmt = par->format;
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            kind = skSubtitle;
            break;
        default:
            break;
        }
        if (kind >= 0) {
            info.Decoder = named[kind] ? named[kind] : FFApi.avcodec_find_decoder(par->codec_id);
            if (state.Disable[kind]) st->discard = AVDISCARD_ALL;
        } else {
            info.Decoder = FFApi.avcodec_find_decoder(par->codec_id);
        }
        info.Discard = st->discard == AVDISCARD_ALL;
        input.Streams.push_back(info);
    }
}

bool SelectProgram(TTranscodeJob& job, AVFormatContext* ic) {
    bool found = false;
    for (unsigned s = 0; s < ic->nb_streams; ++s)
        ic->streams[s]->discard = AVDISCARD_ALL;
    for (unsigned p = 0; p < ic->nb_programs; ++p) {
        AVProgram* program = ic->programs[p];
        if (program->id != job.Options.ProgramId) {
            program->discard = AVDISCARD_ALL;
            continue;
        }
        found = true;
        for (unsigned k = 0; k < program->nb_stream_indexes; ++k)
            if (program->stream_index[k] < ic->nb_streams)
                ic->streams[program->stream_index[k]]->discard = AVDISCARD_DEFAULT;
    }
    return found || BuildError(job, "Specified program id not found");
}

} // namespace

const AVCodec* FindNamedCodec(TTranscodeJob& job, const std::string& name, int mediaKind, bool encoder) {
    const AVCodec* codec = encoder ? FFApi.avcodec_find_encoder_by_name(name.c_str())
                                   : FFApi.avcodec_find_decoder_by_name(name.c_str());
    if (!codec) {
        BuildError(job, std::string("Unknown ") + KindWord(encoder) + " '" + name + "'");
        return nullptr;
    }
    if (codec->type != mediaKind) {
        BuildError(job, std::string("Invalid ") + KindWord(encoder) + " type '" + name + "'");
        return nullptr;
    }
    const AVCodecContext* reference = job.Options.Generic.Reference(static_cast<AVMediaType>(mediaKind));
    const int strict = reference ? reference->strict_std_compliance : FF_COMPLIANCE_NORMAL;
    if ((codec->capabilities & AV_CODEC_CAP_EXPERIMENTAL) && strict > FF_COMPLIANCE_EXPERIMENTAL) {
        std::string text =
            std::string(KindWord(encoder)) + " '" + codec->name +
            "' is experimental and might produce bad results.\r\nAdd '-strict experimental' if "
            "you want to use it.";
        const AVCodec* other =
            encoder ? FFApi.avcodec_find_encoder(codec->id) : FFApi.avcodec_find_decoder(codec->id);
        if (other && !(other->capabilities & AV_CODEC_CAP_EXPERIMENTAL))
            text += std::string("\r\nOr use the non experimental ") + KindWord(encoder) + " '" + other->name +
                    "'.";
        BuildError(job, text);
        return nullptr;
    }
    return codec;
}

bool OpenInputFile(TTranscodeJob& job, const std::string& fileName) {
    if (!LibrariesReady(job)) return false;
    auto& state = job.Options;
    if (static_cast<int>(job.Inputs.size()) >= job.Capacity)
        return BuildError(job, "max input files " + std::to_string(job.Capacity) + " reached");
    const AVInputFormat* format = nullptr;
    if (!state.ForcedFormat.empty()) {
        format = FFApi.av_find_input_format(state.ForcedFormat.c_str());
        if (!format) return BuildError(job, "Unknown input format: \"" + state.ForcedFormat + "\"");
    }
    static const AVMediaType Kinds[3] = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_SUBTITLE};
    const AVCodec* named[3] = {};
    for (int k = 0; k < 3; ++k)
        if (!state.CodecName[k].empty() &&
            !(named[k] = FindNamedCodec(job, state.CodecName[k], Kinds[k], false)))
            return false;

    TInputFile input;
    input.FileName = fileName;
    input.AutoRotate = !state.NoAutoRotate;
    AVFormatContext* ic = FFApi.avformat_alloc_context();
    if (!ic) return BuildError(job, fileName + ": " + FFErrorText(AVERROR(ENOMEM)));
    state.Generic.ApplyToFormat(ic, AV_OPT_FLAG_DECODING_PARAM);
    ic->video_codec = named[skVideo];
    ic->audio_codec = named[skAudio];
    ic->subtitle_codec = named[skSubtitle];
    ic->flags |= AVFMT_FLAG_NONBLOCK;
    ic->interrupt_callback.callback = FFInterruptCallback;
    ic->interrupt_callback.opaque = nullptr;
    const std::string url = FFFileUrl(fileName);
    if (HasUnicodePrefix(url)) {
        int error = 0;
        input.IO = TUnicodeIO::Open(url, 0, error);
        if (!input.IO) {
            FFApi.avformat_free_context(ic);
            return BuildError(job, fileName + ": " + FFErrorText(error));
        }
        ic->pb = input.IO->Context();
        ic->flags |= AVFMT_FLAG_CUSTOM_IO;
    }
    TDictionaryPtr parameters = FormatParameters(state);
    AVDictionary* rawParameters = parameters.release();
    int result;
    {
        TBlockingCall limit(job);
        // On failure the library frees the context (never a custom I/O context).
        result = FFApi.avformat_open_input(&ic, url.c_str(), format, &rawParameters);
    }
    parameters.reset(rawParameters);
    if (result < 0) return BuildError(job, fileName + ": " + FFErrorText(result));
    input.Context.reset(ic);

    if (state.ProgramIdSet && !SelectProgram(job, ic)) return false;
    if (job.Callbacks.BeforeFindStreamInfo) job.Callbacks.BeforeFindStreamInfo(ic);
    {
        TBlockingCall limit(job);
        result = FFApi.avformat_find_stream_info(ic, nullptr);
    }
    if (result < 0) {
        const std::string text = fileName + ": could not find codec parameters";
        if (state.Verbosity >= 0) EngineLog(&job, llVerbose, text);
        return BuildError(job, text);
    }

    int64_t timestamp = state.StartTimeUs;
    if (ic->start_time != AV_NOPTS_VALUE) timestamp += ic->start_time;
    if (state.StartTimeUs != 0) {
        TBlockingCall limit(job);
        if (FFApi.av_seek_frame(ic, -1, timestamp, AVSEEK_FLAG_BACKWARD) < 0 && state.Verbosity > 0)
            EngineLogFormat(&job, llVerbose, "%s: could not seek to position %0.3f", fileName.c_str(),
                            timestamp / 1000000.0);
    }
    state.StartTimeUs = 0;
    input.StartTimeUs = timestamp;

    TakeStreams(job, input, named);
    if (ic->duration != AV_NOPTS_VALUE && ic->duration > job.ExpectedTotalUs)
        job.ExpectedTotalUs = ic->duration;
    input.TsOffsetUs = state.InputTsOffsetUs - (state.CopyTs ? 0 : timestamp);
    if (state.Verbosity >= 0)
        FFApi.av_dump_format(ic, static_cast<int>(job.Inputs.size()), fileName.c_str(), 0);
    job.Inputs.push_back(std::move(input));
    ClearAfterInput(state);
    return true;
}

} // namespace mw
