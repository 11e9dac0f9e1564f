#include "engine/tasks/FFEncode.h"
#include "engine/FFUtils.h"

#include "app/Dispatcher.h"
#include "engine/FFLog.h"
#include "engine/options/FFOptionRecords.h"
#include "engine/tasks/FFTaskSteps.h"
#include "engine/tasks/FFTranscodeTask.h"

#include <algorithm>
#include <map>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace mw {

namespace {

// Nice value of a worker-thread priority. Raising the priority needs privileges; best effort.
constexpr int NiceOf[] = {19, 10, 5, 0, -5, -10, -15};

void ApplyThreadPriority(TThreadPriority priority) {
    if (priority == tpNormal) return;
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), NiceOf[priority]);
}

} // namespace

// ---- TFFEncoder ----

// Latest progress report of each task, delivered by one posted wake-up at a time.
struct TFFEncoder::TProgressMailbox {
    std::mutex Mutex;
    TFFEncoder* Owner = nullptr; // cleared by the encoder's destructor
    std::map<int32_t, TProgressInfo> Latest;
    bool WakeupPending = false;

    void Drain() {
        TFFEncoder* owner;
        std::map<int32_t, TProgressInfo> reports;
        {
            std::lock_guard lock(Mutex);
            owner = Owner;
            reports.swap(Latest);
            WakeupPending = false;
        }
        if (!owner) return;
        for (auto& [index, info] : reports) {
            std::lock_guard lock(owner->FProgressLock);
            if (owner->OnProgress) owner->OnProgress(owner, &info);
        }
    }
};

TFFEncoder::TFFEncoder(TTaskJobFactory jobFactory)
    : JobFactory(std::move(jobFactory)), FMailbox(std::make_shared<TProgressMailbox>()) {
    FMailbox->Owner = this;
}

TFFEncoder::~TFFEncoder() {
    {
        std::scoped_lock lock(FAudioHookLock, FPreviewLock, FProgressLock, FTerminateLock, FVideoHookLock);
        OnAudioHook = nullptr;
        OnVideoInputHook = nullptr;
        OnVideoOutputHook = nullptr;
        OnPreviewBitmap = nullptr;
        OnProgress = nullptr;
        OnTerminate = nullptr;
    }
    // Workers and notifiers may be waiting for the main thread: stop and wait while pumping.
    Stop(true);
    ReapNotifiers(true);
    FTasks.Clear();
    std::lock_guard lock(FMailbox->Mutex);
    FMailbox->Owner = nullptr;
}

void TFFEncoder::SetPreview(bool value) {
    FPreview = value;
    const int flags = (FPreview ? pfWindow : 0) | (FPreviewBitmap ? pfBitmap : 0);
    FTasks.SetPreviewFlags(flags);
    if (!value)
        for (int i = 0; i < FTasks.Count(); ++i)
            FTasks.Get(i).FPreviewWindow.reset();
}

void TFFEncoder::SetPreviewBitmap(bool value) {
    FPreviewBitmap = value;
    FTasks.SetPreviewFlags((FPreview ? pfWindow : 0) | (FPreviewBitmap ? pfBitmap : 0));
}

void TFFEncoder::SetProgressInterval(int ms) {
    FProgressInterval = ms <= MinProgressIntervalMs ? MinProgressIntervalMs : ms;
}

void TFFEncoder::RefuseWhileWorking(const char* operation) const {
    if (FWorking) throw EEncoderError(std::string("Cannot ") + operation + " while working.");
}

