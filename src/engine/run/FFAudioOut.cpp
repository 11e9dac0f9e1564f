#include "engine/run/FFAudioOut.h"

#include "engine/FFLog.h"
#include "engine/run/FFPacketWrite.h"

#include <algorithm>
#include <cmath>

namespace mw {

namespace {

template <typename T, typename Wide>
void ScaleSamples(uint8_t* data, size_t count, int volume, Wide low, Wide high) {
    T* s = reinterpret_cast<T*>(data);
    for (size_t i = 0; i < count; ++i) {
        const Wide v = (static_cast<Wide>(s[i]) * volume + 128) >> 8;
        s[i] = static_cast<T>(std::clamp(v, low, high));
    }
}

template <typename T> void ScaleFloats(uint8_t* data, size_t count, int volume) {
    T* s = reinterpret_cast<T*>(data);
    const T factor = static_cast<T>(volume) / 256;
    for (size_t i = 0; i < count; ++i)
        s[i] = std::clamp(s[i] * factor, T(-1), T(1));
}

int FrameChannels(const AVFrame* frame) {
    return std::max(frame->ch_layout.nb_channels, 1);
}

// Frames come from the decoder writable; a shared buffer is copied first.
void ScalePlane(uint8_t* data, size_t count, AVSampleFormat format, int volume) {
    switch (FFApi.av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8: {
        for (size_t i = 0; i < count; ++i) {
            const int v = (((data[i] - 128) * volume + 128) >> 8) + 128;
            data[i] = static_cast<uint8_t>(std::clamp(v, 0, 255));
        }
        break;
    }
    case AV_SAMPLE_FMT_S16:
        ScaleSamples<int16_t, int32_t>(data, count, volume, -32768, 32767);
        break;
    case AV_SAMPLE_FMT_S32:
        ScaleSamples<int32_t, int64_t>(data, count, volume, INT32_MIN, INT32_MAX);
        break;
    case AV_SAMPLE_FMT_FLT:
        ScaleFloats<float>(data, count, volume);
        break;
    case AV_SAMPLE_FMT_DBL:
        ScaleFloats<double>(data, count, volume);
        break;
    default:
        break;
    }
}

// Block of output samples: plane pointers advanced by `skip` samples.
void OffsetPlanes(const AVFrame* frame, int skip, uint8_t** planes) {
    const AVSampleFormat format = static_cast<AVSampleFormat>(frame->format);
    const int bytes = FFApi.av_get_bytes_per_sample(format);
    const bool planar = FFApi.av_sample_fmt_is_planar(format);
    const int count = planar ? FrameChannels(frame) : 1;
    const int step = planar ? bytes : bytes * FrameChannels(frame);
    for (int p = 0; p < count; ++p)
        planes[p] = frame->extended_data[p] + static_cast<size_t>(skip) * step;
}

// (Re)sizes frame for `samples` samples in the encoder's format.
void PrepareEncoderFrame(TFramePtr& frame, const AVCodecContext* enc, int samples) {
    if (!frame) frame.reset(FFApi.av_frame_alloc());
    // linesize[0] keeps the plane's capacity while nb_samples follows the block.
    const bool planar = FFApi.av_sample_fmt_is_planar(enc->sample_fmt);
    const int64_t bytes = int64_t(samples) * FFApi.av_get_bytes_per_sample(enc->sample_fmt) *
                          (planar ? 1 : enc->ch_layout.nb_channels);
    if (frame->buf[0] && frame->linesize[0] >= bytes && FFApi.av_frame_is_writable(frame.get())) {
        frame->nb_samples = samples;
        return;
    }
    FFApi.av_frame_unref(frame.get());
    frame->format = enc->sample_fmt;
    frame->sample_rate = enc->sample_rate;
    FFApi.av_channel_layout_copy(&frame->ch_layout, &enc->ch_layout);
    frame->nb_samples = samples;
    if (FFApi.av_frame_get_buffer(frame.get(), 0) < 0) RaiseRunError("Out of memory in do_audio_out");
}

void EncodeWholeFrames(TRunState& run, TRunOutputStream& ost);

// Silence is encoded as it is made: a long gap must not wait in the FIFO.
void WriteSilence(TRunState& run, TRunOutputStream& ost, int64_t samples) {
    const AVCodecContext* enc = ost.Encoder;
    TFramePtr silence;
    while (samples > 0 && !run.Stopping()) {
        const int n = static_cast<int>(std::min<int64_t>(samples, 4096));
        PrepareEncoderFrame(silence, enc, n);
        FFApi.av_samples_set_silence(silence->extended_data, 0, n, enc->ch_layout.nb_channels,
                                     enc->sample_fmt);
        if (FFApi.av_audio_fifo_write(ost.Fifo.get(), reinterpret_cast<void**>(silence->extended_data), n) <
            n)
            RaiseRunError("av_fifo_realloc2() failed");
        EncodeWholeFrames(run, ost);
        samples -= n;
    }
}

// Samples the resampler still holds (its filter delay) go to the FIFO.
void DrainResampler(TRunOutputStream& ost) {
    if (!ost.Resampler) return;
    const AVCodecContext* enc = ost.Encoder;
    const int room = FFApi.swr_get_out_samples(ost.Resampler.get(), 0);
    if (room <= 0) return;
    TFramePtr rest;
    PrepareEncoderFrame(rest, enc, room);
    const int got = FFApi.swr_convert(ost.Resampler.get(), rest->extended_data, room, nullptr, 0);
    if (got > 0)
        FFApi.av_audio_fifo_write(ost.Fifo.get(), reinterpret_cast<void**>(rest->extended_data), got);
}

bool EncoderTakesAnyFrameSize(const AVCodecContext* enc) {
    return enc->frame_size <= 1 || (enc->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
}

// Encodes one frame of `samples` samples from the FIFO (padding with silence up to padTo).
void EncodeFromFifo(TRunState& run, TRunOutputStream& ost, int samples, int padTo) {
    AVCodecContext* enc = ost.Encoder;
    PrepareEncoderFrame(ost.AudioFrame, enc, std::max(samples, padTo));
    AVFrame* frame = ost.AudioFrame.get();
    if (FFApi.av_audio_fifo_read(ost.Fifo.get(), reinterpret_cast<void**>(frame->extended_data), samples) <
        samples)
        RaiseRunError("Audio encoding failed");
    if (padTo > samples)
        FFApi.av_samples_set_silence(frame->extended_data, samples, padTo - samples,
                                     enc->ch_layout.nb_channels, enc->sample_fmt);
    frame->pts = ost.SyncCounter;
    EncodeAndWrite(run, ost, frame, "Audio encoding failed");
    ost.SyncCounter += samples;
    ++ost.FrameNumber;
}

void EncodeWholeFrames(TRunState& run, TRunOutputStream& ost) {
    const AVCodecContext* enc = ost.Encoder;
    if (EncoderTakesAnyFrameSize(enc)) {
        // Sample-based encoders take the block as it is.
        const int size = FFApi.av_audio_fifo_size(ost.Fifo.get());
        if (size > 0) EncodeFromFifo(run, ost, size, 0);
        return;
    }
    while (FFApi.av_audio_fifo_size(ost.Fifo.get()) >= enc->frame_size)
        EncodeFromFifo(run, ost, enc->frame_size, 0);
}

bool SameAudioFormat(int rateA, AVSampleFormat fmtA, int channelsA, int rateB, AVSampleFormat fmtB,
                     int channelsB) {
    return rateA == rateB && fmtA == fmtB && channelsA == channelsB;
}

void MakeResampler(TRunOutputStream& ost, int syncMethod) {
    const AVCodecContext* enc = ost.Encoder;
    AVChannelLayout inLayout{};
    if (ost.InLayout.order == AV_CHANNEL_ORDER_UNSPEC)
        FFApi.av_channel_layout_default(&inLayout, ost.InLayout.nb_channels);
    else
        FFApi.av_channel_layout_copy(&inLayout, &ost.InLayout);
    SwrContext* raw = nullptr;
    int error =
        FFApi.swr_alloc_set_opts2(&raw, const_cast<AVChannelLayout*>(&enc->ch_layout), enc->sample_fmt,
                                  enc->sample_rate, &inLayout, ost.InSampleFmt, ost.InSampleRate, 0, nullptr);
    FFApi.av_channel_layout_uninit(&inLayout);
    TSwrContextPtr swr(raw);
    // Drift compensation works through the resampler, so it must resample even at equal rates.
    if (error >= 0 && syncMethod > 1) FFApi.av_opt_set_int(raw, "flags", SWR_FLAG_RESAMPLE, 0);
    if (error >= 0) error = FFApi.swr_init(raw);
    if (error < 0)
        RaiseRunError("Can not resample %d channels @ %d Hz to %d channels @ %d Hz", ost.InLayout.nb_channels,
                      ost.InSampleRate, enc->ch_layout.nb_channels, enc->sample_rate);
    ost.Resampler = std::move(swr);
}

// Notices a decoder whose output format changed and decides whether a resampler is needed.
void UpdateResampling(TRunState& run, TRunOutputStream& ost, const TRunInputStream& ist,
                      const AVFrame* frame) {
    const AVCodecContext* enc = ost.Encoder;
    const AVSampleFormat fmt = static_cast<AVSampleFormat>(frame->format);
    const int channels = FrameChannels(frame);
    bool changed = false;
    if (!SameAudioFormat(frame->sample_rate, fmt, channels, ost.InSampleRate, ost.InSampleFmt,
                         ost.InLayout.nb_channels)) {
        EngineLogFormat(nullptr, llInfo,
                        "Input stream #%d.%d frame changed from rate:%d fmt:%s ch:%d to rate:%d fmt:%s ch:%d",
                        ist.FileIndex, ist.Stream->index, ost.InSampleRate,
                        FFApi.av_get_sample_fmt_name(ost.InSampleFmt), ost.InLayout.nb_channels,
                        frame->sample_rate, FFApi.av_get_sample_fmt_name(fmt), channels);
        ost.InSampleRate = frame->sample_rate;
        ost.InSampleFmt = fmt;
        FFApi.av_channel_layout_uninit(&ost.InLayout);
        FFApi.av_channel_layout_copy(&ost.InLayout, &frame->ch_layout);
        ost.Resampler.reset();
        changed = true;
    }
    const int syncMethod = run.Options.AudioSyncMethod;
    if (changed || (ost.Resampling && !ost.Resampler)) {
        ost.Resampling =
            AudioNeedsResampling(ost.InSampleRate, ost.InSampleFmt, ost.InLayout.nb_channels,
                                 enc->sample_rate, enc->sample_fmt, enc->ch_layout.nb_channels, syncMethod);
        if (ost.Resampling) MakeResampler(ost, syncMethod);
    }
}

double SyncTimeSec(const TRunState& run, const TRunOutputStream& ost) {
    return static_cast<double>(ost.Sync->CurTimeUs - run.Options.StartTimeUs) / 1000000.0;
}

} // namespace

bool AudioNeedsResampling(int inRate, AVSampleFormat inFmt, int inChannels, int outRate,
                          AVSampleFormat outFmt, int outChannels, int syncMethod) {
    return syncMethod > 1 || !SameAudioFormat(inRate, inFmt, inChannels, outRate, outFmt, outChannels);
}

void ApplyVolume(AVFrame* frame, int volume) {
    if (volume == 256) return;
    const AVSampleFormat format = static_cast<AVSampleFormat>(frame->format);
    const bool planar = FFApi.av_sample_fmt_is_planar(format);
    const int channels = FrameChannels(frame);
    const int planes = planar ? channels : 1;
    const size_t count = static_cast<size_t>(frame->nb_samples) * (planar ? 1 : channels);
    for (int p = 0; p < planes; ++p)
        ScalePlane(frame->extended_data[p], count, format, volume);
}

TAudioSyncStep DecideAudioSync(const TAudioSyncInput& in) {
    TAudioSyncStep step;
    step.SyncCounter = in.SyncCounter;
    const double wanted = in.SyncTimeSec * in.OutRate;
    if (in.Method == 0) {
        // The counter follows the input clock, but never goes back: timestamps must not repeat.
        step.SyncCounter = std::max<int64_t>(in.SyncCounter, std::llrint(wanted) - in.FifoSamples);
        return step;
    }
    const double delta = wanted - static_cast<double>(in.SyncCounter) - static_cast<double>(in.FifoSamples);
    if (std::fabs(delta) <= 50) return step;
    if (in.AtStart || std::fabs(delta) > in.DriftThreshold * in.OutRate) {
        if (delta < 0)
            step.DropSamples = static_cast<int64_t>(-delta);
        else
            step.SilenceSamples = static_cast<int64_t>(delta);
        step.Corrected = true;
    } else if (in.Method > 1) {
        step.Compensate = true;
        step.Compensation = static_cast<int>(std::clamp<double>(std::trunc(delta), -in.Method, in.Method));
    }
    return step;
}

void SetUpAudioOutput(TRunOutputStream& ost) {
    const AVCodecContext* enc = ost.Encoder;
    ost.Fifo.reset(FFApi.av_audio_fifo_alloc(enc->sample_fmt, enc->ch_layout.nb_channels, 1024));
    if (!ost.Fifo) RaiseRunError("av_fifo_alloc fail");
    PrepareAudioSource(ost);
}

void PrepareAudioSource(TRunOutputStream& ost) {
    // What the previous source left in the resampler belongs to the output before the new one.
    DrainResampler(ost);
    ost.Resampler.reset();
    const AVCodecContext* dec = ost.Source->Decoder.get();
    ost.InSampleRate = dec->sample_rate;
    ost.InSampleFmt = dec->sample_fmt;
    FFApi.av_channel_layout_uninit(&ost.InLayout);
    FFApi.av_channel_layout_copy(&ost.InLayout, &dec->ch_layout);
    ost.Resampling = true; // decided at the first block, when the decoder's real format is known
}

void FillAudioUntil(TRunState& run, TRunOutputStream& ost, double endSec) {
    DrainResampler(ost);
    const int64_t have = ost.SyncCounter + FFApi.av_audio_fifo_size(ost.Fifo.get());
    const int64_t missing = std::llrint(endSec * ost.Encoder->sample_rate) - have;
    if (missing > 0) WriteSilence(run, ost, missing);
}

double AudioEndSec(const TRunOutputStream& ost) {
    const int64_t samples = ost.SyncCounter + (ost.Fifo ? FFApi.av_audio_fifo_size(ost.Fifo.get()) : 0);
    return static_cast<double>(samples) / ost.Encoder->sample_rate;
}

void DoAudioOut(TRunState& run, TRunOutputStream& ost, TRunInputStream& ist, const AVFrame* decoded) {
    AVCodecContext* enc = ost.Encoder;
    if (decoded->nb_samples <= 0) return;
    UpdateResampling(run, ost, ist, decoded);

    const TRunOptions& options = run.Options;
    TAudioSyncInput in;
    in.Method = options.AudioSyncMethod;
    in.SyncTimeSec = SyncTimeSec(run, ost);
    in.OutRate = enc->sample_rate;
    in.SyncCounter = ost.SyncCounter;
    in.FifoSamples = FFApi.av_audio_fifo_size(ost.Fifo.get());
    in.AtStart = ist.AtStart;
    in.DriftThreshold = options.AudioDriftThreshold;
    const TAudioSyncStep step = DecideAudioSync(in);
    ost.SyncCounter = step.SyncCounter;
    const bool verbose = options.Verbosity > 2;
    if (step.Corrected) {
        ist.AtStart = false;
        if (verbose && step.DropSamples)
            EngineLogFormat(nullptr, llVerbose, "discarding %d audio samples",
                            static_cast<int>(step.DropSamples));
        if (verbose && step.SilenceSamples)
            EngineLogFormat(nullptr, llVerbose, "adding %d audio samples of silence",
                            static_cast<int>(step.SilenceSamples));
    }
    if (step.Compensate && ost.Resampler) {
        if (verbose)
            EngineLogFormat(nullptr, llVerbose, "compensating audio timestamp drift:%f compensation:%d in:%d",
                            in.SyncTimeSec * in.OutRate -
                                static_cast<double>(in.SyncCounter + in.FifoSamples),
                            step.Compensation, decoded->nb_samples);
        FFApi.swr_set_compensation(ost.Resampler.get(), step.Compensation, enc->sample_rate);
    }
    if (step.SilenceSamples > 0) WriteSilence(run, ost, step.SilenceSamples);

    const AVFrame* block = decoded;
    if (ost.Resampler) {
        TFramePtr& converted = ost.Converted;
        const int room = FFApi.swr_get_out_samples(ost.Resampler.get(), decoded->nb_samples);
        PrepareEncoderFrame(converted, enc, std::max(room, 1));
        const int got =
            FFApi.swr_convert(ost.Resampler.get(), converted->extended_data, room,
                              const_cast<const uint8_t**>(decoded->extended_data), decoded->nb_samples);
        if (got < 0) {
            // Only "xerror" makes a block that cannot be converted the end of the run.
            if (options.ExitOnError) RaiseRunError("av_audio_convert() failed");
            EngineLog(nullptr, llError, "av_audio_convert() failed");
            return;
        }
        converted->nb_samples = got;
        block = converted.get();
    }
    const int drop = static_cast<int>(std::min<int64_t>(step.DropSamples, block->nb_samples));
    const int keep = block->nb_samples - drop;
    if (keep <= 0) return;
    uint8_t* planes[AV_NUM_DATA_POINTERS * 8] = {};
    OffsetPlanes(block, drop, planes);
    if (FFApi.av_audio_fifo_write(ost.Fifo.get(), reinterpret_cast<void**>(planes), keep) < keep)
        RaiseRunError("av_fifo_realloc2() failed");
    EncodeWholeFrames(run, ost);
}

void FlushAudioOutput(TRunState& run, TRunOutputStream& ost) {
    AVCodecContext* enc = ost.Encoder;
    if (ost.EncoderFlushed || enc->frame_size <= 1) return; // sample-based encoders hold nothing back
    DrainResampler(ost);
    EncodeWholeFrames(run, ost);
    const int left = FFApi.av_audio_fifo_size(ost.Fifo.get());
    if (left > 0) {
        const bool shortLast = enc->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME;
        EncodeFromFifo(run, ost, left, shortLast ? 0 : enc->frame_size);
    }
    EncodeAndWrite(run, ost, nullptr, "Audio encoding failed");
}

} // namespace mw
