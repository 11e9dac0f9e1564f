// The contract every IMainThreadDispatcher keeps, as a typed test suite. A front end instantiates
// it with a fixture type that provides:
//   std::unique_ptr<IMainThreadDispatcher> Make();   // on the main thread
//   void PostForeignEvent(std::atomic<bool>& ran);   // an event of the front end that is not ours
//   void ProcessForeignEvents();                     // lets the front end handle its own events
#pragma once

#include "app/Dispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

namespace mw::test {

template <typename TFrontEnd> class DispatcherContract : public ::testing::Test {
  protected:
    TFrontEnd FrontEnd;
    std::unique_ptr<IMainThreadDispatcher> D = FrontEnd.Make();

    // Runs the pending calls until done holds, for at most two seconds.
    bool PumpUntil(const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            D->RunPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
};
TYPED_TEST_SUITE_P(DispatcherContract);

TYPED_TEST_P(DispatcherContract, RunPendingRunsPostedCallsInOrderAndNothingElse) {
    auto& d = *this->D;
    std::vector<int> order;
    std::atomic<bool> foreign{false};
    this->FrontEnd.PostForeignEvent(foreign);
    std::thread worker([&] {
        EXPECT_FALSE(d.IsMainThread());
        d.Post([&] { order.push_back(1); });
        d.Post([&] {
            order.push_back(2);
            d.Post([&] { order.push_back(3); }); // waits for the next round
        });
    });
    worker.join();
    EXPECT_TRUE(d.IsMainThread());
    EXPECT_TRUE(order.empty());
    d.RunPending();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_FALSE(foreign) << "RunPending handled an event that was not a posted call";
    d.RunPending();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    this->FrontEnd.ProcessForeignEvents();
    // The front end's own loop still runs the queue, exactly once per call.
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TYPED_TEST_P(DispatcherContract, CallAndWaitIsServedByRunPendingAndReraises) {
    auto& d = *this->D;
    std::atomic<bool> returned{false}, caught{false};
    std::thread::id ranOn;
    std::thread worker([&] {
        d.CallAndWait([&] { ranOn = std::this_thread::get_id(); });
        returned = true;
        try {
            d.CallAndWait([] { throw std::runtime_error("boom"); });
        } catch (const std::runtime_error&) {
            caught = true;
        }
    });
    const bool served = this->PumpUntil([&] { return caught.load(); });
    worker.join();
    ASSERT_TRUE(served);
    EXPECT_TRUE(returned);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    int n = 0;
    d.CallAndWait([&] { ++n; }); // on the main thread: at once
    EXPECT_EQ(n, 1);
}

TYPED_TEST_P(DispatcherContract, DelayedCallsRunOnlyOnceDueInDueOrder) {
    using namespace std::chrono_literals;
    auto& d = *this->D;
    std::vector<int> order;
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration firstAt{};
    d.PostDelayed(120ms, [&] { order.push_back(2); });
    d.PostDelayed(60ms, [&] {
        order.push_back(1);
        firstAt = std::chrono::steady_clock::now() - start;
    });
    d.Post([&] { order.push_back(0); });
    d.RunPending();
    // What ran depends on how long a loaded machine took to get here, never on less.
    const auto ranBy = std::chrono::steady_clock::now() - start;
    if (ranBy < 60ms) {
        EXPECT_EQ(order, (std::vector<int>{0}));
    } else if (ranBy < 120ms) {
        EXPECT_TRUE(order == (std::vector<int>{0}) || order == (std::vector<int>{0, 1}));
    }
    ASSERT_TRUE(this->PumpUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_GE(firstAt, 60ms);
}

REGISTER_TYPED_TEST_SUITE_P(DispatcherContract, RunPendingRunsPostedCallsInOrderAndNothingElse,
                            CallAndWaitIsServedByRunPendingAndReraises, DelayedCallsRunOnlyOnceDueInDueOrder);

} // namespace mw::test
