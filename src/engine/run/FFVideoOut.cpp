#include "engine/run/FFVideoOut.h"

#include "engine/FFLog.h"
#include "engine/run/FFPacketWrite.h"
#include "engine/run/FFPipeline.h"
#include "engine/run/FFRunHooks.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace mw {

namespace {

struct TSizeRuleRow {
    AVCodecID Codec;
    int WidthMultiple;
    int HeightMultiple;
    std::vector<std::pair<int, int>> FixedSizes; // empty = any size with the multiples
};

// Encoders of this build that refuse sizes beyond what their pixel format needs.
const std::vector<TSizeRuleRow>& SizeRules() {
    static const std::vector<TSizeRuleRow> rows = {
        {AV_CODEC_ID_H263, 1, 1, {{128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}}},
        {AV_CODEC_ID_H261, 1, 1, {{176, 144}, {352, 288}}},
        {AV_CODEC_ID_RV10, 16, 16, {}},
        {AV_CODEC_ID_RV20, 4, 4, {}},
        {AV_CODEC_ID_WMV1, 2, 2, {}},
        {AV_CODEC_ID_WMV2, 2, 2, {}},
    };
    return rows;
}

int RoundToMultiple(int value, int multiple) {
    const int down = value / multiple * multiple;
    const int rounded = value - down >= (multiple + 1) / 2 ? down + multiple : down;
    return std::max(rounded, multiple);
}

void EncodePicture(TRunState& run, TRunOutputStream& ost, TRunInputStream& ist, AVFrame* frame);

bool VariableFpsMuxer(const AVFormatContext* oc) {
    return oc->oformat->flags & (AVFMT_VARIABLE_FPS | AVFMT_NOTIMESTAMPS);
}

// The scaled picture, reused unless the encoder still holds the previous one.
AVFrame* TempPicture(TRunOutputStream& ost) {
    const AVCodecContext* enc = ost.Encoder;
    AVFrame* picture = WritablePicture(ost.TempPicture, enc->width, enc->height, enc->pix_fmt);
    if (!picture) RaiseRunError("Cannot allocate temp picture, check pix fmt");
    return picture;
}

AVRational NonZeroSar(AVRational sar) {
    return sar.num > 0 && sar.den > 0 ? sar : AVRational{1, 1};
}

// The source's pictures as they are seen: turned by its rotation.
struct TUpright {
    int Width, Height;
    AVRational Sar;
};
TUpright UprightOf(int width, int height, AVRational sar, int rotation) {
    sar = NonZeroSar(sar);
    if (rotation == 90 || rotation == 270) return {height, width, {sar.den, sar.num}};
    return {width, height, sar};
}

// The filters that turn a picture upright, in order, with their arguments.
std::vector<std::pair<const char*, const char*>> RotationFilters(int rotation) {
    switch (rotation) {
    case 90:
        return {{"transpose", "dir=clock"}};
    case 180:
        return {{"hflip", nullptr}, {"vflip", nullptr}};
    case 270:
        return {{"transpose", "dir=cclock"}};
    default:
        return {};
    }
}

bool AddFilter(AVFilterGraph* graph, AVFilterContext*& last, const char* name, const char* args) {
    AVFilterContext* filter = nullptr;
    if (FFApi.avfilter_graph_create_filter(&filter, FFApi.avfilter_get_by_name(name), name, args, nullptr,
                                           graph) < 0 ||
        FFApi.avfilter_link(last, 0, filter, 0) < 0)
        return false;
    last = filter;
    return true;
}

// source -> [turn upright] -> [scale] -> [pad, aspect] -> ["vf" text] -> sink with the encoder's
// pixel format. The encoder's size becomes that of the sink's input.
void MakeFilterGraph(TRunOutputStream& ost) {
    const AVCodecContext* dec = ost.Source->Decoder.get();
    AVCodecContext* enc = ost.Encoder;
    ost.Graph.reset(FFApi.avfilter_graph_alloc());
    AVFilterGraph* graph = ost.Graph.get();
    char args[256];
    const AVRational sar = NonZeroSar(dec->sample_aspect_ratio);
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/1000000:pixel_aspect=%d/%d",
                  ost.InWidth, ost.InHeight, ost.InPixFmt, sar.num, sar.den);
    bool ok =
        graph && FFApi.avfilter_graph_create_filter(&ost.GraphSource, FFApi.avfilter_get_by_name("buffer"),
                                                    "src", args, nullptr, graph) >= 0;
    AVFilterContext* last = ost.GraphSource;
    const int rotation = ost.Source->Rotation;
    for (const auto& [name, filterArgs] : RotationFilters(rotation))
        ok = ok && AddFilter(graph, last, name, filterArgs);
    const TUpright upright = UprightOf(ost.InWidth, ost.InHeight, sar, rotation);
    TPictureFit fit{enc->width, enc->height, 0, 0};
    if (ost.FitAspect || rotation) {
        const AVPixFmtDescriptor* desc = FFApi.av_pix_fmt_desc_get(enc->pix_fmt);
        fit = FitPictureInside(upright.Width, upright.Height, upright.Sar, enc->width, enc->height,
                               enc->sample_aspect_ratio, desc ? 1 << desc->log2_chroma_w : 1,
                               desc ? 1 << desc->log2_chroma_h : 1);
    }
    if (ok && (upright.Width != fit.Width || upright.Height != fit.Height)) {
        std::snprintf(args, sizeof args, "%d:%d:flags=0x%X", fit.Width, fit.Height, ost.JobStream->SwsFlags);
        ok = AddFilter(graph, last, "scale", args);
    }
    if (ok && (fit.Width != enc->width || fit.Height != enc->height)) {
        std::snprintf(args, sizeof args, "%d:%d:%d:%d:black", enc->width, enc->height, fit.X, fit.Y);
        ok = AddFilter(graph, last, "pad", args);
    }
    if (ok && (ost.FitAspect || rotation)) {
        // The fitted picture has the encoder's shape whatever the source's pixels were.
        const AVRational outSar = NonZeroSar(enc->sample_aspect_ratio);
        std::snprintf(args, sizeof args, "sar=%d/%d", outSar.num, outSar.den);
        ok = AddFilter(graph, last, "setsar", args);
    }
    const enum AVPixelFormat formats[] = {enc->pix_fmt, AV_PIX_FMT_NONE};
    ok = ok &&
         FFApi.avfilter_graph_create_filter(&ost.GraphSink, FFApi.avfilter_get_by_name("buffersink"), "out",
                                            nullptr, nullptr, graph) >= 0 &&
         FFApi.av_opt_set_bin(ost.GraphSink, "pix_fmts", reinterpret_cast<const uint8_t*>(formats),
                              sizeof formats[0], AV_OPT_SEARCH_CHILDREN) >= 0;
    if (ok) {
        std::snprintf(args, sizeof args, "flags=0x%X", ost.JobStream->SwsFlags);
        graph->scale_sws_opts = FFApi.av_strdup(args);
    }
    if (ok && ost.JobStream->VideoFilters.empty()) {
        ok = FFApi.avfilter_link(last, 0, ost.GraphSink, 0) >= 0 &&
             FFApi.avfilter_graph_config(graph, nullptr) >= 0;
    } else if (ok) {
        AVFilterInOut* outputs = FFApi.avfilter_inout_alloc();
        AVFilterInOut* inputs = FFApi.avfilter_inout_alloc();
        if (outputs && inputs) {
            outputs->name = FFApi.av_strdup("in");
            outputs->filter_ctx = last;
            inputs->name = FFApi.av_strdup("out");
            inputs->filter_ctx = ost.GraphSink;
            ok = FFApi.avfilter_graph_parse_ptr(graph, ost.JobStream->VideoFilters.c_str(), &inputs, &outputs,
                                                nullptr) >= 0 &&
                 FFApi.avfilter_graph_config(graph, nullptr) >= 0;
        } else {
            ok = false;
        }
        FFApi.avfilter_inout_free(&inputs);
        FFApi.avfilter_inout_free(&outputs);
    }
    if (!ok) RaiseRunError("Error opening filters!");
    enc->width = FFApi.av_buffersink_get_w(ost.GraphSink);
    enc->height = FFApi.av_buffersink_get_h(ost.GraphSink);
    if (!ost.Filtered) ost.Filtered.reset(FFApi.av_frame_alloc());
}

