#include "engine/run/FFRunHooks.h"

#include "engine/FFLog.h"

#include <climits>
#include <cstring>
#include <stdexcept>

namespace mw {

namespace {

constexpr AVRational MicrosecondBase{1, 1000000};

// Converts picture into conv's bitmap; on failure the converter's text is logged and the hook or
// preview that asked is switched off.
bool ToBitmap(TFormatConverter& conv, const AVFrame* picture, bool& connected) {
    if (conv.ToBitmap(picture->data, picture->linesize, static_cast<AVPixelFormat>(picture->format), true,
                      picture->height, picture->width))
        return true;
    EngineLog(nullptr, llError, conv.LastError());
    connected = false;
    return false;
}

// One video hook call. Answers true when the handler's bitmap went back into target.
bool CallVideoHook(TRunState& run, bool output, const AVFrame* picture, AVFrame* target, int32_t frameNumber,
                   int64_t pts) {
    TRunHookState& s = *run.HookState;
    bool& connected = output ? s.OutputHook : s.InputHook;
    TFormatConverter& conv = output ? s.OutputConverter : s.InputConverter;
    if (!ToBitmap(conv, picture, connected)) return false;
    THookInfo info;
    info.Bitmap = &conv.Bitmap();
    info.FrameNumber = frameNumber;
    info.PTS = pts;
    run.Hooks.OnVideoHook(output, info);
    if (info.StopHook) connected = false;
    if (!info.Update) return false;
    conv.BitmapBack();
    if (conv.FromRGB(target->data, target->linesize, static_cast<AVPixelFormat>(target->format),
                     target->height, target->width))
        return true;
    EngineLog(nullptr, llError, conv.LastError());
    connected = false;
    return false;
}

void SendPreview(TRunState& run, const AVFrame* picture, int32_t frameNumber, int64_t pts) {
    TRunHookState& s = *run.HookState;
    const auto now = std::chrono::steady_clock::now();
    if (now < s.NextPreview) return;
    s.NextPreview = now + PreviewPeriod;
    // Converting a picture nobody looks at would only cost time.
    if (run.Hooks.PreviewWanted && !run.Hooks.PreviewWanted()) return;
    if (!ToBitmap(s.PreviewConverter, picture, s.Preview)) return;
    // Counted from the hand-over, so the pictures reach the viewer that far apart.
    s.NextPreview = std::chrono::steady_clock::now() + PreviewPeriod;
    run.Hooks.OnPreview(s.PreviewConverter.Bitmap(), frameNumber, pts);
}

} // namespace

std::unique_ptr<TRunHookState> MakeRunHookState(const TTranscodeJob& job, const TRunOptions& options,
                                                const TRunHooks& hooks) {
    auto s = std::make_unique<TRunHookState>();
    s->AudioHook = job.AudioHook && hooks.OnAudioHook;
    s->InputHook = job.VideoInputHook && hooks.OnVideoHook;
    s->OutputHook = job.VideoOutputHook && hooks.OnVideoHook;
    s->Preview = static_cast<bool>(hooks.OnPreview);
    s->Deinterlace = options.Deinterlace;
    s->FrameHooks = !job.VideoHooks.empty();
    // The depth was checked when the output was set; a record made otherwise keeps 24 bits.
    for (TFormatConverter* conv : {&s->InputConverter, &s->OutputConverter, &s->PreviewConverter}) {
        try {
            conv->SetBitsPixel(job.HookBitsPixel);
        } catch (const std::invalid_argument&) {
            conv->SetBitsPixel(24);
        }
    }
    return s;
}

void AudioHookBlock(TRunState& run, const TRunInputStream& ist, const AVFrame* block) {
    TRunHookState& s = *run.HookState;
    const auto format = static_cast<AVSampleFormat>(block->format);
    const int channels = block->ch_layout.nb_channels;
    const int sampleBytes = FFApi.av_get_bytes_per_sample(format);
    if (channels <= 0 || sampleBytes <= 0 || block->nb_samples <= 0) return;
    const size_t size = static_cast<size_t>(block->nb_samples) * channels * sampleBytes;
    if (size > INT32_MAX) return;
    const void* samples = block->extended_data[0];
    if (FFApi.av_sample_fmt_is_planar(format) && channels > 1) {
        // The hook takes one block of interleaved samples, as a packed format.
        if (s.AudioBlock.size() < size) s.AudioBlock.resize(size);
        uint8_t* out = s.AudioBlock.data();
        const size_t frameBytes = static_cast<size_t>(channels) * sampleBytes;
        for (int c = 0; c < channels; ++c) {
            const uint8_t* in = block->extended_data[c];
            uint8_t* to = out + static_cast<size_t>(c) * sampleBytes;
            for (int i = 0; i < block->nb_samples; ++i, in += sampleBytes, to += frameBytes)
                std::memcpy(to, in, static_cast<size_t>(sampleBytes));
        }
        samples = out;
    }
    run.Hooks.OnAudioHook(ist.CurTimeUs, samples, static_cast<int32_t>(size), block->sample_rate, channels,
                          FFApi.av_get_packed_sample_fmt(format));
}

bool InputHookPicture(TRunState& run, const TRunInputStream& ist, const AVFrame* picture, AVFrame* target) {
    return CallVideoHook(run, false, picture, target, static_cast<int32_t>(ist.PicturesSeen), ist.CurTimeUs);
}

const AVFrame* OutputHookPicture(TRunState& run, const TRunOutputStream& ost, const AVFrame* picture) {
    TRunHookState& s = *run.HookState;
    const auto frameNumber = static_cast<int32_t>(ost.FrameNumber + 1);
    const int64_t pts = FFApi.av_rescale_q(ost.SyncCounter, ost.Encoder->time_base, MicrosecondBase);
    const AVFrame* result = picture;
    if (s.OutputHook) {
        AVFrame* target =
            WritablePicture(s.OutputHookPicture, picture->width, picture->height, picture->format);
        if (!target) {
            EngineLog(nullptr, llError, "hook buf malloc error.");
        } else if (CallVideoHook(run, true, picture, target, frameNumber, pts)) {
            CopyPictureProps(target, picture);
            result = target;
        }
    }
    if (s.Preview) SendPreview(run, result, frameNumber, pts);
    return result;
}

} // namespace mw
