#include "engine/run/FFRunLoop.h"

#include "engine/run/FFAudioOut.h"
#include "engine/FFLog.h"
#include "engine/run/FFRunPacket.h"
#include "engine/run/FFRunReport.h"
#include "engine/run/FFRunSetup.h"
#include "engine/run/FFVideoOut.h"

#include <cinttypes>
#include <cmath>
#include <thread>

namespace mw {

namespace {

constexpr AVRational MicrosecondBase{1, 1000000};
constexpr int NoInput = -1;
constexpr int FrameLimitReached = -2;

int64_t FrameLimit(const TRunOptions& options, AVMediaType kind) {
    switch (kind) {
    case AVMEDIA_TYPE_VIDEO:
        return options.MaxVideoFrames;
    case AVMEDIA_TYPE_AUDIO:
        return options.MaxAudioFrames;
    default:
        return options.MaxDataFrames;
    }
}

int ChooseInput(TRunState& run) {
    if (run.Job.Join) {
        for (auto& ost : run.Outputs)
            if (ost->FrameNumber >= FrameLimit(run.Options, ost->Kind())) return FrameLimitReached;
        return run.Inputs[run.JoinIndex].Ended ? NoInput : run.JoinIndex;
    }
    double best = 1e300;
    int file = NoInput;
    for (auto& ost : run.Outputs) {
        const TRunInputStream* ist = ost->Source;
        const TInputFileState& input = run.Inputs[ist->FileIndex];
        if (input.Ended || input.NoDataYet || ist->PastRecordingTime) continue;
        if (ost->FrameNumber >= FrameLimit(run.Options, ost->Kind())) return FrameLimitReached;
        const double t = run.Options.InputSync ? ist->CurTimeUs / 1e6 : ost->OutputTime();
        if (t < best) {
            best = t;
            file = ist->FileIndex;
        }
    }
    return file;
}

bool FileSizeLimitReached(TRunState& run) {
    if (run.Options.LimitFileSize <= 0) return false;
    AVIOContext* pb = run.OutputContext(0)->pb;
    return pb && FFApi.avio_seek(pb, 0, SEEK_CUR) >= run.Options.LimitFileSize;
}

// Where the current input of a join ends on the output's time line: the furthest any output
// stream got; an input that fed no stream counts with its own duration.
double JoinInputEndSec(const TRunState& run) {
    double end = run.JoinStartSec;
    bool fed = false;
    for (auto& ost : run.Outputs) {
        fed = fed || ost->Source;
        const bool audio = ost->EncodingNeeded && ost->Kind() == AVMEDIA_TYPE_AUDIO;
        end = std::max(end, audio ? AudioEndSec(*ost) : ost->OutputTime());
    }
    const AVFormatContext* ic = run.Job.Inputs[run.JoinIndex].Context.get();
    if (!fed && ic->duration > 0) end = std::max(end, run.JoinStartSec + ic->duration / 1e6);
    return end;
}

// The streams stay in step: every input contributes to each of them for its whole length, in
// silence, or in black when it has no pictures for the stream.
void FillJoinInput(TRunState& run, double endSec) {
    for (auto& ost : run.Outputs) {
        if (!ost->EncodingNeeded) continue;
        if (ost->Kind() == AVMEDIA_TYPE_AUDIO) FillAudioUntil(run, *ost, endSec);
        if (ost->Kind() == AVMEDIA_TYPE_VIDEO && !ost->Source) FillVideoUntil(run, *ost, endSec);
    }
}

// End of the current input of a join: drain its decoders and filters, fill the streams it had
// nothing for, shift the next input so the output goes on where this one stopped, and map the
// output onto it. Answers false after the last input.
bool NextJoinInput(TRunState& run) {
    const int current = run.JoinIndex;
    const bool last = current + 1 >= int(run.Inputs.size());
    for (auto& ist : run.Inputs[current].Streams)
        if (ist->DecodingNeeded) ProcessPacket(run, *ist, nullptr, false);
    for (auto& ost : run.Outputs)
        if (ost->EncodingNeeded && ost->Kind() == AVMEDIA_TYPE_VIDEO) DrainVideoGraph(run, *ost);
    const double end = JoinInputEndSec(run);
    FillJoinInput(run, end);
    if (last) return false;
    run.Job.Inputs[current + 1].TsOffsetUs += std::llrint(end * 1000000);
    run.JoinStartSec = end;
    run.JoinIndex = current + 1;
    MapJoinInput(run, run.JoinIndex);
    return true;
}

// The input's offset, then its stream's time scale ("itsscale").
void ApplyOffset(TRunState& run, TRunInputStream& ist, AVPacket* packet) {
    const TInputFile& input = run.Job.Inputs[ist.FileIndex];
    const int64_t offset = FFApi.av_rescale_q(input.TsOffsetUs, MicrosecondBase, ist.Stream->time_base);
    if (packet->pts != AV_NOPTS_VALUE) packet->pts += offset;
    if (packet->dts != AV_NOPTS_VALUE) packet->dts += offset;
    const size_t index = static_cast<size_t>(ist.Stream->index);
    const double scale = index < input.Streams.size() ? input.Streams[index].TimeScale : 1.0;
    if (scale == 1.0 || !(scale > 0)) return;
    auto scaled = [scale](int64_t ts) {
        return static_cast<int64_t>(std::llrint(static_cast<double>(ts) * scale));
    };
    if (packet->pts != AV_NOPTS_VALUE) packet->pts = scaled(packet->pts);
    if (packet->dts != AV_NOPTS_VALUE) packet->dts = scaled(packet->dts);
    if (packet->duration > 0) packet->duration = scaled(packet->duration);
}

// A jump between consecutive packets of a stream far beyond the threshold is a discontinuity:
// the input's offset absorbs it. Formats made for jumps (MPEG-TS and the like) have them often;
// in any other file a jump of hours would be filled with hours of copied pictures or silence.
void FixDiscontinuity(TRunState& run, TRunInputStream& ist, AVPacket* packet) {
    TInputFile& input = run.Job.Inputs[ist.FileIndex];
    const AVMediaType kind = ist.Stream->codecpar->codec_type;
    // Subtitles and data come when they come: long pauses between them are normal.
    if ((kind != AVMEDIA_TYPE_VIDEO && kind != AVMEDIA_TYPE_AUDIO) || run.Options.CopyTimestamps) return;
    if (packet->dts == AV_NOPTS_VALUE || ist.NextTimeUs == RunTimeNotSet) return;
    const int64_t deltaUs =
        FFApi.av_rescale_q(packet->dts, ist.Stream->time_base, MicrosecondBase) - ist.NextTimeUs;
    if (std::llabs(deltaUs) <= run.Options.DtsDeltaThresholdUs) return;
    input.TsOffsetUs -= deltaUs;
    const int64_t delta = FFApi.av_rescale_q(deltaUs, MicrosecondBase, ist.Stream->time_base);
    packet->dts -= delta;
    if (packet->pts != AV_NOPTS_VALUE) packet->pts -= delta;
    const bool expected = input.Context->iformat->flags & AVFMT_TS_DISCONT;
    if (!expected || run.Options.Verbosity > 2)
        EngineLogFormat(nullptr, llVerbose, "timestamp discontinuity %" PRId64 ", new offset= %" PRId64,
                        deltaUs, input.TsOffsetUs);
}

bool PastRecordingTime(const TRunState& run, const TRunInputStream& ist, const AVPacket* packet) {
    if (run.Options.RecordingTimeUs == RunNoLimit) return false;
    const int64_t ts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    if (ts == AV_NOPTS_VALUE) return false;
    return FFApi.av_rescale_q(ts, ist.Stream->time_base, MicrosecondBase) >=
           run.Options.RecordingTimeUs + run.Options.StartTimeUs;
}

void DumpPacket(TRunState& run, int file, const AVPacket* packet) {
    const AVFormatContext* ic = run.Job.Inputs[file].Context.get();
    if (packet->stream_index >= 0 && packet->stream_index < int(ic->nb_streams))
        FFApi.av_pkt_dump_log2(nullptr, AV_LOG_INFO, packet, run.Job.Options.HexDump,
                               ic->streams[packet->stream_index]);
}

void HandlePacket(TRunState& run, int file, AVPacket* packet) {
    if (run.Job.Options.DumpPackets) DumpPacket(run, file, packet);
    TInputFileState& input = run.Inputs[file];
    // Streams that appeared after the set-up have no mapping.
    if (packet->stream_index < 0 || packet->stream_index >= int(input.Streams.size())) return;
    TRunInputStream& ist = *input.Streams[packet->stream_index];
    if (ist.Discard) return;
    ApplyOffset(run, ist, packet);
    FixDiscontinuity(run, ist, packet);
    if (PastRecordingTime(run, ist, packet)) {
        ist.PastRecordingTime = true;
        return;
    }
    if (ProcessPacket(run, ist, packet) >= 0) return;
    const char* kind = MediaKindName(ist.Stream->codecpar->codec_type);
    if (run.Options.ExitOnError)
        RaiseRunError("Error while decoding stream #%d.%d (%s)", ist.FileIndex, ist.Stream->index, kind);
    if (run.Options.Verbosity >= 0)
        EngineLogFormat(nullptr, llVerbose, "Error while decoding stream #%d.%d (%s)", ist.FileIndex,
                        ist.Stream->index, kind);
}

bool AnyWaiting(TRunState& run) {
    bool waiting = false;
    for (auto& input : run.Inputs) {
        waiting |= input.NoDataYet;
        input.NoDataYet = false;
    }
    return waiting;
}

// Pictures or sound that could not be decoded at all are no output: the run fails with the
// decoder's reason instead of writing a stream without a frame.
void CheckEveryStreamDecoded(const TRunState& run) {
    if (run.Stopping()) return;
    for (auto& ost : run.Outputs) {
        const TRunInputStream* ist = ost->Source;
        const AVMediaType kind = ost->Kind();
        if (!ost->EncodingNeeded || ost->FrameNumber > 0 || !ist || ist->FramesDecoded > 0 ||
            ist->PacketsDecoded == 0 || (kind != AVMEDIA_TYPE_VIDEO && kind != AVMEDIA_TYPE_AUDIO))
            continue;
        // A decoder that swallows what it cannot read has said no more than that.
        const int error = ist->LastDecodeError ? ist->LastDecodeError : AVERROR_INVALIDDATA;
        RaiseRunError("Error while decoding stream #%d.%d (%s): %s", ist->FileIndex, ist->Stream->index,
                      MediaKindName(kind), FFErrorText(error).c_str());
    }
}

void DrainDecoders(TRunState& run) {
    for (auto& input : run.Inputs)
        for (auto& ist : input.Streams)
            if (ist->DecodingNeeded && ist->Decoder) ProcessPacket(run, *ist, nullptr);
}

} // namespace

void RunMainLoop(TRunState& run) {
    AVPacket* packet = run.Packet.get();
    bool joinDone = false;
    while (!run.Stopping()) {
        const int file = ChooseInput(run);
        if (file == FrameLimitReached) break;
        if (file == NoInput) {
            if (!run.Job.Join && AnyWaiting(run)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            break;
        }
        if (FileSizeLimitReached(run)) break;
        const int error = ReadInputPacket(run, file, packet);
        if (error == AVERROR(EAGAIN)) {
            run.Inputs[file].NoDataYet = true;
            continue;
        }
        if (error < 0) {
            if (run.Stopping()) break; // a read cut short by the stop is no end of its input
            run.Inputs[file].Ended = true;
            if (run.Job.Join) {
                if (!NextJoinInput(run)) {
                    joinDone = true;
                    break;
                }
                continue;
            }
            if (run.Options.Shortest) break;
            continue;
        }
        run.LastInputIndex = file;
        HandlePacket(run, file, packet);
        FFApi.av_packet_unref(packet);
        const auto now = std::chrono::steady_clock::now();
        if (now - run.LastReport >= std::chrono::microseconds(run.Options.ProgressPeriodUs))
            SendProgressReport(run, false);
    }
    FFApi.av_packet_unref(packet);
    if (run.Job.Join) {
        // A join stopped early drains what it was reading; one that ran out already did.
        if (!joinDone) {
            for (auto& ist : run.Inputs[run.JoinIndex].Streams)
                if (ist->DecodingNeeded && ist->Decoder) ProcessPacket(run, *ist, nullptr);
        }
    } else {
        DrainDecoders(run);
    }
    FlushRemainingEncoders(run);
    CheckEveryStreamDecoded(run);
}

} // namespace mw