void LogDupDrop(TRunState& run, int copies) {
    if (copies == 0) {
        ++run.Dropped;
        run.DupDropSeen = true;
        if (run.Options.Verbosity > 2) EngineLog(nullptr, llVerbose, "*** drop!");
    } else if (copies > 1) {
        run.Duplicated += copies - 1;
        run.DupDropSeen = true;
        if (run.Options.Verbosity > 2) EngineLogFormat(nullptr, llVerbose, "*** %d dup!", copies - 1);
    }
}

// Notices a picture of another size or format; answers the picture to encode.
AVFrame* ScaledPicture(TRunOutputStream& ost, TRunInputStream& ist, AVFrame* picture) {
    if (picture->width != ost.InWidth || picture->height != ost.InHeight || picture->format != ost.InPixFmt) {
        const char* name = FFApi.av_get_pix_fmt_name(static_cast<AVPixelFormat>(picture->format));
        EngineLogFormat(nullptr, llQuiet, "Input Stream #%d.%d frame size changed to %dx%d, %s",
                        ist.FileIndex, ist.Stream->index, picture->width, picture->height,
                        name ? name : "none");
        ost.InWidth = picture->width;
        ost.InHeight = picture->height;
        ost.InPixFmt = static_cast<AVPixelFormat>(picture->format);
        if (!ost.Scaling)
            RaiseRunError("Input Stream #%d.%d frame size changed to %dx%d, %s", ist.FileIndex,
                          ist.Stream->index, picture->width, picture->height, name ? name : "none");
    }
    if (!ost.Scaling || ost.Graph) return picture;
    const AVCodecContext* enc = ost.Encoder;
    SwsContext* sws = FFApi.sws_getCachedContext(ost.Scaler.release(), ost.InWidth, ost.InHeight,
                                                 ost.InPixFmt, enc->width, enc->height, enc->pix_fmt,
                                                 ost.JobStream->SwsFlags, nullptr, nullptr, nullptr);
    ost.Scaler.reset(sws);
    if (!sws) RaiseRunError("Cannot get resampling context");
    AVFrame* scaled = TempPicture(ost);
    FFApi.sws_scale(sws, picture->data, picture->linesize, 0, ost.InHeight, scaled->data, scaled->linesize);
    // Not av_frame_copy_props: it appends the side data to the reused picture at every frame.
    CopyPictureProps(scaled, picture);
    return scaled;
}

} // namespace