TTaskCallbacks TFFEncoder::CallbacksFor(TFFmpeg& task) {
    TTaskCallbacks c;
    c.Progress = [this, &task](const TProgressInfo& info) { DeliverProgress(task, info); };
    c.BeforeFindStreamInfo = [this, &task](AVFormatContext* context) {
        if (OnBeforeFindStreamInfo) OnBeforeFindStreamInfo(&task, context);
    };
    c.AudioHook = [this, &task](int64_t pts, const void* samples, int32_t size, int32_t rate,
                                int32_t channels, int32_t format) {
        std::lock_guard lock(FAudioHookLock);
        if (OnAudioHook) OnAudioHook(this, FTasks.IndexOf(&task), pts, samples, size, rate, channels, format);
    };
    c.VideoHook = [this, &task](bool output, THookInfo& info) { DeliverVideoHook(task, output, info); };
    c.PreviewBitmap = [this, &task](const TBitmap& bitmap, int32_t frame, int64_t pts) {
        DeliverPreview(task, bitmap, frame, pts);
    };
    c.PreviewWanted = [this, &task] {
        const int flags = task.PreviewFlags;
        std::lock_guard lock(FPreviewLock);
        return ((flags & pfBitmap) && OnPreviewBitmap) ||
               ((flags & pfWindow) && PreviewWindowFactory && MainThreadDispatcher());
    };
    return c;
}

const TTaskJobFactory& TFFEncoder::Factory() const {
    static const TTaskJobFactory TranscodeJobs = MakeTranscodeTaskJob;
    return JobFactory ? JobFactory : TranscodeJobs;
}

void TFFEncoder::ReleaseBuildJobs() {
    if (FBuilding) FBuilding->ReleaseBuildJob();
    FBuilding = nullptr;
}

bool TFFEncoder::BuildTaskStep(TFFmpeg& task, const std::function<bool(ITaskJob&, std::string&)>& step,
                               std::string& error) {
    // One task is checked at a time: the one before gives its job back first.
    if (FBuilding != &task) ReleaseBuildJobs();
    FBuilding = &task;
    if (task.BuildStep(step, error)) return true;
    FBuilding = nullptr; // the failed step dropped the job
    return false;
}

int TFFEncoder::AddTask(const std::string& fileName, const TInputOptions* inputOptions) {
    RefuseWhileWorking("AddTask");
    try {
        auto task = std::make_unique<TFFmpeg>(this);
        task->PreviewFlags = (FPreview ? pfWindow : 0) | (FPreviewBitmap ? pfBitmap : 0);
        if (!AddTaskInput(*task, fileName, inputOptions)) return -1;
        return FTasks.Add(std::move(task));
    } catch (const std::exception& e) {
        // The half-made task (and its job) is gone.
        FBuilding = nullptr;
        FLastErrorMessage = e.what();
        return -1;
    }
}

bool TFFEncoder::AddTaskInput(TFFmpeg& task, const std::string& fileName, const TInputOptions* options) {
    TFFmpeg::TInputRecord record = FileRecord<TFFmpeg::TInputRecord>(fileName, options);
    std::string error;
    if (!BuildTaskStep(
            task,
            [&](ITaskJob& job, std::string& e) {
                return ApplyInput(job, fileName, record.HasOptions, record.Options, e);
            },
            error)) {
        FLastErrorMessage = error;
        return false;
    }
    task.FFiles.emplace_back(std::move(record));
    ++task.FInputCount;
    task.InputDecoder(task.InputCount() - 1);
    return true;
}

bool TFFEncoder::AddInputFile(int taskIndex, const std::string& fileName, const TInputOptions* inputOptions) {
    RefuseWhileWorking("AddInputFile");
    TFFmpeg& task = FTasks.Get(taskIndex);
    if (task.InputCount() >= MaxTaskFiles) {
        FLastErrorMessage = FormatText("max input files %d reached", MaxTaskFiles);
        return false;
    }
    try {
        return AddTaskInput(task, fileName, inputOptions);
    } catch (const std::exception& e) {
        ReleaseBuildJobs();
        FLastErrorMessage = e.what();
        return false;
    }
}

