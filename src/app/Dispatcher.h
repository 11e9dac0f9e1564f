// The one way from any thread into the main (GUI) thread.
//
// Threading contract:
// - Post may be called from any thread; the call runs later on the main thread, in posting order.
// - CallAndWait may be called from any thread; it blocks until the main thread has run the call
//   (on the main thread itself it runs at once) and re-raises whatever the call raised.
// - RunPending is called only on the main thread; it runs everything queued so far.
// The Qt application implements this with queued and blocking-queued invocations; tests and the
// command-line tool use TQueueDispatcher and pump it themselves.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace mw {

class IMainThreadDispatcher {
  public:
    virtual ~IMainThreadDispatcher() = default;
    virtual void Post(std::function<void()> call) = 0;
    virtual void CallAndWait(std::function<void()> call) = 0;
    virtual bool IsMainThread() const = 0;
    virtual void RunPending() = 0;
};

// The dispatcher the program uses; set once at start by the front end (nullptr before).
IMainThreadDispatcher* MainThreadDispatcher();
void SetMainThreadDispatcher(IMainThreadDispatcher* dispatcher);

// A plain queue; the main thread is the thread that constructed it. FMutex guards FQueue.
class TQueueDispatcher : public IMainThreadDispatcher {
  public:
    TQueueDispatcher();
    void Post(std::function<void()> call) override;
    void CallAndWait(std::function<void()> call) override;
    bool IsMainThread() const override;
    void RunPending() override;
    // Main thread: waits up to timeout for work, then runs what is queued; true when something ran.
    bool WaitAndRunPending(std::chrono::milliseconds timeout);

  private:
    std::thread::id FMainThread;
    std::mutex FMutex;
    std::condition_variable FQueued;
    std::deque<std::function<void()>> FQueue;
};

} // namespace mw
