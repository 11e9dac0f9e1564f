// The one way from any thread into the main (GUI) thread.
//
// Threading contract:
// - Post may be called from any thread; the call runs later on the main thread, in posting order.
// - PostDelayed may be called from any thread; the call runs on the main thread once the delay
//   has passed (never earlier); calls due at the same moment run in posting order.
// - CallAndWait may be called from any thread; it blocks until the main thread has run the call
//   (on the main thread itself it runs at once) and re-raises whatever the call raised.
// - RunPending is called only on the main thread. It runs the calls posted so far that are due
//   (Post, due PostDelayed, and the calls of waiting CallAndWait callers) and nothing else: no user
//   input, no window or timer events of a toolkit, so a caller that waits while pumping cannot be
//   re-entered by the user. A call posted while it runs waits for the next RunPending.
// The desktop application wakes its event loop for the queue (TQtDispatcher); tests and the
// command-line tool use TQueueDispatcher and pump it themselves.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace mw {

class IMainThreadDispatcher {
  public:
    virtual ~IMainThreadDispatcher() = default;
    virtual void Post(std::function<void()> call) = 0;
    virtual void PostDelayed(std::chrono::milliseconds delay, std::function<void()> call) = 0;
    virtual void CallAndWait(std::function<void()> call) = 0;
    virtual bool IsMainThread() const = 0;
    virtual void RunPending() = 0;
};

// The dispatcher the program uses; set once at start by the front end (nullptr before).
IMainThreadDispatcher* MainThreadDispatcher();
void SetMainThreadDispatcher(IMainThreadDispatcher* dispatcher);

// A plain queue; the main thread is the thread that constructed it. FMutex guards FQueue and
// FDelayed.
class TQueueDispatcher : public IMainThreadDispatcher {
  public:
    TQueueDispatcher();
    void Post(std::function<void()> call) override;
    void PostDelayed(std::chrono::milliseconds delay, std::function<void()> call) override;
    void CallAndWait(std::function<void()> call) override;
    bool IsMainThread() const override;
    void RunPending() override;
    // Main thread: waits up to timeout for work, then runs what is due; true when something ran.
    bool WaitAndRunPending(std::chrono::milliseconds timeout);

  protected:
    // Any thread, outside the lock: a call was queued that is due after delay (0 for Post).
    // A front end with an event loop of its own wakes it here to call RunPending.
    virtual void Queued(std::chrono::milliseconds /*delay*/) {}

  private:
    using TClock = std::chrono::steady_clock;
    void MoveDueCalls(TClock::time_point now); // FMutex held

    std::thread::id FMainThread;
    std::mutex FMutex;
    std::condition_variable FQueueChanged;
    std::deque<std::function<void()>> FQueue;
    std::multimap<TClock::time_point, std::function<void()>> FDelayed;
};

} // namespace mw
