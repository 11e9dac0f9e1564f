// The encoder component: a list of tasks (one output from one or more inputs each), built by the
// caller, started together, stoppable, reporting progress and the end of each task and of the run.
//
// A waiting task is only its record: the input and output names and option records. AddTask,
// AddInputFile and SetOutputFile check each step on a job of the task's own (inputs opened and
// probed, options applied, outputs checked but not created); that job is released when the
// task's output is set, when another task is added and at StartTask, so a list of any length holds
// no file and no library object. A task that starts builds its job again from the record (inputs
// opened, outputs created) on its worker, runs it, and frees it there when the run ends; what
// changed meanwhile (a file gone, a name taken) fails that task with the opening's text.
//
// Threading contract:
// - Every operation (AddTask ... ClearTasks, StartTask, Stop, the properties) is called on the main
//   thread. The task list and the task records are changed only there, and only while no run is
//   working; a worker reads its task's record after StartTask started it.
// - StartTask(n > 0) runs each task on its own worker thread, at most n at once; StartTask(0) runs
//   them one after the other inside the call. SetParallelCount changes n while such a run works.
// - OnProgress: a worker keeps only its task's latest report and posts one wake-up to the main thread
//   when none is pending (TriggerEventInMainThread with a dispatcher), so a slow main thread never
//   builds a queue; otherwise the handler runs on the calling thread. Under the progress lock.
// - OnTerminate: in asynchronous mode every notice runs on a short-lived notifier thread; the run
//   notice (TaskIndex -1) starts only after every task notice's handler has returned. In synchronous
//   mode the notices run inside StartTask. The termination lock is held while a task's end is
//   recorded and the next task started.
// - OnPreviewBitmap (main thread with TriggerEventInMainThread, waiting), OnAudioHook, the video
//   hooks (worker thread) each run under their own lock. OnBeforeFindStreamInfo runs wherever an
//   input is opened: on the caller's thread in AddTask and AddInputFile, and again on the task's
//   worker when the task starts.
// - A task's running job is published under the task's job lock, so that Stop reaches it while it
//   is built or runs; the worker frees it only after taking it back under that lock.
// - Stop(true) on the main thread runs pending main-thread calls while it waits, so a worker or a
//   notifier blocked in a main-thread call cannot dead-lock it.
// - Handlers are set before StartTask and not changed while a run is working.
#pragma once

#include "app/OptionRecords.h"
#include "engine/probe/FFDecode.h"
#include "engine/tasks/FFEncodeTypes.h"
#include "engine/tasks/FFTaskJob.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <variant>
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
    void Wait();

  private:
    std::mutex FMutex;
    std::condition_variable FChanged;
    bool FSet;
};

// Waits until the event is set. On the main thread the pending main-thread calls run meanwhile
// (a thread that waits for one of them cannot dead-lock the wait); they are served at most a few
// milliseconds late, the event's setting at once.
void WaitPumping(TEvent& event);

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

// One task: the record of its inputs and output (names and option records), the job while it is
// built or runs, the run state.
class TFFmpeg {
  public:
    explicit TFFmpeg(TFFEncoder* owner);
    // Stops the task and waits for its worker.
    ~TFFmpeg();
    TFFmpeg(const TFFmpeg&) = delete;
    TFFmpeg& operator=(const TFFmpeg&) = delete;

    TFFEncoder* Owner() const { return FOwner; }
    // While the task is being built (main thread): its check job, and the decoder attached to an
    // opened input of it (made on first use); nullptr otherwise.
    ITaskJob* BuildJob() const { return FBuildJob.get(); }
    TFFDecoder* InputDecoder(int index);
    int InputCount() const { return FInputCount; }
    int OutputCount() const { return FOutputCount; }
    // The records as stored (FileName filled in); a file added without options has reset ones.
    // std::out_of_range for an index the task does not have.
    const TInputOptions& StoredInputOptions(int index) const;
    const TOutputOptions& StoredOutputOptions(int index) const;
    bool JoinOutput() const { return FJoin; }

    std::atomic<int> PreviewFlags{0};

    bool Started() const { return FStarted; }
    bool Running() const { return FRunning; }
    bool Terminated() const { return FTerminated; }
    TEvent& ThreadDone() { return *FThreadDone; }
    TEvent& TerminateDone() { return *FTerminateDone; }

  private:
    friend class TFFEncoder;
    struct TInputRecord {
        std::string FileName;
        bool HasOptions = false;
        TInputOptions Options;
    };
    struct TOutputRecord {
        std::string FileName;
        bool HasOptions = false;
        TOutputOptions Options;
    };
    // The task's files in the order they were added (options apply by position).
    using TFileRecord = std::variant<TInputRecord, TOutputRecord>;
    using TStep = std::function<bool(ITaskJob& job, std::string& error)>;

