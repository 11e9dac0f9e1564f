// A component that runs one job at a time on a worker thread of its own and lets the job call
// procedures on the main thread, waiting until each call has returned.
//
// Threading contract:
// - RunJob, StopJob, the settings and the destructor are called on the main thread only.
// - OnJob runs on the worker; OnJobException, OnJobFinished, OnWaitTimeoutExpired and every
//   CallInMainThread procedure run on the main thread while the worker waits.
// - Every run gets a fresh thread object. An immediate stop never kills a thread: it marks the
//   running thread object abandoned (its pending and later main-thread calls are skipped, so it
//   can finish on its own) and puts a fresh one in its place. Abandoned threads are joined by the
//   next run or by the destructor.
// - Every started run ends with one OnJobFinished on the main thread (unless it was abandoned or
//   the component is being destroyed), also when a stop came before the worker began: the job is
//   then skipped, the finish is not.
// - TEventWinThread::M guards PendingCalls and the wake-up of a waiting run; the flags are atomics.
#pragma once

#include "app/Dispatcher.h"
#include "app/ThreadPriority.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace mw {

// The platform priority of each TThreadPriority (-15 .. 15) and the reverse look-up.
int ThreadPriorityValue(TThreadPriority priority);
TThreadPriority ThreadPriorityFromValue(int value);

using TWinThreadWaitTimeoutExpired = std::function<void(bool& terminateThread)>;

// One operating-system thread and the state shared between it and the main thread.
struct TEventWinThread {
    std::thread Thread;
    std::atomic<bool> Executing{false};
    std::atomic<bool> StopRequested{false};
    std::atomic<bool> Abandoned{false};
    std::atomic<bool> Ended{false};
    TThreadPriority Priority = tpNormal;
    // Copies of the handlers taken at the start of the run.
    std::function<void()> Job;
    std::function<void(std::exception_ptr)> JobException;
    std::function<void()> JobFinished;
    std::mutex M;
    std::condition_variable Wake;
    int PendingCalls = 0; // main-thread calls posted and not yet run (guarded by M)
};

class TCustomWinThread {
  public:
    // The dispatcher defaults to MainThreadDispatcher() at the time of each run.
    explicit TCustomWinThread(IMainThreadDispatcher* dispatcher = nullptr);
    ~TCustomWinThread();
    TCustomWinThread(const TCustomWinThread&) = delete;
    TCustomWinThread& operator=(const TCustomWinThread&) = delete;

    bool HandleExceptions = true;
    bool WaitThread = false;
    int WaitTimeout = 0; // milliseconds, 0 = no limit

    std::function<void()> OnJob;
    std::function<void(std::exception_ptr)> OnJobException;
    std::function<void()> OnJobFinished;
    TWinThreadWaitTimeoutExpired OnWaitTimeoutExpired;

    // Ends a running job (immediately), starts a fresh thread; waits when WaitThread (or force).
    // False only when a waiting run was stopped by its time-out.
    bool RunJob(bool forceWait = false);
    void StopJob(bool immediately);
    bool IsJobRunning() const;
    // Called by the job: the stop request of the thread object the caller runs on.
    bool IsStopRequested() const;
    // Runs proc on the main thread and returns when it has returned. Skipped when the calling
    // thread object was abandoned or the component is being destroyed.
    void CallInMainThread(const std::function<void()>& proc);

    TThreadPriority Priority() const { return FPriority; }
    void SetPriority(TThreadPriority priority);

    IMainThreadDispatcher* Dispatcher() const;

  private:
    void ThreadBody(std::shared_ptr<TEventWinThread> t);
    bool WaitForRun(const std::shared_ptr<TEventWinThread>& t);
    void ReapAbandoned(bool all);
    std::shared_ptr<TEventWinThread> CurrentOfCaller() const;

    IMainThreadDispatcher* FDispatcher;
    TThreadPriority FPriority = tpNormal;
    std::atomic<bool> FDestroying{false};
    std::shared_ptr<TEventWinThread> FCurrent;
    std::vector<std::shared_ptr<TEventWinThread>> FAbandoned;
    mutable std::mutex FCurrentMutex; // guards FCurrent against the worker's reads
};

} // namespace mw