bool KeepPicturesUnderMuxerLimit(const AVOutputFormat* format, AVCodecContext* enc) {
    struct TPacketLimit {
        const char* Muxer;
        int BufferBits; // a margin below the muxer's limit for its own packet header
    };
    static constexpr TPacketLimit Limits[] = {{"rm", 60000 * 8}};
    if (!format || !format->name || enc->rc_buffer_size > 0 || enc->rc_max_rate > 0) return false;
    for (const TPacketLimit& limit : Limits) {
        if (std::strcmp(format->name, limit.Muxer) != 0) continue;
        enc->rc_buffer_size = limit.BufferBits;
        enc->rc_initial_buffer_occupancy = limit.BufferBits * 3 / 4;
        // A buffer that refills within one picture: it caps each picture, not the average rate.
        enc->rc_max_rate = int64_t(limit.BufferBits) * 60;
        return true;
    }
    return false;
}

bool NearestAcceptedSize(AVCodecID codec, AVPixelFormat pixFmt, int& width, int& height) {
    const int w = width, h = height;
    for (const auto& row : SizeRules()) {
        if (row.Codec != codec) continue;
        if (!row.FixedSizes.empty()) {
            // The standard size closest in area, so the picture is scaled the least.
            const auto best =
                std::min_element(row.FixedSizes.begin(), row.FixedSizes.end(), [&](auto& a, auto& b) {
                    return std::llabs(int64_t(a.first) * a.second - int64_t(w) * h) <
                           std::llabs(int64_t(b.first) * b.second - int64_t(w) * h);
                });
            width = best->first;
            height = best->second;
            return width != w || height != h;
        }
        width = RoundToMultiple(width, row.WidthMultiple);
        height = RoundToMultiple(height, row.HeightMultiple);
    }
    if (const AVPixFmtDescriptor* desc = FFApi.av_pix_fmt_desc_get(pixFmt)) {
        width = RoundToMultiple(width, 1 << desc->log2_chroma_w);
        height = RoundToMultiple(height, 1 << desc->log2_chroma_h);
    }
    return width != w || height != h;
}

TVideoSyncStep DecideVideoSync(double syncTimeSec, AVRational timeBase, int64_t syncCounter, int method,
                               bool variableFps) {
    TVideoSyncStep step;
    step.SyncCounter = syncCounter;
    const double position = syncTimeSec / av_q2d(timeBase);
    if (method == 0) {
        step.SyncCounter = std::llrint(position);
        return step;
    }
    const double delta = position - static_cast<double>(syncCounter);
    if (delta < -1.1) {
        step.Copies = 0;
    } else if (method == 2 || (method == -1 && variableFps)) {
        if (delta <= -0.6)
            step.Copies = 0;
        else if (delta > 0.6)
            step.SyncCounter = std::llrint(position);
    } else if (delta > 1.1) {
        step.Copies = static_cast<int>(std::lrint(delta));
    }
    return step;
}

