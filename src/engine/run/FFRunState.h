// Run-side state of one transcoding run: the input and output stream tables built at set-up and
// the job-wide counters the report reads. Built and used by RunJob's thread only.
#pragma once

#include "engine/run/FFRunInterrupt.h"
#include "engine/run/FFRunTypes.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace mw {

struct TRunHookState;
class TEncodeWorker;

// An error that ends the run; its text becomes the run's error text.
class TRunError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
[[noreturn]] void RaiseRunError(const char* format, ...) __attribute__((format(printf, 1, 2)));

struct TRunInputStream {
    int FileIndex = 0;
    AVStream* Stream = nullptr;
    TCodecContextPtr Decoder;
    bool DecodingNeeded = false;
    bool Discard = true; // not mapped to any output
    int64_t CurTimeUs = RunTimeNotSet;
    int64_t NextTimeUs = RunTimeNotSet;
    bool AtStart = true; // until the first audio sync correction
    bool PastRecordingTime = false;
    bool MultipleFramesWarned = false;
    int Rotation = 0;           // clockwise quarter turn its pictures get on the way to an encoder (0: none)
    int64_t PacketsDecoded = 0; // handed to the decoder
    int64_t FramesDecoded = 0;
    int LastDecodeError = 0; // the decoder's last refusal (a library error code), 0 none
    float Quality = 0;
    int64_t PicturesSeen = 0;
    std::chrono::steady_clock::time_point RateEmulationStart;
};

struct TRunOutputStream {
    int FileIndex = 0;
    int Index = 0; // stream index in its output
    AVStream* Stream = nullptr;
    TOutputStream* JobStream = nullptr; // the job's stream, as the job building made it
    AVCodecContext* Encoder = nullptr;  // JobStream->Encoder, opened at set-up
    TRunInputStream* Source = nullptr;
    TRunInputStream* Sync = nullptr;
    bool EncodingNeeded = false;
    bool EncoderFlushed = false;
    int64_t SyncCounter = 0;    // next frame (video) or sample position (audio), encoder time base
    int64_t FrameNumber = 0;    // pictures or packets sent
    int64_t LastDtsUs = 0;      // end of what was written (copy streams), for choosing the next input
    int64_t PacketsWritten = 0; // handed to the muxer
    float Quality = 0;
    // What the encoder tells of each coded picture: quantisers seen ("qphist") and the squared
    // errors of its planes, of the last picture and summed ("psnr").
    std::array<int64_t, 32> QpHistogram{};
    std::array<double, 3> PictureError{};
    std::array<double, 3> ErrorSum{};
    int64_t CodedPictures = 0;

    // video
    bool Scaling = false;
    TSwsContextPtr Scaler;
    TFramePtr TempPicture;
    int InWidth = 0, InHeight = 0;
    AVPixelFormat InPixFmt = AV_PIX_FMT_NONE;
    // Pictures keep their shape inside the encoder's frame (black bars) instead of being stretched:
    // the inputs of a join, and pictures turned upright.
    bool FitAspect = false;
    TFramePtr BlackPicture;               // what an input of a join without pictures contributes
    std::vector<int64_t> ForcedKeyFrames; // encoder time-base units
    size_t NextForcedKeyFrame = 0;
    FILE* PassLog = nullptr;
    std::string PassStats; // pass-2 statistics; the encoder reads it while open
    TFilterGraphPtr Graph;
    AVFilterContext* GraphSource = nullptr;
    AVFilterContext* GraphSink = nullptr;
    TFramePtr Filtered;

    // audio
    bool Resampling = false;
    TSwrContextPtr Resampler;
    int InSampleRate = 0;
    AVChannelLayout InLayout{};
    AVSampleFormat InSampleFmt = AV_SAMPLE_FMT_NONE;
    TAudioFifoPtr Fifo;
    TFramePtr AudioFrame; // encoder-side samples handed to the encoder
    TFramePtr Converted;  // the resampler's output block

    std::vector<TBsfContextPtr> Bsfs;

    // The thread the encoder runs on, when it has one (FFPipeline.h), and the sample aspect ratio
    // it is to take with the next picture.
    std::unique_ptr<TEncodeWorker> Worker;
    AVRational PendingSar{0, 0};

    TRunOutputStream(); // out of line: the worker type is known there
    TRunOutputStream(const TRunOutputStream&) = delete;
    TRunOutputStream& operator=(const TRunOutputStream&) = delete;
    ~TRunOutputStream();

    AVMediaType Kind() const { return Stream->codecpar->codec_type; }
    // Where the stream has got to, in seconds.
    double OutputTime() const;
};

struct TInputFileState {
    std::vector<std::unique_ptr<TRunInputStream>> Streams; // one per stream of the file
    bool Ended = false;
    bool NoDataYet = false;
};

// Everything one run works with; RunJob builds it, the set-up, loop and output units share it.
struct TRunState {
    TTranscodeJob& Job;
    TRunOptions Options;
    const TRunHooks& Hooks;
    std::vector<TInputFileState> Inputs;
    std::vector<std::unique_ptr<TRunOutputStream>> Outputs;
    std::vector<bool> HeaderWritten;
    TPacketPtr Packet;
    TFramePtr Decoded;
    TReadWatch Reads;          // input reads the thread's interrupt check watches
    int JoinIndex = 0;         // input being read in a join
    int LastInputIndex = 0;    // input the last packet came from
    double JoinStartSec = 0.0; // where that input starts on the output's time line
    FILE* VStats = nullptr;

    int64_t VideoBytes = 0;
    int64_t AudioBytes = 0;
    int64_t ExtraBytes = 0;
    int Duplicated = 0;
    int Dropped = 0;
    bool DupDropSeen = false; // a duplicate or drop happened since the last logged report line
    std::chrono::steady_clock::time_point StartTime;
    std::chrono::steady_clock::time_point LastReport;
    // Hooks, preview and picture pre-processing (FFRunHooks, FFPicturePrep).
    std::unique_ptr<TRunHookState> HookState;

    TRunState(TTranscodeJob& job, const TRunHooks& hooks);
    bool Stopping() const { return Job.StopRequested.load(std::memory_order_relaxed); }
    ~TRunState();

    AVFormatContext* OutputContext(int file) const { return Job.Outputs[file].Context.get(); }
};

// Name of a media kind in messages ("Video", "Audio", ... "Unknown").
const char* MediaKindName(AVMediaType kind);

} // namespace mw
