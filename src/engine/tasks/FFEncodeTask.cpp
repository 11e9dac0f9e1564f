#include "engine/tasks/FFEncode.h"

#include "app/Dispatcher.h"
#include "engine/FFUtils.h"
#include "engine/options/FFOptionRecords.h"
#include "engine/tasks/FFTaskSteps.h"

#include <chrono>
#include <stdexcept>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace mw {

namespace {

// How late a main-thread call may be served while the main thread waits for an event.
constexpr int64_t PumpSliceMs = 5;

} // namespace

// ---- TEvent ----

void TEvent::Set() {
    {
        std::lock_guard lock(FMutex);
        FSet = true;
    }
    FChanged.notify_all();
}
void TEvent::Reset() {
    std::lock_guard lock(FMutex);
    FSet = false;
}
bool TEvent::IsSet() {
    std::lock_guard lock(FMutex);
    return FSet;
}
bool TEvent::WaitFor(int64_t timeoutMs) {
    std::unique_lock lock(FMutex);
    return FChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return FSet; });
}
void TEvent::Wait() {
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [&] { return FSet; });
}

void WaitPumping(TEvent& event) {
    IMainThreadDispatcher* dispatcher = MainThreadDispatcher();
    if (!dispatcher || !dispatcher->IsMainThread()) {
        event.Wait();
        return;
    }
    // The dispatcher has no wait of its own here: serve its calls between short waits for the event.
    for (dispatcher->RunPending(); !event.WaitFor(PumpSliceMs); dispatcher->RunPending()) {
    }
}

// ---- TFFmpeg ----

bool ApplyInput(ITaskJob& job, const std::string& fileName, bool hasOptions, const TInputOptions& options,
                std::string& error) {
    if (hasOptions && !ApplyInputRecord(job, options)) {
        error = job.BuildErrorText();
        return false;
    }
    job.SetTimeLimitMs(TaskTimeLimitMs);
    if (job.OpenInput(fileName)) return true;
    error = job.BuildErrorText();
    return false;
}

bool ApplyOutput(ITaskJob& job, const std::string& fileName, bool hasOptions, const TOutputOptions& options,
                 std::string& error) {
    TOutputDefaults defaults;
    if (hasOptions && !ApplyOutputRecord(job, options, defaults, error)) return false;
    job.SetTimeLimitMs(TaskTimeLimitMs);
    if (job.OpenOutput(fileName, hasOptions && options.Join) < 0) {
        error = job.BuildErrorText();
        return false;
    }
    if (!hasOptions) return true;
    job.SetHooks({options.AudioHook, options.VideoInputHook, options.VideoOutputHook, options.HookBitsPixel});
    if (ApplyNewStreams(job, options, defaults)) return true;
    error = job.BuildErrorText();
    return false;
}

TFFmpeg::TFFmpeg(TFFEncoder* owner) : FOwner(owner) {}

TFFmpeg::~TFFmpeg() {
    if (FThread.joinable()) {
        RequestStop();
        FThread.join();
    }
}

const TInputOptions& TFFmpeg::StoredInputOptions(int index) const {
    for (const TFileRecord& file : FFiles)
        if (const auto* input = std::get_if<TInputRecord>(&file); input && index-- == 0)
            return input->Options;
    throw std::out_of_range(FormatText("List index out of bounds (%d)", index));
}

const TOutputOptions& TFFmpeg::StoredOutputOptions(int index) const {
    for (const TFileRecord& file : FFiles)
        if (const auto* output = std::get_if<TOutputRecord>(&file); output && index-- == 0)
            return output->Options;
    throw std::out_of_range(FormatText("List index out of bounds (%d)", index));
}

TFFDecoder* TFFmpeg::InputDecoder(int index) {
    if (!FBuildJob || index < 0 || index >= InputCount()) return nullptr;
    if (FDecoders.size() < static_cast<size_t>(FInputCount))
        FDecoders.resize(static_cast<size_t>(FInputCount));
    auto& decoder = FDecoders[static_cast<size_t>(index)];
    if (!decoder) {
        AVFormatContext* context = FBuildJob->InputContext(index);
        if (!context) return nullptr;
        decoder = std::make_unique<TFFDecoder>();
        decoder->Attach(context);
    }
    return decoder.get();
}