TPictureFit FitPictureInside(int srcWidth, int srcHeight, AVRational srcSar, int width, int height,
                             AVRational sar, int alignWidth, int alignHeight) {
    TPictureFit fit{width, height, 0, 0};
    if (srcWidth <= 0 || srcHeight <= 0 || width <= 0 || height <= 0) return fit;
    const double source = double(srcWidth) * av_q2d(NonZeroSar(srcSar)) / srcHeight;
    const double frame = double(width) * av_q2d(NonZeroSar(sar)) / height;
    if (std::fabs(source / frame - 1.0) <= 0.01) return fit;
    auto aligned = [](double value, int multiple, int most) {
        const int n = static_cast<int>(std::lround(value / multiple)) * multiple;
        return std::clamp(n, multiple, most);
    };
    if (source > frame) {
        fit.Height = aligned(height * frame / source, alignHeight, height);
        fit.Y = (height - fit.Height) / 2 / alignHeight * alignHeight;
    } else {
        fit.Width = aligned(width * source / frame, alignWidth, width);
        fit.X = (width - fit.Width) / 2 / alignWidth * alignWidth;
    }
    return fit;
}

void PrepareVideoSource(TRunOutputStream& ost) {
    const AVCodecContext* dec = ost.Source->Decoder.get();
    const AVCodecContext* enc = ost.Encoder;
    ost.InWidth = dec->width;
    ost.InHeight = dec->height;
    ost.InPixFmt = dec->pix_fmt;
    ost.Scaling = enc->width != dec->width || enc->height != dec->height || enc->pix_fmt != dec->pix_fmt ||
                  ost.Source->Rotation != 0;
    ost.Scaler.reset();
    ost.Graph.reset();
    ost.GraphSource = ost.GraphSink = nullptr;
    // Turning, fitting with bars and the user's filters need a graph; plain scaling does not.
    const TUpright upright =
        UprightOf(dec->width, dec->height, dec->sample_aspect_ratio, ost.Source->Rotation);
    const TPictureFit fit = FitPictureInside(upright.Width, upright.Height, upright.Sar, enc->width,
                                             enc->height, enc->sample_aspect_ratio, 1, 1);
    const bool bars = ost.FitAspect && (fit.Width != enc->width || fit.Height != enc->height);
    if (!ost.JobStream->VideoFilters.empty() || ost.Source->Rotation || bars) MakeFilterGraph(ost);
}

void SetUpVideoOutput(TRunOutputStream& ost) {
    AVCodecContext* enc = ost.Encoder;
    const AVCodecContext* dec = ost.Source->Decoder.get();
    if (enc->pix_fmt == AV_PIX_FMT_NONE)
        RaiseRunError("Video pixel format is unknown, stream cannot be encoded");
    if (enc->width <= 0 || enc->height <= 0) {
        const TUpright upright =
            UprightOf(dec->width, dec->height, dec->sample_aspect_ratio, ost.Source->Rotation);
        enc->width = upright.Width;
        enc->height = upright.Height;
    }
    int width = enc->width, height = enc->height;
    if (NearestAcceptedSize(enc->codec_id, enc->pix_fmt, width, height)) {
        EngineLogFormat(nullptr, llWarning, "Encoder %s does not accept %dx%d, scaling to %dx%d",
                        enc->codec->name, enc->width, enc->height, width, height);
        // Keep the picture's shape: the sample aspect ratio absorbs the change.
        AVRational sar = enc->sample_aspect_ratio.num ? enc->sample_aspect_ratio : AVRational{1, 1};
        FFApi.av_reduce(&sar.num, &sar.den, int64_t(sar.num) * enc->width * height,
                        int64_t(sar.den) * enc->height * width, 255);
        enc->sample_aspect_ratio = sar;
        ost.Stream->sample_aspect_ratio = sar;
        enc->width = width;
        enc->height = height;
    }
    if (enc->time_base.num <= 0 || enc->time_base.den <= 0)
        enc->time_base = enc->framerate.num > 0 ? av_inv_q(enc->framerate) : AVRational{1, 25};
    // Without a graph, the scaled picture is made at the first picture (TempPicture).
    PrepareVideoSource(ost);
    for (int64_t us : ost.JobStream->ForcedKeyFramesUs)
        ost.ForcedKeyFrames.push_back(FFApi.av_rescale_q(us, AVRational{1, 1000000}, enc->time_base));
}

