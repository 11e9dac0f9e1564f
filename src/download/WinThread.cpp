#include "download/WinThread.h"

#include <array>
#include <chrono>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace mw {

namespace {

constexpr std::array<int, 7> PriorityValues = {-15, -2, -1, 0, 1, 2, 15};
// Best effort on this platform: the thread's nice value (raising needs privileges; failure is ignored).
constexpr std::array<int, 7> PriorityNice = {19, 10, 5, 0, -5, -10, -20};

thread_local TEventWinThread* GThisThread = nullptr;

struct TPendingCall {
    std::function<void()> Proc;
    bool Started = false;
    bool Done = false;
    bool Cancelled = false;
    std::exception_ptr Error;
};

} // namespace

int ThreadPriorityValue(TThreadPriority priority) {
    return PriorityValues[static_cast<size_t>(priority)];
}

TThreadPriority ThreadPriorityFromValue(int value) {
    for (size_t i = 0; i < PriorityValues.size(); ++i)
        if (PriorityValues[i] == value) return static_cast<TThreadPriority>(i);
    return tpNormal;
}

TCustomWinThread::TCustomWinThread(IMainThreadDispatcher* dispatcher)
    : FDispatcher(dispatcher), FCurrent(std::make_shared<TEventWinThread>()) {}

TCustomWinThread::~TCustomWinThread() {
    FDestroying = true;
    StopJob(true);
    ReapAbandoned(true);
}

IMainThreadDispatcher* TCustomWinThread::Dispatcher() const {
    return FDispatcher ? FDispatcher : MainThreadDispatcher();
}

void TCustomWinThread::SetPriority(TThreadPriority priority) {
    FPriority = priority;
}

bool TCustomWinThread::RunJob(bool forceWait) {
    ReapAbandoned(false);
    StopJob(true);
    std::shared_ptr<TEventWinThread> t;
    {
        std::lock_guard lock(FCurrentMutex);
        t = FCurrent;
    }
    t->Priority = FPriority;
    t->Job = OnJob;
    t->JobException = OnJobException;
    t->JobFinished = OnJobFinished;
    t->Thread = std::thread(&TCustomWinThread::ThreadBody, this, t);
    if (WaitThread || forceWait) return WaitForRun(t);
    return true;
}

void TCustomWinThread::StopJob(bool immediately) {
    std::lock_guard lock(FCurrentMutex);
    FCurrent->StopRequested = true;
    if (!immediately) return;
    if (FCurrent->Thread.joinable()) {
        {
            std::lock_guard tl(FCurrent->M);
            FCurrent->Abandoned = true;
        }
        FCurrent->Wake.notify_all();
        FAbandoned.push_back(FCurrent);
    }
    FCurrent = std::make_shared<TEventWinThread>();
}

bool TCustomWinThread::IsJobRunning() const {
    std::lock_guard lock(FCurrentMutex);
    return FCurrent->Executing;
}

std::shared_ptr<TEventWinThread> TCustomWinThread::CurrentOfCaller() const {
    std::lock_guard lock(FCurrentMutex);
    return FCurrent;
}

bool TCustomWinThread::IsStopRequested() const {
    if (GThisThread) return GThisThread->StopRequested || GThisThread->Abandoned;
    return CurrentOfCaller()->StopRequested;
}

