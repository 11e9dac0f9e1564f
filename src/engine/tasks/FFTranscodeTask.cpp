#include "engine/tasks/FFTranscodeTask.h"

#include "engine/job/FFBlockingCall.h"
#include "engine/job/FFInputFile.h"
#include "engine/job/FFJob.h"
#include "engine/options/FFOptionParser.h"
#include "engine/job/FFOutputFile.h"
#include "engine/run/FFRun.h"
#include "engine/options/FFTargets.h"

#include <algorithm>

namespace mw {

namespace {

class TTranscodeTaskJob : public ITaskJob {
  public:
    explicit TTranscodeTaskJob(int maxFiles) : FJob(maxFiles) {}

    void SetVerbosity(int verbosity) override { FJob.Options.Verbosity = verbosity; }
    void SetTimeLimitMs(int64_t ms) override { FJob.TimeLimitMs = ms; }
    void SetCoderThreads(int threads) override { FJob.CoderThreads = threads; }
    void SetProgressPeriodUs(int64_t us) override { FProgressPeriodUs = us; }
    void SetCheckOutputsOnly(bool checkOnly) override { FJob.CheckOutputsOnly = checkOnly; }
    void SetCallbacks(const TTaskCallbacks& callbacks) override {
        FCallbacks = callbacks;
        FJob.Callbacks.BeforeFindStreamInfo = callbacks.BeforeFindStreamInfo;
    }
    void SetHooks(const TJobHookRequest& request) override {
        FJob.AudioHook = FJob.AudioHook || request.AudioHook;
        FJob.VideoInputHook = FJob.VideoInputHook || request.VideoInputHook;
        FJob.VideoOutputHook = FJob.VideoOutputHook || request.VideoOutputHook;
        FJob.HookBitsPixel = request.HookBitsPixel;
    }
    bool ApplyOption(const std::string& name, const std::string& value) override {
        return ParseOption(FJob, name, value);
    }
    bool ApplyTarget(const std::string& target, const std::string& norm,
                     const std::string& fallback) override {
        return mw::ApplyTarget(FJob, target, norm, fallback);
    }
    bool OpenInput(const std::string& fileName) override { return OpenInputFile(FJob, fileName); }
    int OpenOutput(const std::string& fileName, bool join) override {
        return OpenOutputFile(FJob, fileName, join);
    }
    const std::string& BuildErrorText() const override { return FJob.BuildErrorText; }
    int InputCount() const override { return static_cast<int>(FJob.Inputs.size()); }
    int OutputCount() const override { return static_cast<int>(FJob.Outputs.size()); }
    AVFormatContext* InputContext(int index) const override {
        if (index < 0 || index >= InputCount()) return nullptr;
        return FJob.Inputs[static_cast<size_t>(index)].Context.get();
    }

    TJobResult Run() override;
    void RequestStop() override { RequestStopBlocking(FJob); }

  private:
    TTranscodeJob FJob;
    TTaskCallbacks FCallbacks;
    int64_t FProgressPeriodUs = 500000;
};

// The transcoding run, its reports turned into the encoder's records.
TJobResult TTranscodeTaskJob::Run() {
    const TTaskCallbacks& callbacks = FCallbacks;
    TRunHooks hooks;
    hooks.ProgressPeriodUs = FProgressPeriodUs;
    if (callbacks.Progress)
        hooks.OnProgress = [&callbacks](const TRunProgress& report) {
            TProgressInfo info;
            info.FileIndex = report.Final ? -1 : report.InputIndex;
            info.FrameNumber = report.Frame;
            info.FPS = report.Fps;
            info.Quality = report.Quality;
            info.BitRate = static_cast<float>(report.BitRateKbps);
            info.CurrentSize = report.SizeBytes;
            // Never below 0.01 s, so that a rate computed from it stays finite.
            info.CurrentDuration = std::max<int64_t>(report.TimeUs, 10000);
            info.TotalDuration = report.TotalUs;
            callbacks.Progress(info);
        };
    hooks.OnAudioHook = callbacks.AudioHook;
    hooks.OnVideoHook = callbacks.VideoHook;
    hooks.OnPreview = callbacks.PreviewBitmap;
    hooks.PreviewWanted = callbacks.PreviewWanted;
    TRunResult result;
    RunJob(FJob, hooks, result);
    return TJobResult{result.Finished, result.Failed, result.ErrorText};
}

} // namespace

std::unique_ptr<ITaskJob> MakeTranscodeTaskJob(int maxFiles) {
    return std::make_unique<TTranscodeTaskJob>(maxFiles);
}

} // namespace mw