bool TFFEncoder::SetOutputFile(int taskIndex, const std::string& fileName,
                               const TOutputOptions* outputOptions) {
    RefuseWhileWorking("SetOutputFile");
    TFFmpeg& task = FTasks.Get(taskIndex);
    if (task.OutputCount() >= MaxTaskFiles) {
        FLastErrorMessage = FormatText("max output files %d reached", MaxTaskFiles);
        return false;
    }
    TFFmpeg::TOutputRecord record = FileRecord<TFFmpeg::TOutputRecord>(fileName, outputOptions);
    bool added = false;
    try {
        std::string error;
        added = BuildTaskStep(
            task,
            [&](ITaskJob& job, std::string& e) {
                return ApplyOutput(job, fileName, record.HasOptions, record.Options, e);
            },
            error);
        if (!added) FLastErrorMessage = error;
    } catch (const std::exception& e) {
        FLastErrorMessage = e.what();
    }
    // The task is complete: from here on it is only its record.
    ReleaseBuildJobs();
    if (!added) return false;
    if (record.HasOptions && record.Options.Join) task.FJoin = true;
    task.FFiles.emplace_back(std::move(record));
    ++task.FOutputCount;
    return true;
}

void TFFEncoder::RemoveTask(int taskIndex) {
    RefuseWhileWorking("RemoveTask");
    if (&FTasks.Get(taskIndex) == FBuilding) FBuilding = nullptr;
    FTasks.Delete(taskIndex);
}

void TFFEncoder::ClearTasks() {
    if (FWorking && !FAllDone) throw EEncoderError("Cannot ClearTasks while working.");
    FBuilding = nullptr;
    FTasks.Clear();
    FLastErrorMessage.clear();
    {
        std::lock_guard lock(FTerminateLock);
        FEndedCount = 0;
        FNextIndex = 0;
        FToStart = 0;
        FRunningCount = 0;
        FAsync = false;
        FAllDone = false;
        FWorking = false;
    }
    ReapNotifiers(false);
}

void TFFEncoder::StartTask(int parallelCount) {
    RefuseWhileWorking("StartTask");
    ReleaseBuildJobs();
    std::unique_lock lock(FTerminateLock);
    FEndedCount = 0;
    FNextIndex = 0;
    FToStart = FTasks.Count();
    FRunningCount = 0;
    FAllDone = false;
    FAsync = parallelCount > 0;
    FParallelCount = std::max(parallelCount, 1);
    FWorking = true;
    if (FAsync) {
        StartTasksWithinCount();
        return;
    }
    lock.unlock();
    // Synchronous: each task runs and reports its end here; the last one also the run's end.
    while (FToStart > 0) {
        TFFmpeg* task;
        {
            std::lock_guard guard(FTerminateLock);
            if (FToStart <= 0) break;
            --FToStart;
            task = &FTasks.Get(FNextIndex++);
            if (task->FStarted) continue;
            task->FStarted = true;
            task->FRunning = true;
            task->FCoderThreads = 0;
            task->FProgressPeriodUs = static_cast<int64_t>(FProgressInterval) * 1000;
        }
        task->RunBody();
        // May deliver the run notice, whose handler may free every task: nothing after this.
        TaskTerminated(*task);
    }
}

void TFFEncoder::SetParallelCount(int parallelCount) {
    std::lock_guard lock(FTerminateLock);
    FParallelCount = std::max(parallelCount, 1);
    if (FWorking && FAsync) StartTasksWithinCount();
}

// Caller holds FTerminateLock (asynchronous mode).
void TFFEncoder::StartTasksWithinCount() {
    while (FToStart > 0 && FRunningCount < FParallelCount)
        StartNextTask();
}

// Caller holds FTerminateLock (asynchronous mode).
void TFFEncoder::StartNextTask() {
    --FToStart;
    TFFmpeg& task = FTasks.Get(FNextIndex++);
    if (task.FStarted) return;
    task.FStarted = true;
    task.FRunning = true;
    // Tasks side by side share the cores; a lone task uses them all.
    const int sideBySide = std::min(FParallelCount, std::max(FTasks.Count(), 1));
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    task.FCoderThreads = sideBySide > 1 ? std::max(1, cores / sideBySide) : 0;
    task.FProgressPeriodUs = static_cast<int64_t>(FProgressInterval) * 1000;
    task.FThreadDone->Reset();
    task.FTerminateDone->Reset();
    ++FRunningCount;
    const TThreadPriority priority = ThreadPriority;
    task.FThread = std::thread([this, &task, priority] {
        ApplyThreadPriority(priority);
        task.RunBody();
        TaskTerminated(task, true);
        task.FThreadDone->Set();
    });
}

