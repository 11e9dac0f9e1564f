#include "app/Dispatcher.h"

#include <algorithm>
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
    FQueueChanged.notify_all();
    Queued(std::chrono::milliseconds(0));
}

void TQueueDispatcher::PostDelayed(std::chrono::milliseconds delay, std::function<void()> call) {
    if (delay.count() < 0) delay = std::chrono::milliseconds(0);
    {
        std::lock_guard lock(FMutex);
        FDelayed.emplace(TClock::now() + delay, std::move(call));
    }
    FQueueChanged.notify_all();
    Queued(delay);
}

void TQueueDispatcher::MoveDueCalls(TClock::time_point now) {
    // Equal keys keep their insertion order, so calls due together run in posting order.
    while (!FDelayed.empty() && FDelayed.begin()->first <= now) {
        FQueue.push_back(std::move(FDelayed.begin()->second));
        FDelayed.erase(FDelayed.begin());
    }
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
        MoveDueCalls(TClock::now());
        batch.swap(FQueue);
    }
    for (auto& call : batch)
        call();
}

bool TQueueDispatcher::WaitAndRunPending(std::chrono::milliseconds timeout) {
    const auto end = TClock::now() + timeout;
    {
        std::unique_lock lock(FMutex);
        while (true) {
            const auto now = TClock::now();
            MoveDueCalls(now);
            if (!FQueue.empty()) break;
            if (now >= end) return false;
            const auto until = FDelayed.empty() ? end : std::min(end, FDelayed.begin()->first);
            FQueueChanged.wait_until(lock, until);
        }
    }
    RunPending();
    return true;
}

} // namespace mw
