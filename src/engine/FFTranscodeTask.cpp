#include "engine/FFTranscodeTask.h"

#include "engine/FFInputFile.h"
#include "engine/FFJob.h"
#include "engine/FFOptionParser.h"
#include "engine/FFOutputFile.h"
#include "engine/FFTargets.h"

namespace mw {

namespace {

class TTranscodeTaskJob : public ITaskJob {
  public:
    explicit TTranscodeTaskJob(int maxFiles) : FJob(maxFiles) {}

    void SetVerbosity(int verbosity) override { FJob.Options.Verbosity = verbosity; }
    void SetTimeLimitMs(int64_t ms) override { FJob.TimeLimitMs = ms; }
    void SetProgressPeriodUs(int64_t us) override { FProgressPeriodUs = us; }
    void SetCallbacks(const TTaskCallbacks& callbacks) override {
        FCallbacks = callbacks;
        FJob.Callbacks.BeforeFindStreamInfo = callbacks.BeforeFindStreamInfo;
    }
    bool ApplyOption(const std::string& name, const std::string& value) override {
        return ParseOption(FJob, name, value);
    }
    bool ApplyTarget(const std::string& target, const std::string& norm, const std::string& fallback) override {
        return mw::ApplyTarget(FJob, target, norm, fallback);
    }
    bool OpenInput(const std::string& fileName) override { return OpenInputFile(FJob, fileName); }
    int OpenOutput(const std::string& fileName, bool join) override { return OpenOutputFile(FJob, fileName, join); }
    const std::string& BuildErrorText() const override { return FJob.BuildErrorText; }
    int InputCount() const override { return static_cast<int>(FJob.Inputs.size()); }
    int OutputCount() const override { return static_cast<int>(FJob.Outputs.size()); }
    AVFormatContext* InputContext(int index) const override {
        if (index < 0 || index >= InputCount()) return nullptr;
        return FJob.Inputs[static_cast<size_t>(index)].Context.get();
    }
    int64_t InputDurationUs(int index) const override {
        const AVFormatContext* context = InputContext(index);
        return context && context->duration > 0 ? context->duration : -1;
    }
    void SetExpectedTotalUs(int64_t us) override { FJob.ExpectedTotalUs = us; }
    // The output opening records the join; the run repeats the first input's stream layout.
    bool PrepareJoin() override { return true; }

    TJobResult Run() override {
        const TTranscodeRunEntry& entry = TranscodeRunEntry();
        if (!entry) return TJobResult{false, true, "The transcoding run is not available in this build."};
        return entry(FJob, FCallbacks, FProgressPeriodUs);
    }
    void RequestStop() override { FJob.StopRequested = true; }

  private:
    TTranscodeJob FJob;
    TTaskCallbacks FCallbacks;
    int64_t FProgressPeriodUs = 500000;
};

} // namespace

TTranscodeRunEntry& TranscodeRunEntry() {
    static TTranscodeRunEntry entry;
    return entry;
}

std::unique_ptr<ITaskJob> MakeTranscodeTaskJob(int maxFiles) {
    return std::make_unique<TTranscodeTaskJob>(maxFiles);
}

} // namespace mw
