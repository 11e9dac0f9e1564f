// The encoder component: a list of tasks (one output from one or more inputs each), built by the
// caller, started together, stoppable, reporting progress and the end of each task and of the run.
//
// Threading contract:
// - Every operation (AddTask ... ClearTasks, StartTask, Stop, the properties) is called on the main
//   thread. The task list is changed only there, and only while no run is working.
// - StartTask(n > 0) runs each task on its own worker thread, at most n at once; StartTask(0) runs
//   them one after the other inside the call.
// - OnProgress: a worker keeps only its task's latest report and posts one wake-up to the main thread
//   when none is pending (TriggerEventInMainThread with a dispatcher), so a slow main thread never
//   builds a queue; otherwise the handler runs on the calling thread. Under the progress lock.
// - OnTerminate: in asynchronous mode every notice runs on a short-lived notifier thread; the run
//   notice (TaskIndex -1) starts only after every task notice's handler has returned. In synchronous
//   mode the notices run inside StartTask. The termination lock is held while a task's end is
//   recorded and the next task started.
// - OnPreviewBitmap (main thread with TriggerEventInMainThread, waiting), OnAudioHook, the video
//   hooks (worker thread) each run under their own lock. OnBeforeFindStreamInfo runs on the
//   caller's thread while AddTask or AddInputFile opens an input.
// - Stop(true) on the main thread runs pending main-thread calls while it waits, so a worker or a
//   notifier blocked in a main-thread call cannot dead-lock it.
// - Handlers are set before StartTask and not changed while a run is working.
#pragma once

#include "engine/FFDecode.h"
#include "engine/FFEncodeTypes.h"
#include "engine/FFOptions.h"
#include "engine/FFTaskJob.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace mw {

// Raised for the operations that refuse while a run is working ("Cannot %s while working.").
class EEncoderError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

inline constexpr int MaxTaskFiles = 20;
inline constexpr int64_t TaskTimeLimitMs = 10000;
inline constexpr int TaskVerbosity = 1;
inline constexpr int MinProgressIntervalMs = 100;

// A manual-reset event.
class TEvent {
  public:
    explicit TEvent(bool set) : FSet(set) {}
    void Set();
    void Reset();
    bool IsSet();
    // True when set within timeoutMs.
    bool WaitFor(int64_t timeoutMs);

  private:
    std::mutex FMutex;
    std::condition_variable FChanged;
    bool FSet;
};

// The application's preview window for one task.
class IPreviewWindow {
  public:
    virtual ~IPreviewWindow() = default;
    virtual void ShowPicture(const TBitmap& bitmap, int32_t frameNumber, int64_t pts) = 0;
    // False once the user closed the window.
    virtual bool IsOpen() const = 0;
};
// Makes a task's preview window (on the main thread); empty: no preview window.
using TPreviewWindowFactory = std::function<std::unique_ptr<IPreviewWindow>(int32_t taskIndex)>;

// Preview flag bits of a task.
inline constexpr int pfWindow = 1;
inline constexpr int pfBitmap = 2;

class TFFEncoder;

// One task: its job, the probe decoder of each input, the stored option records, the run state.
class TFFmpeg {
  public:
    TFFmpeg(TFFEncoder* owner, std::unique_ptr<ITaskJob> job);
    // Stops the task and waits for its worker.
    ~TFFmpeg();
    TFFmpeg(const TFFmpeg&) = delete;
    TFFmpeg& operator=(const TFFmpeg&) = delete;

    ITaskJob& Job() { return *FJob; }
    TFFEncoder* Owner() const { return FOwner; }
    // The decoder attached to an opened input, made on first use; nullptr without a context.
    TFFDecoder* InputDecoder(int index);
    TInputOptions& StoredInputOptions(int index) { return FInputOptions.at(static_cast<size_t>(index)); }
    TOutputOptions& StoredOutputOptions(int index) { return FOutputOptions.at(static_cast<size_t>(index)); }
    bool JoinOutput() const { return FJoin; }

    std::atomic<int> PreviewFlags{0};

    bool Started() const { return FStarted; }
    bool Running() const { return FRunning; }
    bool Terminated() const { return FTerminated; }
    TEvent& ThreadDone() { return *FThreadDone; }
    TEvent& TerminateDone() { return *FTerminateDone; }

  private:
    friend class TFFEncoder;
    void RunBody();

    TFFEncoder* FOwner;
    std::unique_ptr<ITaskJob> FJob;
    std::vector<std::unique_ptr<TFFDecoder>> FDecoders;
    std::vector<TInputOptions> FInputOptions;
    std::vector<TOutputOptions> FOutputOptions;
    bool FJoin = false;
    std::thread FThread;
    // Shared, so that a waiting Stop can still look at them when the task is freed meanwhile.
    std::shared_ptr<TEvent> FThreadDone = std::make_shared<TEvent>(true);
    std::shared_ptr<TEvent> FTerminateDone = std::make_shared<TEvent>(true);
    std::atomic<bool> FStarted{false}, FRunning{false}, FStopRequested{false}, FTerminated{false};
    TJobResult FResult;
    std::unique_ptr<IPreviewWindow> FPreviewWindow;
};

