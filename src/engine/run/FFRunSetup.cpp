#include "engine/run/FFRunSetup.h"

#include "engine/FFLog.h"
#include "engine/run/FFAudioOut.h"
#include "engine/run/FFPacketWrite.h"
#include "engine/run/FFPipeline.h"
#include "engine/run/FFRunMetadata.h"
#include "engine/run/FFRunSdp.h"
#include "engine/run/FFStreamCopy.h"
#include "engine/run/FFSubtitleOut.h"
#include "engine/run/FFVideoOut.h"

#include <thread>

namespace mw {

namespace {

void BuildInputTables(TRunState& run) {
    const auto now = std::chrono::steady_clock::now();
    for (size_t f = 0; f < run.Job.Inputs.size(); ++f) {
        TInputFileState state;
        AVFormatContext* ic = run.Job.Inputs[f].Context.get();
        for (unsigned s = 0; s < ic->nb_streams; ++s) {
            auto ist = std::make_unique<TRunInputStream>();
            ist->FileIndex = static_cast<int>(f);
            ist->Stream = ic->streams[s];
            ist->CurTimeUs = 0;
            ist->RateEmulationStart = now;
            const TInputFile& input = run.Job.Inputs[f];
            if (s < input.Streams.size() && input.AutoRotate &&
                IsQuarterTurn(input.Streams[s].RotationDegrees))
                ist->Rotation = input.Streams[s].RotationDegrees;
            state.Streams.push_back(std::move(ist));
        }
        run.Inputs.push_back(std::move(state));
    }
}

void BuildOutputTable(TRunState& run) {
    for (size_t f = 0; f < run.Job.Outputs.size(); ++f) {
        TOutputFile& output = run.Job.Outputs[f];
        if (output.Streams.empty()) RaiseRunError("Output file #%d does not contain any stream", int(f));
        for (auto& spec : output.Streams) {
            auto ost = std::make_unique<TRunOutputStream>();
            ost->FileIndex = static_cast<int>(f);
            ost->Index = spec.Stream->index;
            ost->Stream = spec.Stream;
            ost->JobStream = &spec;
            ost->Encoder = spec.Encoder.get();
            if (spec.StreamCopy) ost->Encoder = nullptr;
            ost->EncodingNeeded = ost->Encoder != nullptr;
            run.Outputs.push_back(std::move(ost));
        }
    }
}

TRunInputStream* FindInputStream(TRunState& run, int file, int stream) {
    if (file < 0 || file >= int(run.Inputs.size())) return nullptr;
    auto& streams = run.Inputs[file].Streams;
    if (stream < 0 || stream >= int(streams.size())) return nullptr;
    return streams[stream].get();
}

AVMediaType KindOf(const TRunInputStream& ist) {
    return ist.Stream->codecpar->codec_type;
}

bool Taken(const TRunState& run, const TRunInputStream* ist) {
    for (auto& ost : run.Outputs)
        if (ost->Source == ist) return true;
    return false;
}

// How much a stream has to offer: the libraries no longer tell how many frames probing saw, so
// the largest picture or the most channels wins, then the container's frame count. A cover
// picture offers the least: it is taken only when there is no film.
int64_t StreamWeight(const AVStream* st) {
    if (st->disposition & AV_DISPOSITION_ATTACHED_PIC) return 0;
    const AVCodecParameters* par = st->codecpar;
    const int64_t size = par->codec_type == AVMEDIA_TYPE_VIDEO ? int64_t(par->width) * par->height
                                                               : par->ch_layout.nb_channels;
    return (size << 24) + std::min<int64_t>(st->nb_frames, (1 << 24) - 1);
}

// The input stream of the output's kind with the most to offer.
TRunInputStream* BestInputStream(TRunState& run, const TRunOutputStream& ost, int onlyFile, bool allowTaken) {
    TRunInputStream* best = nullptr;
    int64_t bestFrames = -1;
    for (auto& file : run.Inputs)
        for (auto& ist : file.Streams) {
            if (onlyFile >= 0 && ist->FileIndex != onlyFile) continue;
            if (KindOf(*ist) != ost.Kind() || ist->Stream->discard == AVDISCARD_ALL) continue;
            if (!allowTaken && Taken(run, ist.get())) continue;
            int64_t frames = StreamWeight(ist->Stream);
            // A subtitle the output's encoder can take comes before one it cannot (text and bitmap).
            if (ost.Kind() == AVMEDIA_TYPE_SUBTITLE && ost.EncodingNeeded && ost.Encoder &&
                SubtitleFitsEncoder(ist->Stream->codecpar->codec_id, ost.Encoder->codec_id))
                frames += int64_t(1) << 40;
            if (allowTaken || frames > bestFrames) {
                best = ist.get();
                bestFrames = frames;
            }
        }
    return best;
}

void MapExplicitly(TRunState& run) {
    const std::vector<TStreamMap>& maps = run.Job.Options.StreamMaps;
    if (maps.size() != run.Outputs.size())
        RaiseRunError("Number of stream maps must match number of output streams");
    for (size_t i = 0; i < run.Outputs.size(); ++i) {
        const TStreamMap& map = maps[i];
        TRunOutputStream& ost = *run.Outputs[i];
        TRunInputStream* ist = FindInputStream(run, map.FileIndex, map.StreamIndex);
        if (!ist) RaiseRunError("Could not find input stream #%d.%d", map.FileIndex, map.StreamIndex);
        TRunInputStream* sync = FindInputStream(run, map.SyncFileIndex, map.SyncStreamIndex);
        if (!sync) RaiseRunError("Could not find sync stream #%d.%d", map.SyncFileIndex, map.SyncStreamIndex);
        if (KindOf(*ist) != ost.Kind())
            RaiseRunError("Codec type mismatch for mapping #%d.%d (%s) -> #%d.%d (%s)", map.FileIndex,
                          map.StreamIndex, MediaKindName(KindOf(*ist)), ost.FileIndex, ost.Index,
                          MediaKindName(ost.Kind()));
        ost.Source = ist;
        ost.Sync = sync;
    }
}

void MapAutomatically(TRunState& run) {
    for (auto& ost : run.Outputs) {
        TRunInputStream* ist = nullptr;
        if (run.Job.Join) {
            // A join's stream is set up from the first input that has its kind; every input is
            // mapped when its turn comes (MapJoinInput), and one without the kind is filled in.
            for (int f = 0; f < int(run.Inputs.size()) && !ist; ++f)
                ist = BestInputStream(run, *ost, f, false);
        } else {
            ist = BestInputStream(run, *ost, -1, false);
            if (!ist) ist = BestInputStream(run, *ost, -1, true);
        }
        if (!ist)
            RaiseRunError("Could not find input stream matching output stream #%d.%d (%s)", ost->FileIndex,
                          ost->Index, MediaKindName(ost->Kind()));
        ost->Source = ist;
        ost->Sync = ist;
    }
}

void OpenDecoder(TRunInputStream& ist, int threads) {
    if (ist.Decoder) return;
    const AVCodecParameters* par = ist.Stream->codecpar;
    const AVCodec* codec = FFApi.avcodec_find_decoder(par->codec_id);
    if (!codec)
        RaiseRunError("Decoder (codec id %d) not found for input stream #%d.%d (%s)", int(par->codec_id),
                      ist.FileIndex, ist.Stream->index, MediaKindName(par->codec_type));
    TCodecContextPtr dec(FFApi.avcodec_alloc_context3(codec));
    if (!dec || FFApi.avcodec_parameters_to_context(dec.get(), par) < 0)
        RaiseRunError("Could not alloc buffer.");
    dec->pkt_timebase = ist.Stream->time_base;
    dec->thread_count = threads; // 0: as many as the machine has, like the ffmpeg tool
    if (OpenCodecLocked(dec.get(), codec, nullptr) < 0)
        RaiseRunError("Error while opening decoder for input stream #%d.%d (%s)", ist.FileIndex,
                      ist.Stream->index, MediaKindName(par->codec_type));
    ist.Decoder = std::move(dec);
}

void MarkSources(TRunState& run) {
    for (auto& ost : run.Outputs) {
        ost->Source->Discard = false;
        ost->Source->DecodingNeeded |= ost->EncodingNeeded;
        if (ost->Source->DecodingNeeded) OpenDecoder(*ost->Source, run.Job.CoderThreads);
    }
}

void OpenEncoder(TRunState& run, TRunOutputStream& ost) {
    AVCodecContext* enc = ost.Encoder;
    const char* kind = MediaKindName(ost.Kind());
    if (!enc->codec)
        RaiseRunError("Encoder (codec id %d) not found for output stream #%d.%d (%s)", int(enc->codec_id),
                      ost.FileIndex, ost.Index, kind);
    if (ost.Kind() == AVMEDIA_TYPE_AUDIO && (enc->time_base.num <= 0 || enc->time_base.den <= 0))
        enc->time_base = AVRational{1, enc->sample_rate};
    if (run.OutputContext(ost.FileIndex)->oformat->flags & AVFMT_GLOBALHEADER)
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    // One thread is the libraries' default, not a choice: use the machine as the ffmpeg tool does.
    if (enc->thread_count == 1)
        enc->thread_count = EncoderThreads(PipelineFactsOf(run), enc->codec, run.Job.CoderThreads,
                                           static_cast<int>(std::thread::hardware_concurrency()));
    if (ost.Kind() == AVMEDIA_TYPE_VIDEO &&
        KeepPicturesUnderMuxerLimit(run.OutputContext(ost.FileIndex)->oformat, enc))
        EngineLogFormat(nullptr, llVerbose, "Stream #%d.%d: pictures kept under the %s muxer's packet size",
                        ost.FileIndex, ost.Index, run.OutputContext(ost.FileIndex)->oformat->name);
    const int error = OpenCodecLocked(enc, enc->codec, nullptr);
    if (error < 0)
        RaiseRunError(
            "Error while opening encoder for output stream #%d.%d (%s) - maybe incorrect parameters such "
            "as bit_rate, rate, width or height. Please check error log message to find out more detail "
            "information.",
            ost.FileIndex, ost.Index, kind);
    if (FFApi.avcodec_parameters_from_context(ost.Stream->codecpar, enc) < 0)
        RaiseRunError("Could not alloc buffer.");
    ost.Stream->time_base = enc->time_base;
    if (ost.Kind() == AVMEDIA_TYPE_VIDEO) {
        ost.Stream->avg_frame_rate = enc->framerate.num > 0 ? enc->framerate : av_inv_q(enc->time_base);
        ost.Stream->sample_aspect_ratio = enc->sample_aspect_ratio;
    }
    run.ExtraBytes += enc->extradata_size;
}

// A picture turned upright loses its display matrix (and "rotate" tag), or players would turn it
// again; one left as stored keeps it, so that it is still shown the right way up.
void KeepOrientation(TRunState& run, TRunOutputStream& ost) {
    const TRunInputStream& ist = *ost.Source;
    const int degrees = run.Job.Inputs[ist.FileIndex].Streams[ist.Stream->index].RotationDegrees;
    if (degrees == 0) return;
    if (ist.Rotation) {
        EngineLogFormat(nullptr, llVerbose, "Input stream #%d.%d turned %d degrees upright", ist.FileIndex,
                        ist.Stream->index, degrees);
        return;
    }
    if (!IsQuarterTurn(degrees))
        EngineLogFormat(nullptr, llWarning,
                        "Input stream #%d.%d is rotated by %d degrees; only quarter turns are made upright, "
                        "the pictures stay as they are",
                        ist.FileIndex, ist.Stream->index, degrees);
    CopyDisplayMatrix(ist.Stream, ost.Stream);
}

void SetUpCodec(TRunState& run, TRunOutputStream& ost) {
    if (!ost.EncodingNeeded) {
        SetUpStreamCopy(run, ost);
        OpenBitstreamFilters(ost, ost.Source->Stream->time_base);
        return;
    }
    switch (ost.Kind()) {
    case AVMEDIA_TYPE_AUDIO:
        break;
    case AVMEDIA_TYPE_VIDEO:
        ost.FitAspect = run.Job.Join;
        SetUpVideoOutput(ost);
        SetUpPassLog(ost);
        KeepOrientation(run, ost);
        break;
    case AVMEDIA_TYPE_SUBTITLE:
        SetUpSubtitleOutput(ost);
        break;
    default:
        RaiseRunError("Encoder (codec id %d) not found for output stream #%d.%d (%s)",
                      int(ost.Encoder->codec_id), ost.FileIndex, ost.Index, MediaKindName(ost.Kind()));
    }
    OpenEncoder(run, ost);
    if (ost.Kind() == AVMEDIA_TYPE_AUDIO) SetUpAudioOutput(ost);
    OpenBitstreamFilters(ost, ost.Encoder->time_base);
}

// The older form of the matrix came along with the stream's metadata.
void ForgetRotateTags(TRunState& run) {
    for (auto& ost : run.Outputs)
        if (ost->EncodingNeeded && ost->Source && ost->Source->Rotation)
            FFApi.av_dict_set(&ost->Stream->metadata, "rotate", nullptr, 0);
}

void WriteHeaders(TRunState& run) {
    run.HeaderWritten.assign(run.Job.Outputs.size(), false);
    for (size_t f = 0; f < run.Job.Outputs.size(); ++f) {
        AVFormatContext* oc = run.OutputContext(int(f));
        if (FFApi.avformat_write_header(oc, nullptr) < 0) {
            EngineLogFormat(nullptr, llError,
                            "Could not write header for output file #%d (incorrect codec parameters ?)",
                            int(f));
            RaiseRunError("Could not write header for output file #%d (incorrect codec parameters ?)",
                          int(f));
        }
        run.HeaderWritten[f] = true;
    }
}

void LogStreamMapping(const TRunState& run) {
    if (run.Options.Verbosity < 0) return;
    EngineLog(nullptr, llVerbose, "Stream mapping:");
    for (auto& ost : run.Outputs) {
        char line[256];
        int n =
            std::snprintf(line, sizeof line, "  Stream #%d.%d -> #%d.%d (%s)", ost->Source->FileIndex,
                          ost->Source->Stream->index, ost->FileIndex, ost->Index, MediaKindName(ost->Kind()));
        if (ost->Sync != ost->Source && n > 0 && n < int(sizeof line))
            std::snprintf(line + n, sizeof line - n, " [sync #%d.%d (%s)]", ost->Sync->FileIndex,
                          ost->Sync->Stream->index, MediaKindName(KindOf(*ost->Sync)));
        EngineLog(nullptr, llVerbose, line);
    }
}

} // namespace

void SetUpRun(TRunState& run) {
    BuildInputTables(run);
    BuildOutputTable(run);
    if (run.Job.Options.StreamMaps.empty())
        MapAutomatically(run);
    else
        MapExplicitly(run);
    MarkSources(run);
    for (auto& ost : run.Outputs)
        SetUpCodec(run, *ost);
    ApplyMetadataMaps(run);
    ForgetRotateTags(run);
    WriteHeaders(run);
    LogSdpOfRtpOutputs(run);
    LogStreamMapping(run);
    // The streams were set up from the first input that has their kind; the first input feeds.
    if (run.Job.Join) MapJoinInput(run, 0);
}

void MapJoinInput(TRunState& run, int inputIndex) {
    std::vector<TRunInputStream*> before;
    for (auto& ost : run.Outputs) {
        before.push_back(ost->Source);
        ost->Source = ost->Sync = nullptr;
    }
    for (size_t i = 0; i < run.Outputs.size(); ++i) {
        TRunOutputStream& ost = *run.Outputs[i];
        TRunInputStream* ist = BestInputStream(run, ost, inputIndex, false);
        ost.Source = ost.Sync = ist;
        if (!ist) continue; // this input has nothing for the stream: it is filled in at its end
        ist->Discard = false;
        ist->DecodingNeeded |= ost.EncodingNeeded;
        if (ist->DecodingNeeded) OpenDecoder(*ist, run.Job.CoderThreads);
        if (ist == before[i] || !ost.EncodingNeeded) continue;
        // Each input is fitted to the output: its pictures scaled, turned and converted, its
        // samples resampled.
        if (ost.Kind() == AVMEDIA_TYPE_VIDEO) PrepareVideoSource(ost);
        if (ost.Kind() == AVMEDIA_TYPE_AUDIO) PrepareAudioSource(ost);
    }
}

} // namespace mw