    // Configures a fresh job for this task and applies every recorded step; false with error.
    bool Build(ITaskJob& job, bool checkOnly, std::string& error);
    // One more building step on the check job (made from the record first when there is none);
    // a failed step drops the check job, so that the next one starts from the record again.
    bool BuildStep(const TStep& step, std::string& error);
    void ReleaseBuildJob();
    void RequestStop();
    void RunBody();

    TFFEncoder* FOwner;
    std::vector<TFileRecord> FFiles;
    int FInputCount = 0, FOutputCount = 0;
    bool FJoin = false;
    int FCoderThreads = 0;
    int64_t FProgressPeriodUs = 500000;
    std::unique_ptr<ITaskJob> FBuildJob;
    std::vector<std::unique_ptr<TFFDecoder>> FDecoders; // attached to FBuildJob's inputs
    std::mutex FJobMutex;                               // guards FRunJob
    ITaskJob* FRunJob = nullptr;                        // the worker's job while it is built or runs
    std::thread FThread;
    // Shared, so that a waiting Stop can still look at them when the task is freed meanwhile.
    std::shared_ptr<TEvent> FThreadDone = std::make_shared<TEvent>(true);
    std::shared_ptr<TEvent> FTerminateDone = std::make_shared<TEvent>(true);
    std::atomic<bool> FStarted{false}, FRunning{false}, FStopRequested{false}, FTerminated{false};
    TRunResult FResult;
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
    // jobFactory makes each task's jobs; empty: the transcoder's own (MakeTranscodeTaskJob).
    explicit TFFEncoder(TTaskJobFactory jobFactory = {});
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

    // Makes each task's jobs (the check job while it is built, the running job when it starts, on
    // its worker): the constructor's, which a test may replace before tasks are added; empty:
    // the transcoder's own. Not changed while a run is working.
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
    // While a run of StartTask(n > 0) works: from now on at most parallelCount (at least 1) of its
    // tasks run at once. A higher count starts waiting tasks at once; with a lower one the running
    // tasks go on, and no other starts until fewer run. No effect on a synchronous run.
    void SetParallelCount(int parallelCount);
    void Stop(bool waitForStop);
    const std::string& LastErrorMessage() const { return FLastErrorMessage; }
    TFFDecoder& Decoder() { return FDecoder; }

    bool Working() const { return FWorking; }
    bool AllDone() const { return FAllDone; }

  private:
    friend class TFFmpeg;
    struct TProgressMailbox;

    void RefuseWhileWorking(const char* operation) const;
    const TTaskJobFactory& Factory() const;
    bool AddTaskInput(TFFmpeg& task, const std::string& fileName, const TInputOptions* options);
    bool BuildTaskStep(TFFmpeg& task, const std::function<bool(ITaskJob&, std::string&)>& step,
                       std::string& error);
    void ReleaseBuildJobs();
    TTaskCallbacks CallbacksFor(TFFmpeg& task);
    void StartTasksWithinCount();
    void StartNextTask();
    // onWorker: the task ran on its own worker thread (and so counted as running).
    void TaskTerminated(TFFmpeg& task, bool onWorker = false);
    void DeliverRunNotice(std::unique_lock<std::mutex>& lock);
    void SpawnNotifier(std::function<void()> body);
    void ReapNotifiers(bool all);
    void DeliverProgress(TFFmpeg& task, const TProgressInfo& info);
    void DeliverPreview(TFFmpeg& task, const TBitmap& bitmap, int32_t frameNumber, int64_t pts);
    void DeliverVideoHook(TFFmpeg& task, bool output, THookInfo& info);

    bool FPreview = false;
    bool FPreviewBitmap = false;
    int FProgressInterval = 500;
    TFFmpegList FTasks;
    // The one task whose check job is alive (main thread), nullptr when none is.
    TFFmpeg* FBuilding = nullptr;
    TFFDecoder FDecoder;
    std::string FLastErrorMessage;

    // Run state, guarded by FTerminateLock once a run is working.
    int FEndedCount = 0;
    int FNextIndex = 0;
    std::atomic<int> FToStart{0};
    std::atomic<bool> FWorking{false};
    bool FAsync = false;
    std::atomic<bool> FAllDone{false};
    int FParallelCount = 1;
    int FRunningCount = 0; // tasks on their worker threads

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
    int FLiveNotifiers = 0;      // under FNotifierMutex
    TEvent FNotifiersIdle{true}; // set while no notifier runs

    std::shared_ptr<TProgressMailbox> FMailbox;
};

} // namespace mw
