#include "app/Dispatcher.h"

#include <atomic>
#include <exception>
#include <memory>

namespace mw {

namespace {
std::atomic<IMainThreadDispatcher*> GDispatcher{nullptr};
}

IMainThreadDispatcher* MainThreadDispatcher() {
    return GDispatcher.load();
}
void SetMainThreadDispatcher(IMainThreadDispatcher* dispatcher) {
    GDispatcher.store(dispatcher);
}

TQueueDispatcher::TQueueDispatcher() : FMainThread(std::this_thread::get_id()) {}

void TQueueDispatcher::Post(std::function<void()> call) {
    {
        std::lock_guard lock(FMutex);
        FQueue.push_back(std::move(call));
    }
    FQueued.notify_all();
}

void TQueueDispatcher::CallAndWait(std::function<void()> call) {
    if (IsMainThread()) {
        call();
        return;
    }
    struct TDone {
        std::mutex M;
        std::condition_variable C;
        bool Finished = false;
        std::exception_ptr Error;
    };
    auto done = std::make_shared<TDone>();
    Post([call = std::move(call), done] {
        std::exception_ptr error;
        try {
            call();
        } catch (...) {
            error = std::current_exception();
        }
        std::lock_guard lock(done->M);
        done->Error = error;
        done->Finished = true;
        done->C.notify_all();
    });
    std::unique_lock lock(done->M);
    done->C.wait(lock, [&] { return done->Finished; });
    if (done->Error) std::rethrow_exception(done->Error);
}

bool TQueueDispatcher::IsMainThread() const {
    return std::this_thread::get_id() == FMainThread;
}

void TQueueDispatcher::RunPending() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(FMutex);
        batch.swap(FQueue);
    }
    for (auto& call : batch)
        call();
}

bool TQueueDispatcher::WaitAndRunPending(std::chrono::milliseconds timeout) {
    {
        std::unique_lock lock(FMutex);
        if (!FQueued.wait_for(lock, timeout, [&] { return !FQueue.empty(); })) return false;
    }
    RunPending();
    return true;
}

} // namespace mw