void TFFEncoder::TaskTerminated(TFFmpeg& task, bool onWorker) {
    std::unique_lock lock(FTerminateLock);
    if (onWorker) --FRunningCount;
    const TTerminateInfo info{FTasks.IndexOf(&task), task.FResult.Finished, task.FResult.Failed,
                              task.FResult.Failed ? task.FResult.ErrorText : std::string()};
    const std::shared_ptr<TEvent> done = task.FTerminateDone;
    if (!OnTerminate) {
        done->Set();
    } else if (FAsync || !FWorking) {
        {
            std::lock_guard pending(FPendingMutex);
            ++FPendingNotices;
        }
        SpawnNotifier([this, handler = OnTerminate, info, done] {
            try {
                handler(this, info);
            } catch (const std::exception& e) {
                EngineLog(this, llError, e.what());
            }
            done->Set();
            std::lock_guard pending(FPendingMutex);
            --FPendingNotices;
            FPendingChanged.notify_all();
        });
    } else {
        // Synchronous run: the handler runs here, free to call Stop.
        const TTerminateEvent handler = OnTerminate;
        lock.unlock();
        handler(this, info);
        done->Set();
        lock.lock();
    }
    ++FEndedCount;
    if (FToStart <= 0 && FEndedCount >= FTasks.Count())
        DeliverRunNotice(lock);
    else if (FToStart > 0 && FAsync)
        StartTasksWithinCount();
}

void TFFEncoder::DeliverRunNotice(std::unique_lock<std::mutex>& lock) {
    if (!OnTerminate) {
        FAllDone = true;
        return;
    }
    const TTerminateInfo info{-1, true, false, std::string()};
    if (FAsync || !FWorking) {
        SpawnNotifier([this, handler = OnTerminate, info] {
            {
                std::unique_lock pending(FPendingMutex);
                FPendingChanged.wait(pending, [&] { return FPendingNotices == 0; });
            }
            // Done before the handler, so that it may clear the tasks.
            FAllDone = true;
            try {
                handler(this, info);
            } catch (const std::exception& e) {
                EngineLog(this, llError, e.what());
            }
        });
    } else {
        FAllDone = true;
        const TTerminateEvent handler = OnTerminate;
        // The handler may clear the tasks, which takes this lock.
        lock.unlock();
        handler(this, info);
    }
}

void TFFEncoder::Stop(bool waitForStop) {
    FToStart = 0;
    if (!FWorking) return;
    for (int i = 0; i < FTasks.Count(); ++i) {
        TFFmpeg& task = FTasks.Get(i);
        bool neverStarted = false;
        {
            std::lock_guard lock(FTerminateLock);
            if (task.FTerminated) continue;
            if (!task.FStarted) {
                // Claimed here, so that no ending task starts it meanwhile.
                task.FStarted = true;
                task.FTerminateDone->Reset();
                neverStarted = true;
            }
        }
        const std::shared_ptr<TEvent> threadDone = task.FThreadDone, terminateDone = task.FTerminateDone;
        if (neverStarted) {
            SpawnNotifier([this, &task] {
                task.FResult = TRunResult{};
                task.FTerminated = true;
                TaskTerminated(task);
            });
            if (waitForStop) WaitPumping(*terminateDone);
        } else {
            task.RequestStop();
            if (waitForStop && FAsync) WaitPumping(*threadDone);
        }
    }
}

