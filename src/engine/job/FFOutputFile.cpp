#include "engine/job/FFOutputFile.h"

#include "engine/job/FFBlockingCall.h"
#include "engine/job/FFInputFile.h"
#include "engine/job/FFJob.h"
#include "engine/FFLog.h"
#include "engine/job/FFOutputCreate.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace mw {

namespace {

const char* KindName(AVMediaType kind) {
    switch (kind) {
    case AVMEDIA_TYPE_VIDEO:
        return "video";
    case AVMEDIA_TYPE_AUDIO:
        return "audio";
    default:
        return "subtitle";
    }
}

TStreamKind StateKind(AVMediaType kind) {
    return kind == AVMEDIA_TYPE_VIDEO ? skVideo : kind == AVMEDIA_TYPE_AUDIO ? skAudio : skSubtitle;
}

// Today's JPEG encoders refuse limited-range YUV unless compliance is unofficial or lower: above
// that only their full-range formats are offered, so a yuv420p source is scaled to yuvj420p.
const struct {
    AVCodecID Codec;
    std::vector<AVPixelFormat> Formats;
} FullRangePixelFormats[] = {
    {AV_CODEC_ID_MJPEG, {AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUVJ422P, AV_PIX_FMT_YUVJ444P}},
    {AV_CODEC_ID_LJPEG,
     {AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUVJ422P, AV_PIX_FMT_YUVJ444P, AV_PIX_FMT_BGR0, AV_PIX_FMT_BGRA,
      AV_PIX_FMT_BGR24}},
};

AVPixelFormat ChoosePixelFormat(const AVCodec* codec, const AVCodecContext* ctx, int requested) {
    const AVPixelFormat* list = codec->pix_fmts;
    std::vector<AVPixelFormat> fullRange;
    if (ctx->strict_std_compliance > FF_COMPLIANCE_UNOFFICIAL)
        for (const auto& row : FullRangePixelFormats)
            if (row.Codec == codec->id) {
                fullRange = row.Formats;
                fullRange.push_back(AV_PIX_FMT_NONE);
                list = fullRange.data();
            }
    if (!list) return static_cast<AVPixelFormat>(requested);
    for (const AVPixelFormat* p = list; *p != AV_PIX_FMT_NONE; ++p)
        if (*p == requested) return *p;
    return list[0];
}

AVSampleFormat ChooseSampleFormat(const AVCodec* codec, int requested) {
    if (!codec->sample_fmts) return static_cast<AVSampleFormat>(requested);
    for (const AVSampleFormat* p = codec->sample_fmts; *p != AV_SAMPLE_FMT_NONE; ++p)
        if (*p == requested) return *p;
    return codec->sample_fmts[0];
}

AVRational NearestRate(const AVRational* rates, AVRational wanted) {
    AVRational best = rates[0];
    double bestDistance = INFINITY;
    const double w = static_cast<double>(wanted.num) / wanted.den;
    for (const AVRational* r = rates; r->num || r->den; ++r) {
        const double distance = std::fabs(static_cast<double>(r->num) / r->den - w);
        if (distance < bestDistance) {
            best = *r;
            bestDistance = distance;
        }
    }
    return best;
}

// "start,end,q/start,end,q...": q above 0 is a quantiser, 0 or less a quality factor -q/100.
bool ParseRcOverride(const std::string& text, AVCodecContext* ctx) {
    std::vector<RcOverride> entries;
    size_t start = 0;
    while (start < text.size()) {
        const size_t slash = std::min(text.find('/', start), text.size());
        const std::string entry = text.substr(start, slash - start);
        RcOverride o{};
        int q = 0;
        char tail = 0;
        if (std::sscanf(entry.c_str(), "%d,%d,%d%c", &o.start_frame, &o.end_frame, &q, &tail) != 3)
            return false;
        if (q > 0) {
            o.qscale = q;
            o.quality_factor = 1.0f;
        } else {
            o.qscale = 0;
            o.quality_factor = -q / 100.0f;
        }
        entries.push_back(o);
        start = slash + 1;
    }
    if (entries.empty()) return true;
    auto* copy = static_cast<RcOverride*>(FFApi.av_malloc(sizeof(RcOverride) * entries.size()));
    if (!copy) return false;
    std::memcpy(copy, entries.data(), sizeof(RcOverride) * entries.size());
    ctx->rc_override = copy;
    ctx->rc_override_count = static_cast<int>(entries.size());
    return true;
}

uint16_t* CopyMatrix(const std::vector<uint16_t>& matrix) {
    if (matrix.size() != 64) return nullptr;
    auto* copy = static_cast<uint16_t*>(FFApi.av_malloc(64 * sizeof(uint16_t)));
    if (copy) std::memcpy(copy, matrix.data(), 64 * sizeof(uint16_t));
    return copy;
}

std::vector<int64_t> ParseKeyFrames(const std::string& text) {
    std::vector<int64_t> times;
    size_t start = 0;
    while (!text.empty() && start <= text.size()) {
        const size_t comma = std::min(text.find(',', start), text.size());
        int64_t us = 0;
        if (FFApi.av_parse_time(&us, text.substr(start, comma - start).c_str(), 1) >= 0) times.push_back(us);
        start = comma + 1;
    }
    return times;
}

// The encoder named for the kind, or the muxer's default; when the build lacks the default, the
// first encoder of the kind the muxer accepts.
const AVCodec* ChooseEncoder(TTranscodeJob& job, const AVOutputFormat* ofmt, const std::string& fileName,
                             AVMediaType kind) {
    std::string name = job.Options.CodecName[StateKind(kind)];
    // Served by the native encoder, which this build has.
    if (name == "libfaac" && !FFApi.avcodec_find_encoder_by_name("libfaac")) name = "aac";
    if (!name.empty()) return FindNamedCodec(job, name, kind, true);
    const AVCodecID id = FFApi.av_guess_codec(ofmt, nullptr, fileName.c_str(), nullptr, kind);
    if (const AVCodec* codec = FFApi.avcodec_find_encoder(id)) return codec;
    void* it = nullptr;
    while (const AVCodec* codec = FFApi.av_codec_iterate(&it)) {
        if (!FFApi.av_codec_is_encoder(codec) || codec->type != kind ||
            (codec->capabilities & AV_CODEC_CAP_EXPERIMENTAL) ||
            FFApi.avformat_query_codec(ofmt, codec->id, FF_COMPLIANCE_NORMAL) != 1)
            continue;
        EngineLogFormat(&job, llWarning, "Default %s encoder %s is not available, using %s", KindName(kind),
                        FFApi.avcodec_get_name(id), codec->name);
        return codec;
    }
    BuildError(job, FFErrorText(AVERROR_ENCODER_NOT_FOUND));
    return nullptr;
}

void SetLanguage(AVStream* st, const std::string& language) {
    if (!language.empty()) FFApi.av_dict_set(&st->metadata, "language", language.c_str(), 0);
}

bool SetUpVideo(TTranscodeJob& job, TOutputStream& out, AVCodecContext* ctx) {
    const auto& state = job.Options;
    AVRational rate =
        state.FrameRate.num > 0 && state.FrameRate.den > 0 ? state.FrameRate : AVRational{25, 1};
    if (out.Codec->supported_framerates && !state.ForceFps)
        rate = NearestRate(out.Codec->supported_framerates, rate);
    ctx->framerate = rate;
    ctx->time_base = {rate.den, rate.num};
    ctx->width = state.FrameWidth;
    ctx->height = state.FrameHeight;
    if (state.FrameAspectRatio > 0 && ctx->width > 0 && ctx->height > 0) {
        const double sar = state.FrameAspectRatio * ctx->height / ctx->width;
        int num = 0, den = 0;
        FFApi.av_reduce(&num, &den, std::llround(sar * 1000000), 1000000, 255);
        ctx->sample_aspect_ratio = {num, den};
    }
    ctx->pix_fmt = ChoosePixelFormat(out.Codec, ctx, state.FramePixFmt);
    if (state.IntraOnly) ctx->gop_size = 0;
    if (state.VideoQScale > 0) {
        ctx->flags |= AV_CODEC_FLAG_QSCALE;
        ctx->global_quality = static_cast<int>(FF_QP2LAMBDA * state.VideoQScale);
    }
    ctx->intra_matrix = CopyMatrix(state.IntraMatrix);
    ctx->inter_matrix = CopyMatrix(state.InterMatrix);
    if (!ParseRcOverride(state.RcOverride, ctx)) return BuildError(job, "error parsing rc_override");
    if (!ctx->rc_initial_buffer_occupancy) ctx->rc_initial_buffer_occupancy = ctx->rc_buffer_size * 3 / 4;
    ctx->intra_dc_precision = state.IntraDcPrecision - 8;
    if (state.Psnr) ctx->flags |= AV_CODEC_FLAG_PSNR;
    if (state.Pass == 1) ctx->flags |= AV_CODEC_FLAG_PASS1;
    if (state.Pass == 2) ctx->flags |= AV_CODEC_FLAG_PASS2;
    out.Pass = state.Pass;
    out.PassLogFileName = state.PassLogFileName.empty() ? "ffmpeg2pass" : state.PassLogFileName;
    out.ForcedKeyFramesUs = ParseKeyFrames(state.ForcedKeyFrames);
    out.VideoFilters = state.VideoFilters;
    out.SwsFlags = static_cast<int>(state.Generic.ScalerFlags());
    return true;
}

void SetUpAudio(TTranscodeJob& job, TOutputStream& out, AVCodecContext* ctx) {
    const auto& state = job.Options;
    FFApi.av_channel_layout_default(&ctx->ch_layout, state.AudioChannels);
    int rate = state.AudioSampleRate;
    if (const int* rates = out.Codec->supported_samplerates) {
        int best = rates[0];
        for (const int* r = rates; *r; ++r)
            if (std::abs(*r - rate) < std::abs(best - rate)) best = *r;
        if (best != rate)
            EngineLogFormat(&job, llWarning,
                            "Requested sampling rate unsupported using closest supported (%d)", best);
        rate = best;
    }
    ctx->sample_rate = rate;
    ctx->time_base = {1, rate};
    ctx->sample_fmt = ChooseSampleFormat(out.Codec, state.AudioSampleFmt);
    if (state.AudioQScale > 0) {
        ctx->flags |= AV_CODEC_FLAG_QSCALE;
        ctx->global_quality = static_cast<int>(FF_QP2LAMBDA * state.AudioQScale);
    }
}

// Makes one stream of the kind in the output from the option state; clears the kind's per-stream
// state afterwards.
bool NewStream(TTranscodeJob& job, TOutputFile& output, AVMediaType kind) {
    auto& state = job.Options;
    const TStreamKind sk = StateKind(kind);
    const std::string failPrefix = std::string("new_") + KindName(kind) + "_stream fail: ";
    AVFormatContext* oc = output.Context.get();
    TOutputStream out;
    out.Kind = kind;
    out.Bsf = state.Bsf[sk];
    // The library stream is made last, so that a failure leaves the output as it was.
    if (state.StreamCopy[sk]) {
        out.StreamCopy = true;
    } else {
        out.Codec = ChooseEncoder(job, oc->oformat, output.FileName, kind);
        if (!out.Codec) return BuildError(job, failPrefix + job.BuildErrorText);
        out.Encoder.reset(FFApi.avcodec_alloc_context3(out.Codec));
        AVCodecContext* ctx = out.Encoder.get();
        if (!ctx) return BuildError(job, failPrefix + "Could not alloc stream");
        ctx->thread_count = state.ThreadCount;
        if (state.CodecTag[sk]) ctx->codec_tag = state.CodecTag[sk];
        if (oc->oformat->flags & AVFMT_GLOBALHEADER) ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (state.UseGlobalHeaders & 1) ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (state.UseGlobalHeaders & 2) ctx->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
        static const int KindFlags[] = {AV_OPT_FLAG_VIDEO_PARAM, AV_OPT_FLAG_AUDIO_PARAM,
                                        AV_OPT_FLAG_SUBTITLE_PARAM};
        std::string error;
        state.Generic.ApplyToCodec(ctx, AV_OPT_FLAG_ENCODING_PARAM | KindFlags[sk], &error);
        if (!error.empty()) return BuildError(job, failPrefix + error);
        if (kind == AVMEDIA_TYPE_VIDEO && !SetUpVideo(job, out, ctx)) return false;
        if (kind == AVMEDIA_TYPE_AUDIO) SetUpAudio(job, out, ctx);
    }
    out.Stream = FFApi.avformat_new_stream(oc, nullptr);
    if (!out.Stream) return BuildError(job, failPrefix + "Could not alloc stream");
    const int index = static_cast<int>(oc->nb_streams) - 1;
    if (const auto id = state.StreamIds.find(index); id != state.StreamIds.end()) out.Stream->id = id->second;
    out.Stream->codecpar->codec_type = kind;
    SetLanguage(out.Stream, state.Language[sk]);
    if (const AVCodecContext* ctx = out.Encoder.get()) {
        out.Stream->time_base = ctx->time_base;
        out.Stream->sample_aspect_ratio = ctx->sample_aspect_ratio;
        out.Stream->codecpar->codec_id = out.Codec->id;
    }
    output.Streams.push_back(std::move(out));
    ClearAfterStream(state, sk);
    return true;
}

// Which kinds of stream the output gets.
bool ChooseKinds(TTranscodeJob& job, const AVOutputFormat* ofmt, bool wanted[3]) {
    const auto& state = job.Options;
    const AVCodecID defaults[3] = {ofmt->video_codec, ofmt->audio_codec, ofmt->subtitle_codec};
    for (int k = 0; k < 3; ++k)
        wanted[k] = defaults[k] != AV_CODEC_ID_NONE || !state.CodecName[k].empty() || state.StreamCopy[k];
    if (!job.Inputs.empty()) {
        // A join has the kinds any of its inputs has: the inputs without one are filled in.
        bool present[3] = {};
        for (size_t i = 0; i < job.Inputs.size(); ++i) {
            const AVFormatContext* ic = job.Inputs[i].Context.get();
            // Data and attachment streams (timecode tracks, fonts) are common and simply not taken.
            for (unsigned s = 0; s < ic->nb_streams; ++s) {
                const AVMediaType type = ic->streams[s]->codecpar->codec_type;
                if (type == AVMEDIA_TYPE_VIDEO || type == AVMEDIA_TYPE_AUDIO) present[StateKind(type)] = true;
                // A subtitle only the muxer's default asks for must be one its encoder can take (a
                // camera's bitmap subtitle would otherwise fail the whole conversion to a text one).
                if (type == AVMEDIA_TYPE_SUBTITLE)
                    present[skSubtitle] =
                        present[skSubtitle] || !state.CodecName[skSubtitle].empty() ||
                        state.StreamCopy[skSubtitle] ||
                        SubtitleFitsEncoder(ic->streams[s]->codecpar->codec_id, defaults[skSubtitle]);
            }
        }
        for (int k = 0; k < 3; ++k)
            wanted[k] = wanted[k] && present[k];
    }
    for (int k = 0; k < 3; ++k)
        wanted[k] = wanted[k] && !state.Disable[k];
    return true;
}

// Muxer fields and options; false with "%s: Invalid encoding parameters".
bool SetMuxerParameters(TTranscodeJob& job, TOutputFile& output) {
    const auto& state = job.Options;
    AVFormatContext* oc = output.Context.get();
    oc->max_delay = static_cast<int>(state.MuxMaxDelay * 1000000);
    oc->flags |= AVFMT_FLAG_NONBLOCK;
    std::string error;
    state.Generic.ApplyToFormat(oc, AV_OPT_FLAG_ENCODING_PARAM, &error);
    // Muxers that have these options take them; the others ignore them. Private data without a
    // class (the SRT muxer's, for one) has no options to look up.
    if (oc->priv_data && oc->oformat->priv_class) {
        if (FFApi.av_opt_find(oc->priv_data, "preload", nullptr, 0, 0))
            FFApi.av_opt_set_int(oc->priv_data, "preload", static_cast<int64_t>(state.MuxPreload * 1000000),
                                 0);
        if (state.LoopOutput >= 0 && FFApi.av_opt_find(oc->priv_data, "loop", nullptr, 0, 0))
            FFApi.av_opt_set_int(oc->priv_data, "loop", state.LoopOutput, 0);
    }
    if (!error.empty()) return BuildError(job, output.FileName + ": Invalid encoding parameters");
    return true;
}

void SetMetadata(TTranscodeJob& job, AVFormatContext* oc) {
    const auto& state = job.Options;
    if (state.RecordingTimestamp) {
        const std::time_t t = static_cast<std::time_t>(state.RecordingTimestamp);
        std::tm utc{};
        gmtime_r(&t, &utc);
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000000Z", &utc);
        FFApi.av_dict_set(&oc->metadata, "creation_time", text, 0);
    }
    for (const auto& [key, value] : state.Metadata)
        FFApi.av_dict_set(&oc->metadata, key.c_str(), value.c_str(), 0);
}

} // namespace