void SetUpPassLog(TRunOutputStream& ost) {
    const int pass = ost.JobStream->Pass;
    if (pass != 1 && pass != 2) return;
    AVCodecContext* enc = ost.Encoder;
    const std::string name = (ost.JobStream->PassLogFileName.empty() ? std::string("ffmpeg2pass")
                                                                     : ost.JobStream->PassLogFileName) +
                             "-" + std::to_string(ost.Index) + ".log";
    if (pass == 1) {
        enc->flags |= AV_CODEC_FLAG_PASS1;
        ost.PassLog = std::fopen(name.c_str(), "wb");
        if (!ost.PassLog) RaiseRunError("Cannot write log file %s for pass-1 encoding", name.c_str());
        return;
    }
    enc->flags |= AV_CODEC_FLAG_PASS2;
    FILE* file = std::fopen(name.c_str(), "rb");
    if (!file)
        RaiseRunError("Cannot read file: Error reading log file \"%s\" for pass-2 encoding", name.c_str());
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        ost.PassStats.append(buffer, got);
    std::fclose(file);
    enc->stats_in = ost.PassStats.data();
}

void DoVideoOut(TRunState& run, TRunOutputStream& ost, TRunInputStream& ist, AVFrame* picture) {
    EncodePicture(run, ost, ist, ScaledPicture(ost, ist, picture));
}

namespace {

// Timing decision and the copies of one picture already in the encoder's size and format.
void EncodePicture(TRunState& run, TRunOutputStream& ost, TRunInputStream& ist, AVFrame* frame) {
    AVCodecContext* enc = ost.Encoder;
    // Never hand an encoder a picture of another size: it would read past the picture.
    if (frame->width != enc->width || frame->height != enc->height || frame->format != enc->pix_fmt)
        RaiseRunError("Video encoding failed");
    const TRunOptions& options = run.Options;
    const double syncTime = static_cast<double>(ost.Sync->CurTimeUs - options.StartTimeUs) / 1000000.0;
    const TVideoSyncStep step =
        DecideVideoSync(syncTime, enc->time_base, ost.SyncCounter, options.VideoSyncMethod,
                        VariableFpsMuxer(run.OutputContext(ost.FileIndex)));
    ost.SyncCounter = step.SyncCounter;
    LogDupDrop(run, step.Copies);
    const int64_t copies = std::min<int64_t>(step.Copies, options.MaxVideoFrames - ost.FrameNumber);
    if (copies <= 0) return;
    if (run.Options.SameQuality) frame->quality = static_cast<int>(ist.Quality * FF_QP2LAMBDA);
    if (options.TopFieldFirst >= 0) frame->top_field_first = options.TopFieldFirst;
    for (int64_t i = 0; i < copies && !run.Stopping(); ++i) {
        frame->pts = ost.SyncCounter;
        frame->pict_type = AV_PICTURE_TYPE_NONE;
        frame->key_frame = 0;
        if (ost.NextForcedKeyFrame < ost.ForcedKeyFrames.size() &&
            ost.SyncCounter >= ost.ForcedKeyFrames[ost.NextForcedKeyFrame]) {
            frame->pict_type = AV_PICTURE_TYPE_I;
            ++ost.NextForcedKeyFrame;
        }
        const AVFrame* picture = run.HookState->OutputWork() ? OutputHookPicture(run, ost, frame) : frame;
        EncodeAndWrite(run, ost, picture, "Video encoding failed");
        ++ost.SyncCounter;
        ++ost.FrameNumber;
    }
}

} // namespace