void TFFEncoder::SpawnNotifier(std::function<void()> body) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::lock_guard lock(FNotifierMutex);
    if (FLiveNotifiers++ == 0) FNotifiersIdle.Reset();
    FNotifiers.push_back({std::thread([this, body = std::move(body), done] {
                              body();
                              *done = true;
                              std::lock_guard lock(FNotifierMutex);
                              if (--FLiveNotifiers == 0) FNotifiersIdle.Set();
                          }),
                          done});
}

void TFFEncoder::ReapNotifiers(bool all) {
    if (all) WaitPumping(FNotifiersIdle);
    std::vector<TNotifier> finished;
    {
        std::lock_guard lock(FNotifierMutex);
        for (auto it = FNotifiers.begin(); it != FNotifiers.end();)
            if (*it->Done && it->Thread.get_id() != std::this_thread::get_id()) {
                finished.push_back(std::move(*it));
                it = FNotifiers.erase(it);
            } else {
                ++it;
            }
    }
    for (TNotifier& n : finished)
        n.Thread.join();
}

void TFFEncoder::DeliverProgress(TFFmpeg& task, const TProgressInfo& report) {
    TProgressInfo info = report;
    info.TaskIndex = FTasks.IndexOf(&task);
    IMainThreadDispatcher* dispatcher = MainThreadDispatcher();
    if (TriggerEventInMainThread && dispatcher && !dispatcher->IsMainThread()) {
        bool post;
        {
            std::lock_guard lock(FMailbox->Mutex);
            FMailbox->Latest[info.TaskIndex] = info;
            post = !FMailbox->WakeupPending;
            FMailbox->WakeupPending = true;
        }
        if (post) dispatcher->Post([mailbox = FMailbox] { mailbox->Drain(); });
        return;
    }
    std::lock_guard lock(FProgressLock);
    if (OnProgress) OnProgress(this, &info);
}

void TFFEncoder::DeliverPreview(TFFmpeg& task, const TBitmap& bitmap, int32_t frameNumber, int64_t pts) {
    const int flags = task.PreviewFlags;
    IMainThreadDispatcher* dispatcher = MainThreadDispatcher();
    auto onMain = [&](const std::function<void()>& call) {
        if (TriggerEventInMainThread && dispatcher && !dispatcher->IsMainThread())
            dispatcher->CallAndWait(call);
        else
            call();
    };
    std::lock_guard lock(FPreviewLock);
    if ((flags & pfBitmap) && OnPreviewBitmap) {
        const TPreviewInfo info{FTasks.IndexOf(&task), &bitmap, frameNumber, pts};
        onMain([&] { OnPreviewBitmap(this, info); });
    } else if ((flags & pfWindow) && PreviewWindowFactory && dispatcher) {
        // Windows belong to the main thread whatever TriggerEventInMainThread says.
        dispatcher->CallAndWait([&] {
            if (!(task.PreviewFlags & pfWindow)) return;
            if (!task.FPreviewWindow) task.FPreviewWindow = PreviewWindowFactory(FTasks.IndexOf(&task));
            if (task.FPreviewWindow && task.FPreviewWindow->IsOpen()) {
                task.FPreviewWindow->ShowPicture(bitmap, frameNumber, pts);
            } else {
                // Closing the window switches the preview off for this task.
                task.PreviewFlags &= ~pfWindow;
                task.FPreviewWindow.reset();
            }
        });
    }
}

void TFFEncoder::DeliverVideoHook(TFFmpeg& task, bool output, THookInfo& info) {
    std::lock_guard lock(FVideoHookLock);
    const TVideoHookEvent& handler = output ? OnVideoOutputHook : OnVideoInputHook;
    if (!handler) {
        info.Update = false;
        return;
    }
    info.TaskIndex = FTasks.IndexOf(&task);
    try {
        handler(this, &info);
    } catch (const std::exception& e) {
        EngineLog(this, llError, std::string("Error occurs VideoHook event: ") + e.what());
        info.Update = false;
    }
}

} // namespace mw