int OpenOutputFile(TTranscodeJob& job, const std::string& fileName, bool join) {
    if (!LibrariesReady(job)) return -1;
    auto& state = job.Options;
    if (job.Join) return BuildError(job, "Cannot join more than one output file."), -1;
    if (static_cast<int>(job.Outputs.size()) >= job.Capacity)
        return BuildError(job, "max output files " + std::to_string(job.Capacity) + " reached"), -1;
    const AVOutputFormat* ofmt = nullptr;
    if (!state.ForcedFormat.empty()) {
        ofmt = FFApi.av_guess_format(state.ForcedFormat.c_str(), nullptr, nullptr);
        if (!ofmt)
            return BuildError(job, "Requested output format '" + state.ForcedFormat +
                                       "' is not a suitable output format"),
                   -1;
    } else {
        ofmt = FFApi.av_guess_format(nullptr, fileName.c_str(), nullptr);
        if (!ofmt)
            return BuildError(job, "Unable to find a suitable output format for '" + fileName + "'"), -1;
    }
    TOutputFile output;
    output.FileName = fileName;
    output.Join = join;
    AVFormatContext* oc = nullptr;
    const std::string url = FFFileUrl(fileName);
    const int allocated = FFApi.avformat_alloc_output_context2(&oc, ofmt, nullptr, url.c_str());
    if (allocated < 0 || !oc)
        return BuildError(job, fileName + ": " + FFErrorText(allocated < 0 ? allocated : AVERROR(ENOMEM))),
               -1;
    output.Context.reset(oc);
    oc->interrupt_callback.callback = FFInterruptCallback;
    oc->interrupt_callback.opaque = nullptr;

    bool wanted[3];
    ChooseKinds(job, ofmt, wanted);
    static const AVMediaType Order[3] = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_SUBTITLE};
    for (int k = 0; k < 3; ++k)
        if (wanted[k] && !NewStream(job, output, Order[k])) return -1;
    SetMetadata(job, oc);
    if (!SetMuxerParameters(job, output) || !OpenOutputTarget(job, output)) return -1;

    ClearAfterOutput(state);
    if (join && job.Inputs.size() > 1) job.Join = true;
    job.Outputs.push_back(std::move(output));
    return static_cast<int>(job.Outputs.size());
}

bool AddOutputStream(TTranscodeJob& job, int mediaKind) {
    if (job.Outputs.empty()) return BuildError(job, "At least one output file must be specified");
    return NewStream(job, job.Outputs.back(), static_cast<AVMediaType>(mediaKind));
}

} // namespace mw
