// The plain job record: everything the job building (inputs, outputs, options) produces and the
// run consumes. It replaces the old transcoder's global variables; one record per task.
//
// Who fills what:
// - Building (OpenInputFile, OpenOutputFile, ParseOption; the caller's thread): Options, Inputs,
//   Outputs with their streams and encoder contexts (configured, not opened), Join,
//   ExpectedTotalUs, VideoHooks, BuildErrorText, TimeLimitMs.
// - The run (the job's worker or the caller's thread): builds its own stream tables from this
//   record, opens the encoders and decoders, writes headers, packets and trailers, and uses
//   StopRequested / OperationStartUs through TBlockingCall. Callbacks are set by the owner before
//   the job is built.
//
// Threading: the record belongs to one thread at a time, except StopRequested and
// OperationStartUs, which the owner may set from any thread (atomics).
#pragma once

#include "engine/FFOpenedInput.h"
#include "engine/FFUtils.h"
#include "engine/UnicodeProtocol.h"
#include "engine/options/FFOptionState.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace mw {

class TFrameHook;

// Facts of one input stream kept by the input opening.
struct TInputStreamInfo {
    AVMediaType Kind = AVMEDIA_TYPE_UNKNOWN;
    bool Discard = false;             // a disabled kind, or outside the chosen program
    double TimeScale = 1.0;           // "itsscale"
    int RotationDegrees = 0;          // clockwise turn that shows the pictures upright (video)
    const AVCodec* Decoder = nullptr; // named decoder of its kind, or the stream's default
};

struct TInputFile {
    std::string FileName;                  // the user's name
    TOpenedInput Context;                  // opened, stream information read
    int64_t StartTimeUs = 0;               // file start plus "ss"
    int64_t TsOffsetUs = 0;                // added to every timestamp read ("itsoffset" - start)
    bool AutoRotate = true;                // quarter-turned pictures are made upright ("noautorotate")
    std::vector<TInputStreamInfo> Streams; // one per Context->streams entry
};

// One stream made in an output at build time.
struct TOutputStream {
    AVStream* Stream = nullptr; // owned by the output context
    AVMediaType Kind = AVMEDIA_TYPE_UNKNOWN;
    bool StreamCopy = false;
    const AVCodec* Codec = nullptr; // chosen encoder; nullptr when copying
    TCodecContextPtr Encoder;       // configured from the option state, not opened
    std::vector<std::string> Bsf;   // bitstream filters, "name" or "name=args", in order
    std::vector<int64_t> ForcedKeyFramesUs;
    std::string VideoFilters;    // filter graph text ("vf") at the time the stream was made
    int Pass = 0;                // 1 or 2 for two-pass encoding
    std::string PassLogFileName; // prefix; the run appends "-<stream index>.log"
    int SwsFlags = 4;
    // Encoder request the run needs beyond the context: audio volume and sync methods come from
    // the job's option state.
};

struct TOutputFile {
    std::string FileName;           // the user's name
    TOutputContextPtr Context;      // muxer chosen, file opened when the muxer writes one
    std::unique_ptr<TUnicodeIO> IO; // custom I/O for names that need it
    std::vector<TOutputStream> Streams;
    bool Join = false;    // opened as a join output
    bool Created = false; // this job made (or, asked to, replaced) the file: it may remove it
    ~TOutputFile();       // frees the context before its I/O
    TOutputFile() = default;
    TOutputFile(TOutputFile&&) = default;
    TOutputFile& operator=(TOutputFile&&) = default;
};

// Callbacks into the owner (the encoder component). Any may be empty.
struct TJobCallbacks {
    // While an input is opened, after the file is open and before its stream information is read.
    std::function<void(AVFormatContext* context)> BeforeFindStreamInfo;
    // The run's callbacks (progress, terminate, preview, hooks) are added by the run's owner.
};

struct TTranscodeJob {
    explicit TTranscodeJob(int capacity = 20);
    ~TTranscodeJob();
    TTranscodeJob(const TTranscodeJob&) = delete;
    TTranscodeJob& operator=(const TTranscodeJob&) = delete;

    int Capacity;         // most inputs and most outputs (1..512)
    TOptionState Options; // consumed as files are opened
    std::vector<TInputFile> Inputs;
    std::vector<TOutputFile> Outputs;
    bool Join = false;            // set when a join output was opened and there is more than one input
    int64_t ExpectedTotalUs = -1; // longest input or the output's "t"; -1 = unknown
    // Frame-hook plug-ins ("vhook"), in the order added.
    std::vector<std::unique_ptr<TFrameHook>> VideoHooks;
    // Hook requests of the output options (decoded audio / pictures to the owner).
    bool AudioHook = false;
    bool VideoInputHook = false;
    bool VideoOutputHook = false;
    int HookBitsPixel = 24;

    TJobCallbacks Callbacks;

    // Text of the last failed input/output opening or option.
    std::string BuildErrorText;
    // Rejected generic options count as errors (the encoder always asks for it).
    bool RaiseOnOptionError = true;

    // How output files are opened: a new file is always created exclusively (never through a
    // link); OverwriteOutputs lets a regular file at the name be replaced instead. With
    // CheckOutputsOnly nothing is created: the opening only checks that the file could be.
    bool OverwriteOutputs = false;
    bool CheckOutputsOnly = false;

    // Blocking opens and reads end after this long (0 = no limit).
    int64_t TimeLimitMs = 10000;
    // Threads of each decoder and encoder left to the run's choice; 0: as many as the machine has.
    int CoderThreads = 0;
    // The run keeps its encoders on its own thread instead of giving them worker threads (the same
    // packets, one thread; for comparing and measuring).
    bool OneThreadRun = false;
    // Start of the current blocking call (microseconds, monotonic); max = none, 0 = cancel now.
    std::atomic<int64_t> OperationStartUs{std::numeric_limits<int64_t>::max()};
    std::atomic<bool> StopRequested{false};
    // The limit's log line is written once per blocking call.
    std::atomic<bool> InterruptLogged{false};
};

// Sets job.BuildErrorText and answers false, so a failing step can end with `return BuildError(...)`.
bool BuildError(TTranscodeJob& job, const std::string& text);

// False with "LibAVCodec not loaded." (or the first missing library) when the libraries the job
// building needs are not loaded; every building entry point asks first.
bool LibrariesReady(TTranscodeJob& job);

// The name the libraries are given for a user's file name (local names that need it go through
// the unicode protocol). One place, so every input and output opening agrees.
std::string FFFileUrl(const std::string& fileName);

} // namespace mw