void FilterVideoOut(TRunState& run, TRunOutputStream& ost, TRunInputStream& ist, AVFrame* picture) {
    if (picture->width != ost.InWidth || picture->height != ost.InHeight || picture->format != ost.InPixFmt) {
        const char* name = FFApi.av_get_pix_fmt_name(static_cast<AVPixelFormat>(picture->format));
        EngineLogFormat(nullptr, llQuiet, "Input Stream #%d.%d frame size changed to %dx%d, %s",
                        ist.FileIndex, ist.Stream->index, picture->width, picture->height,
                        name ? name : "none");
        // The graph is made again for the new input; it must still give the encoder's size.
        if (ost.Worker) ost.Worker->Quiesce(run, ost); // the encoder's fields change below
        const int width = ost.Encoder->width, height = ost.Encoder->height;
        ost.InWidth = picture->width;
        ost.InHeight = picture->height;
        ost.InPixFmt = static_cast<AVPixelFormat>(picture->format);
        MakeFilterGraph(ost);
        if (ost.Encoder->width != width || ost.Encoder->height != height) {
            ost.Encoder->width = width;
            ost.Encoder->height = height;
            RaiseRunError("Input Stream #%d.%d frame size changed to %dx%d, %s", ist.FileIndex,
                          ist.Stream->index, picture->width, picture->height, name ? name : "none");
        }
    }
    if (!ost.GraphSource) {
        if (ost.Worker) ost.Worker->Quiesce(run, ost);
        MakeFilterGraph(ost); // drained at the end of an earlier input
    }
    picture->pts = ist.CurTimeUs;
    if (FFApi.av_buffersrc_add_frame_flags(ost.GraphSource, picture, AV_BUFFERSRC_FLAG_KEEP_REF) < 0)
        RaiseRunError("Error opening filters!");
    while (FFApi.av_buffersink_get_frame(ost.GraphSink, ost.Filtered.get()) >= 0) {
        if (ost.Filtered->pts != AV_NOPTS_VALUE) ist.CurTimeUs = ost.Filtered->pts;
        if (ost.Filtered->sample_aspect_ratio.num) {
            // An encoder on its worker takes the aspect with the picture.
            if (ost.Worker)
                ost.PendingSar = ost.Filtered->sample_aspect_ratio;
            else
                ost.Encoder->sample_aspect_ratio = ost.Filtered->sample_aspect_ratio;
        }
        EncodePicture(run, ost, ist, ost.Filtered.get());
        FFApi.av_frame_unref(ost.Filtered.get());
    }
}

void DrainVideoGraph(TRunState& run, TRunOutputStream& ost) {
    if (!ost.Graph || !ost.Source || !ost.GraphSource) return;
    // Filters that hold pictures back (the user's "vf") give them out at the end of their input.
    if (FFApi.av_buffersrc_add_frame_flags(ost.GraphSource, nullptr, 0) >= 0)
        while (FFApi.av_buffersink_get_frame(ost.GraphSink, ost.Filtered.get()) >= 0) {
            if (ost.Filtered->pts != AV_NOPTS_VALUE) ost.Source->CurTimeUs = ost.Filtered->pts;
            EncodePicture(run, ost, *ost.Source, ost.Filtered.get());
            FFApi.av_frame_unref(ost.Filtered.get());
        }
    ost.GraphSource = nullptr; // the graph takes nothing after its end
}

void FillVideoUntil(TRunState& run, TRunOutputStream& ost, double endSec) {
    AVCodecContext* enc = ost.Encoder;
    const int64_t target = std::llrint(endSec / av_q2d(enc->time_base));
    if (ost.SyncCounter >= target) return;
    if (!ost.BlackPicture) {
        AVFrame* black = WritablePicture(ost.BlackPicture, enc->width, enc->height, enc->pix_fmt);
        if (!black) RaiseRunError("Cannot allocate temp picture, check pix fmt");
        const AVPixFmtDescriptor* desc = FFApi.av_pix_fmt_desc_get(enc->pix_fmt);
        const bool fullRange =
            enc->color_range == AVCOL_RANGE_JPEG || (desc && std::strncmp(desc->name, "yuvj", 4) == 0);
        ptrdiff_t lines[4];
        for (int p = 0; p < 4; ++p)
            lines[p] = black->linesize[p];
        FFApi.av_image_fill_black(black->data, lines, enc->pix_fmt,
                                  fullRange ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG, enc->width, enc->height);
        black->sample_aspect_ratio = enc->sample_aspect_ratio;
    }
    AVFrame* black = ost.BlackPicture.get();
    while (ost.SyncCounter < target && ost.FrameNumber < run.Options.MaxVideoFrames && !run.Stopping()) {
        black->pts = ost.SyncCounter;
        black->pict_type = AV_PICTURE_TYPE_NONE;
        const AVFrame* picture = run.HookState->OutputWork() ? OutputHookPicture(run, ost, black) : black;
        EncodeAndWrite(run, ost, picture, "Video encoding failed");
        ++ost.SyncCounter;
        ++ost.FrameNumber;
    }
}

void FlushVideoOutput(TRunState& run, TRunOutputStream& ost) {
    if (ost.EncoderFlushed) return;
    DrainVideoGraph(run, ost);
    EncodeAndWrite(run, ost, nullptr, "Video encoding failed");
}

} // namespace mw