// Ordered list owning its tasks.
class TFFmpegList {
  public:
    int Add(std::unique_ptr<TFFmpeg> task);
    // Raises std::out_of_range for an invalid index.
    TFFmpeg& Get(int index) const;
    int IndexOf(const TFFmpeg* task) const;
    int Count() const;
    void Delete(int index);
    void Clear();
    void SetPreviewFlags(int flags);

  private:
    mutable std::mutex FMutex; // workers look up their index while the main thread reads
    std::vector<std::unique_ptr<TFFmpeg>> FItems;
};

class TFFEncoder {
  public:
    TFFEncoder();
    ~TFFEncoder();
    TFFEncoder(const TFFEncoder&) = delete;
    TFFEncoder& operator=(const TFFEncoder&) = delete;

    static constexpr const char* Version = "3.9";

    bool Preview() const { return FPreview; }
    void SetPreview(bool value);
    bool PreviewBitmap() const { return FPreviewBitmap; }
    void SetPreviewBitmap(bool value);
    int ProgressInterval() const { return FProgressInterval; }
    // 100 ms or less stores 100.
    void SetProgressInterval(int ms);
    TThreadPriority ThreadPriority = tpNormal;
    bool TriggerEventInMainThread = true;

    TProgressEvent OnProgress;
    TTerminateEvent OnTerminate;
    TPreviewBitmapEvent OnPreviewBitmap;
    TAudioHookEvent OnAudioHook;
    TVideoHookEvent OnVideoInputHook;
    TVideoHookEvent OnVideoOutputHook;
    TBeforeFindStreamInfoEvent OnBeforeFindStreamInfo;
    TPreviewWindowFactory PreviewWindowFactory;

    // Makes each task's job; DefaultTaskJobFactory() unless a test puts a fake here.
    TTaskJobFactory JobFactory;

    // Task index, -1 on failure (LastErrorMessage says why).
    int AddTask(const std::string& fileName, const TInputOptions* inputOptions = nullptr);
    bool AddInputFile(int taskIndex, const std::string& fileName,
                      const TInputOptions* inputOptions = nullptr);
    bool SetOutputFile(int taskIndex, const std::string& fileName,
                       const TOutputOptions* outputOptions = nullptr);
    void RemoveTask(int taskIndex);
    void ClearTasks();
    int TaskCount() const { return FTasks.Count(); }
    TFFmpeg& Task(int index) const { return FTasks.Get(index); }
    void StartTask(int parallelCount);
    void Stop(bool waitForStop);
    const std::string& LastErrorMessage() const { return FLastErrorMessage; }
    TFFDecoder& Decoder() { return FDecoder; }

    bool Working() const { return FWorking; }
    bool AllDone() const { return FAllDone; }

  private:
    friend class TFFmpeg;
    struct TProgressMailbox;

    void RefuseWhileWorking(const char* operation) const;
    bool OpenTaskInput(TFFmpeg& task, int index, const std::string& fileName, const TInputOptions* options);
    TTaskCallbacks CallbacksFor(TFFmpeg& task);
    void StartNextTask();
    void TaskTerminated(TFFmpeg& task);
    void DeliverRunNotice(std::unique_lock<std::mutex>& lock);
    void SpawnNotifier(std::function<void()> body);
    void WaitPumping(const std::function<bool()>& done);
    void ReapNotifiers(bool all);
    void DeliverProgress(TFFmpeg& task, const TProgressInfo& info);
    void DeliverPreview(TFFmpeg& task, const TBitmap& bitmap, int32_t frameNumber, int64_t pts);
    void DeliverVideoHook(TFFmpeg& task, bool output, THookInfo& info);

    bool FPreview = false;
    bool FPreviewBitmap = false;
    int FProgressInterval = 500;
    TFFmpegList FTasks;
    TFFDecoder FDecoder;
    std::string FLastErrorMessage;

    // Run state, guarded by FTerminateLock once a run is working.
    int FEndedCount = 0;
    int FNextIndex = 0;
    std::atomic<int> FToStart{0};
    std::atomic<bool> FWorking{false};
    bool FAsync = false;
    std::atomic<bool> FAllDone{false};
    int FParallelCount = 0;

    // Task notices whose handler has not returned yet; the run notice waits for 0.
    std::mutex FPendingMutex;
    std::condition_variable FPendingChanged;
    int FPendingNotices = 0;

    std::mutex FAudioHookLock, FPreviewLock, FProgressLock, FTerminateLock, FVideoHookLock;

    std::mutex FNotifierMutex;
    struct TNotifier {
        std::thread Thread;
        std::shared_ptr<std::atomic<bool>> Done;
    };
    std::vector<TNotifier> FNotifiers;

    std::shared_ptr<TProgressMailbox> FMailbox;
};

} // namespace mw
