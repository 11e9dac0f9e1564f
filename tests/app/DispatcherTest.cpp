#include "app/Dispatcher.h"
#include "DispatcherContract.h"
#include "app/PowerActions.h"

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>
#include <vector>

namespace mw::test {

struct TQueueFrontEnd {
    std::unique_ptr<IMainThreadDispatcher> Make() { return std::make_unique<TQueueDispatcher>(); }
    void PostForeignEvent(std::atomic<bool>&) {} // a plain queue has no events of its own
    void ProcessForeignEvents() {}
};
using QueueFrontEnds = ::testing::Types<TQueueFrontEnd>;
INSTANTIATE_TYPED_TEST_SUITE_P(QueueDispatcher, DispatcherContract, QueueFrontEnds);

} // namespace mw::test

namespace mw {
namespace {

TEST(QueueDispatcher, WaitAndRunPendingWakesForAPostAndForADelayedCallComingDue) {
    using namespace std::chrono_literals;
    TQueueDispatcher d;
    EXPECT_FALSE(d.WaitAndRunPending(1ms));
    bool ran = false;
    const auto posted = std::chrono::steady_clock::now();
    d.PostDelayed(30ms, [&] { ran = true; });
    const bool early = d.WaitAndRunPending(1ms);
    // Due only after its delay: running in the short wait means a loaded machine took that long.
    if (early) {
        EXPECT_GE(std::chrono::steady_clock::now() - posted, 30ms);
    } else {
        EXPECT_TRUE(d.WaitAndRunPending(2000ms));
        EXPECT_GE(std::chrono::steady_clock::now() - posted, 30ms);
    }
    EXPECT_TRUE(ran);
    std::thread worker([&] {
        std::this_thread::sleep_for(20ms);
        d.Post([] {});
    });
    EXPECT_TRUE(d.WaitAndRunPending(2000ms));
    worker.join();
}

struct TRecordingPower : IPowerService {
    std::vector<std::string> Calls;
    void QuitApplication() override { Calls.push_back("quit"); }
    bool PowerOff() override { return Calls.push_back("poweroff"), true; }
    bool Reboot() override { return Calls.push_back("reboot"), true; }
    bool Hibernate() override { return Calls.push_back("hibernate"), true; }
    bool Suspend() override { return Calls.push_back("suspend"), true; }
};

TEST(PowerActions, CodesMapToServiceCalls) {
    TRecordingPower p;
    for (int code : {0, 1, 2, 3, 4, 5, 6, -1})
        DoPowerAction(code, p);
    EXPECT_EQ(p.Calls,
              (std::vector<std::string>{"quit", "poweroff", "poweroff", "reboot", "hibernate", "suspend"}));
}

} // namespace
} // namespace mw