void TCustomWinThread::ReapAbandoned(bool all) {
    // Taken out under the lock (a worker may be looking itself up), joined outside it.
    std::vector<std::shared_ptr<TEventWinThread>> finished;
    {
        std::lock_guard lock(FCurrentMutex);
        for (auto it = FAbandoned.begin(); it != FAbandoned.end();) {
            if (all || (*it)->Ended) {
                finished.push_back(*it);
                it = FAbandoned.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& t : finished)
        if (t->Thread.joinable()) t->Thread.join();
}

void TCustomWinThread::CallInMainThread(const std::function<void()>& proc) {
    TEventWinThread* t = GThisThread;
    IMainThreadDispatcher* disp = Dispatcher();
    if (!t || !disp || disp->IsMainThread()) {
        // Not on one of our workers: a plain blocking hand-off (or a direct call on the main thread).
        if (FDestroying) return;
        try {
            if (disp && !disp->IsMainThread())
                disp->CallAndWait(proc);
            else
                proc();
        } catch (...) {
            if (!HandleExceptions) throw;
        }
        return;
    }
    if (t->Abandoned || FDestroying) return;
    auto call = std::make_shared<TPendingCall>();
    call->Proc = proc;
    // The thread object outlives the posted call through this shared pointer; the call never
    // touches the component, which may be gone when a skipped call finally runs.
    std::shared_ptr<TEventWinThread> keep;
    {
        std::lock_guard lock(FCurrentMutex);
        for (auto& a : FAbandoned)
            if (a.get() == t) keep = a;
        if (!keep && FCurrent.get() == t) keep = FCurrent;
    }
    if (!keep) return;
    {
        std::lock_guard lock(t->M);
        ++t->PendingCalls;
    }
    t->Wake.notify_all();
    disp->Post([keep, call] {
        {
            std::lock_guard lock(keep->M);
            --keep->PendingCalls;
            if (call->Cancelled || keep->Abandoned) {
                call->Done = true;
                keep->Wake.notify_all();
                return;
            }
            call->Started = true;
        }
        try {
            call->Proc();
        } catch (...) {
            call->Error = std::current_exception();
        }
        {
            std::lock_guard lock(keep->M);
            call->Done = true;
        }
        keep->Wake.notify_all();
    });
    std::unique_lock lock(t->M);
    t->Wake.wait(lock, [&] { return call->Done || (t->Abandoned && !call->Started); });
    if (!call->Done) {
        call->Cancelled = true;
        return;
    }
    if (call->Error && !HandleExceptions && !t->Abandoned) std::rethrow_exception(call->Error);
}

void TCustomWinThread::ThreadBody(std::shared_ptr<TEventWinThread> t) {
    GThisThread = t.get();
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)),
                PriorityNice[static_cast<size_t>(t->Priority)]);
    t->Executing = true;
    const auto report = [&](std::exception_ptr error) {
        if (HandleExceptions && !FDestroying)
            CallInMainThread([&t, error] {
                if (t->JobException) t->JobException(error);
            });
    };
    // A stop that came before the start skips the job, but never the finish: the owner waits for
    // it to learn that the run is over.
    bool ended = false;
    try {
        if (t->Job && !FDestroying && !t->StopRequested) t->Job();
    } catch (...) {
        if (!HandleExceptions)
            ended = true; // the exception ends the thread
        else
            report(std::current_exception());
    }
    if (!ended) {
        try {
            CallInMainThread([&t] {
                if (t->JobFinished) t->JobFinished();
            });
        } catch (...) {
            report(std::current_exception());
        }
    }
    t->Executing = false;
    {
        std::lock_guard lock(t->M);
        t->Ended = true;
    }
    t->Wake.notify_all();
    GThisThread = nullptr;
}

bool TCustomWinThread::WaitForRun(const std::shared_ptr<TEventWinThread>& t) {
    IMainThreadDispatcher* disp = Dispatcher();
    while (true) {
        bool woke;
        {
            std::unique_lock lock(t->M);
            const auto ready = [&] { return t->Ended || t->PendingCalls > 0 || FDestroying.load(); };
            if (WaitTimeout > 0)
                woke = t->Wake.wait_for(lock, std::chrono::milliseconds(WaitTimeout), ready);
            else {
                t->Wake.wait(lock, ready);
                woke = true;
            }
        }
        if (disp) disp->RunPending();
        if (t->Ended || FDestroying) return true;
        if (!woke) {
            bool terminate = true;
            if (OnWaitTimeoutExpired) OnWaitTimeoutExpired(terminate);
            if (!terminate) return true;
            StopJob(true);
            return false;
        }
    }
}

} // namespace mw