bool TFFmpeg::Build(ITaskJob& job, bool checkOnly, std::string& error) {
    job.SetVerbosity(TaskVerbosity);
    job.SetCallbacks(FOwner->CallbacksFor(*this));
    job.SetCheckOutputsOnly(checkOnly);
    job.SetCoderThreads(FCoderThreads);
    job.SetProgressPeriodUs(FProgressPeriodUs);
    for (const TFileRecord& file : FFiles) {
        if (const auto* input = std::get_if<TInputRecord>(&file)) {
            if (!ApplyInput(job, input->FileName, input->HasOptions, input->Options, error)) return false;
        } else {
            const auto& output = std::get<TOutputRecord>(file);
            if (!ApplyOutput(job, output.FileName, output.HasOptions, output.Options, error)) return false;
        }
    }
    return true;
}

bool TFFmpeg::BuildStep(const TStep& step, std::string& error) {
    if (!FBuildJob) {
        std::unique_ptr<ITaskJob> job = FOwner->Factory()(MaxTaskFiles);
        if (!Build(*job, true, error)) return false;
        FBuildJob = std::move(job);
    }
    if (step(*FBuildJob, error)) return true;
    ReleaseBuildJob();
    return false;
}

void TFFmpeg::ReleaseBuildJob() {
    FDecoders.clear();
    FBuildJob.reset();
}

void TFFmpeg::RequestStop() {
    FStopRequested = true;
    std::lock_guard lock(FJobMutex);
    if (FRunJob) FRunJob->RequestStop();
}

void TFFmpeg::RunBody() {
    FResult = TRunResult{};
    if (!FStopRequested) {
        std::unique_ptr<ITaskJob> job;
        try {
            job = FOwner->Factory()(MaxTaskFiles);
            {
                std::lock_guard lock(FJobMutex);
                FRunJob = job.get();
                // A stop that came before the job was published reaches it here.
                if (FStopRequested) job->RequestStop();
            }
            std::string error;
            if (Build(*job, false, error))
                FResult = job->Run();
            else
                FResult = TRunResult{false, true, error};
        } catch (const std::exception& e) {
            FResult = TRunResult{false, true, e.what()};
        }
        {
            std::lock_guard lock(FJobMutex);
            FRunJob = nullptr;
        }
        // What the run held (contexts, codecs, buffers) goes now, not when the list is cleared,
        // and back to the system: the next task's buffers are of other sizes.
        job.reset();
#ifdef __GLIBC__
        malloc_trim(0);
#endif
    }
    // A stop, also one that cut an opening short, is neither finished nor failed.
    if (FStopRequested) FResult = TRunResult{};
    FRunning = false;
    FTerminated = true;
}

// ---- TFFmpegList ----

int TFFmpegList::Add(std::unique_ptr<TFFmpeg> task) {
    std::lock_guard lock(FMutex);
    FItems.push_back(std::move(task));
    return static_cast<int>(FItems.size()) - 1;
}

TFFmpeg& TFFmpegList::Get(int index) const {
    std::lock_guard lock(FMutex);
    if (index < 0 || index >= static_cast<int>(FItems.size()))
        throw std::out_of_range(FormatText("List index out of bounds (%d)", index));
    return *FItems[static_cast<size_t>(index)];
}

int TFFmpegList::IndexOf(const TFFmpeg* task) const {
    std::lock_guard lock(FMutex);
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == task) return static_cast<int>(i);
    return -1;
}

int TFFmpegList::Count() const {
    std::lock_guard lock(FMutex);
    return static_cast<int>(FItems.size());
}

void TFFmpegList::Delete(int index) {
    std::unique_ptr<TFFmpeg> doomed;
    {
        std::lock_guard lock(FMutex);
        if (index < 0 || index >= static_cast<int>(FItems.size()))
            throw std::out_of_range(FormatText("List index out of bounds (%d)", index));
        doomed = std::move(FItems[static_cast<size_t>(index)]);
        FItems.erase(FItems.begin() + index);
    }
    // Freed outside the lock: a task's destructor waits for its worker, which may look itself up.
}

void TFFmpegList::Clear() {
    std::vector<std::unique_ptr<TFFmpeg>> doomed;
    {
        std::lock_guard lock(FMutex);
        doomed.swap(FItems);
    }
}

void TFFmpegList::SetPreviewFlags(int flags) {
    std::lock_guard lock(FMutex);
    for (auto& task : FItems)
        task->PreviewFlags = flags;
}

} // namespace mw
