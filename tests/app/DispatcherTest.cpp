#include "app/Dispatcher.h"
#include "app/PowerActions.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>
#include <vector>

namespace mw {
namespace {

TEST(QueueDispatcher, PostedCallsRunOnTheMainThreadInOrder) {
    TQueueDispatcher d;
    std::vector<int> order;
    std::thread worker([&] {
        EXPECT_FALSE(d.IsMainThread());
        d.Post([&] { order.push_back(1); });
        d.Post([&] { order.push_back(2); });
    });
    worker.join();
    EXPECT_TRUE(order.empty());
    d.RunPending();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_FALSE(d.WaitAndRunPending(std::chrono::milliseconds(1)));
}

TEST(QueueDispatcher, CallAndWaitBlocksAndReraises) {
    TQueueDispatcher d;
    std::thread::id ranOn;
    bool returned = false, caught = false;
    std::thread worker([&] {
        d.CallAndWait([&] { ranOn = std::this_thread::get_id(); });
        returned = true;
        try {
            d.CallAndWait([] { throw std::runtime_error("boom"); });
        } catch (const std::runtime_error&) {
            caught = true;
        }
    });
    while (!caught)
        d.WaitAndRunPending(std::chrono::milliseconds(50));
    worker.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    // On the main thread the call runs at once.
    int n = 0;
    d.CallAndWait([&] { ++n; });
    EXPECT_EQ(n, 1);
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
