// What one encoder task needs of the transcoder: the option parser, opening inputs and outputs, and
// the run. The transcoder's job implements it; tests put a fake in its place through
// TFFEncoder::JobFactory.
//
// Threading: a job belongs to one thread at a time. The encoder builds a task's check job on the
// main thread (outputs only checked) and, when the task starts, its running job on the task's
// worker thread (or StartTask(0)'s caller), which then calls Run once. RequestStop may be called
// from any thread while the job is being built or runs.
#pragma once

#include "engine/tasks/FFEncodeTypes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct AVFormatContext;

namespace mw {

// How a job reaches its encoder while it runs; each member may be empty.
struct TTaskCallbacks {
    // A progress report (TaskIndex is filled in by the encoder).
    std::function<void(const TProgressInfo& info)> Progress;
    // After an input file is open, before its stream information is read.
    std::function<void(AVFormatContext* context)> BeforeFindStreamInfo;
    // Decoded audio of an output that asked for the audio hook.
    TAudioHookCall AudioHook;
    // A picture for a video hook of an output that asked for it.
    TVideoHookCall VideoHook;
    // A preview picture, at most every preview period.
    TPreviewCall PreviewBitmap;
    // Whether anyone looks at preview pictures now (the task's preview flags); asked before a
    // picture is converted for PreviewBitmap.
    std::function<bool()> PreviewWanted;
};

// What an output record asks of the run: decoded audio and pictures for the hooks, and the depth
// of the hooks' and the preview's bitmaps.
struct TJobHookRequest {
    bool AudioHook = false;
    bool VideoInputHook = false;
    bool VideoOutputHook = false;
    int HookBitsPixel = 24;
};

// How a run ended.
struct TJobResult {
    bool Finished = false; // ran to the end without a stop
    bool Failed = false;
    std::string ErrorMessage;
};

class ITaskJob {
  public:
    virtual ~ITaskJob() = default;

    // Settings the encoder gives every task before anything is opened.
    virtual void SetVerbosity(int verbosity) = 0;
    virtual void SetTimeLimitMs(int64_t ms) = 0;
    virtual void SetProgressPeriodUs(int64_t us) = 0;
    virtual void SetCallbacks(const TTaskCallbacks& callbacks) = 0;
    // The hooks an output's record asks for (every output's requests count for the task).
    virtual void SetHooks(const TJobHookRequest& request) = 0;
    // Threads per decoder and encoder (0: the machine's count); tasks running side by side share
    // the cores instead of each taking all of them.
    virtual void SetCoderThreads(int /*threads*/) {}
    // Opening an output only checks that its file could be created (the answer is the file
    // system's) and makes nothing on disk. The encoder checks every task so while it is built.
    virtual void SetCheckOutputsOnly(bool checkOnly) = 0;

    // One option for the next input or output (the transcoder's vocabulary); false when it is
    // rejected, with the reason in BuildErrorText().
    virtual bool ApplyOption(const std::string& name, const std::string& value) = 0;
    // A disc target: "vcd", "svcd" or "dvd", norm "auto", "pal" or "ntsc", fallback "pal" or "ntsc".
    virtual bool ApplyTarget(const std::string& target, const std::string& norm,
                             const std::string& fallback) = 0;
    virtual bool OpenInput(const std::string& fileName) = 0;
    // -1 on failure, else the number of outputs.
    virtual int OpenOutput(const std::string& fileName, bool join) = 0;
    virtual const std::string& BuildErrorText() const = 0;

    virtual int InputCount() const = 0;
    virtual int OutputCount() const = 0;
    // The opened input's context (the probe decoder attaches to it); nullptr when there is none.
    virtual AVFormatContext* InputContext(int index) const = 0;

    // Runs the built job to its end (the progress total, a join's included, is the job's own).
    virtual TJobResult Run() = 0;
    virtual void RequestStop() = 0;
};

using TTaskJobFactory = std::function<std::unique_ptr<ITaskJob>(int maxFiles)>;

// The transcoder's own job (MakeTranscodeTaskJob) unless replaced.
TTaskJobFactory& DefaultTaskJobFactory();

} // namespace mw
