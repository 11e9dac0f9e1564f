#include "download/WinThread.h"

#include "TestPump.h"

#include <gtest/gtest.h>

#include <atomic>
#include <ostream>
#include <stdexcept>
#include <vector>

namespace mw {
namespace {

using namespace std::chrono_literals;
using test::PumpFor;
using test::PumpUntil;

// Sleeps cooperatively: ends early when a stop is requested.
void CooperativeSleep(const TCustomWinThread& t, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end && !t.IsStopRequested())
        std::this_thread::sleep_for(2ms);
}

TEST(WinThread, MainThreadCallsRunInOrderOnTheMainThreadEachBeforeTheJobGoesOn) {
    TQueueDispatcher d;
    TCustomWinThread t(&d);
    std::vector<std::string> log;
    std::atomic<bool> finished{false};
    t.OnJob = [&] {
        t.CallInMainThread([&] {
            EXPECT_TRUE(d.IsMainThread());
            log.push_back("first");
        });
        log.push_back("job after first"); // the worker writes only while main waits for nothing else
        t.CallInMainThread([&] {
            EXPECT_TRUE(d.IsMainThread());
            log.push_back("second");
        });
    };
    t.OnJobFinished = [&] {
        EXPECT_TRUE(d.IsMainThread());
        finished = true;
    };
    ASSERT_TRUE(t.RunJob());
    ASSERT_TRUE(PumpUntil(d, [&] { return finished.load(); }));
    EXPECT_EQ(log, (std::vector<std::string>{"first", "job after first", "second"}));
}

TEST(WinThread, ARunWhileAJobRunsEndsItAndStartsAFreshThread) {
    TQueueDispatcher d;
    TCustomWinThread t(&d);
    std::atomic<int> runs{0}, finishedCalls{0};
    std::vector<std::thread::id> ids;
    std::mutex m;
    t.OnJob = [&] {
        {
            std::lock_guard lock(m);
            ids.push_back(std::this_thread::get_id());
        }
        ++runs;
        CooperativeSleep(t, 2000);
    };
    t.OnJobFinished = [&] { ++finishedCalls; };
    ASSERT_TRUE(t.RunJob());
    ASSERT_TRUE(PumpUntil(d, [&] { return runs == 1; }));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(t.RunJob());
    ASSERT_TRUE(PumpUntil(d, [&] { return runs == 2; }));
    t.StopJob(false);
    ASSERT_TRUE(PumpUntil(d, [&] { return finishedCalls == 1; }));
    PumpFor(d, 50);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
    // The first job was abandoned: its finishing call never ran.
    EXPECT_EQ(finishedCalls, 1);
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_NE(ids[0], ids[1]);
}

// A stop can arrive before the worker looks at it, while the job runs, or after it ended; in
// every case the run ends with exactly one finish, so an owner waiting for it never hangs.
TEST(WinThread, AStopAtAnyMomentStillEndsTheRunWithOneFinish) {
    TQueueDispatcher d;
    TCustomWinThread t(&d);
    std::atomic<int> jobs{0};
    int finished = 0;
    t.OnJob = [&] {
        ++jobs;
        CooperativeSleep(t, 2);
    };
    t.OnJobFinished = [&] { ++finished; };
    for (int i = 0; i < 400; ++i) {
        ASSERT_TRUE(t.RunJob());
        switch (i % 4) {
        case 0:
            break; // before the worker starts, most of the time
        case 1:
            std::this_thread::yield();
            break;
        case 2:
            std::this_thread::sleep_for(std::chrono::microseconds(50));
            break;
        default:
            std::this_thread::sleep_for(3ms);
            break;
        }
        t.StopJob(false);
        ASSERT_TRUE(PumpUntil(
            d, [&] { return finished == i + 1; }, 3000))
            << "run " << i;
        PumpFor(d, 0);
        ASSERT_EQ(finished, i + 1);
    }
    EXPECT_GT(jobs, 0);
}

struct TWaitCase {
    bool Terminate;
    bool ExpectedResult;
};
void PrintTo(const TWaitCase& c, std::ostream* os) {
    *os << (c.Terminate ? "terminate" : "keep_running");
}

class WinThreadWait : public ::testing::TestWithParam<TWaitCase> {};

TEST_P(WinThreadWait, AQuietPeriodLongerThanTheTimeoutRaisesTheEventOnce) {
    TQueueDispatcher d;
    TCustomWinThread t(&d);
    t.WaitThread = true;
    t.WaitTimeout = 100;
    int expired = 0;
    std::atomic<bool> stopSeen{false};
    t.OnJob = [&] {
        CooperativeSleep(t, 500);
        stopSeen = t.IsStopRequested();
    };
    t.OnWaitTimeoutExpired = [&](bool& terminate) {
        ++expired;
        terminate = GetParam().Terminate;
    };
    EXPECT_EQ(t.RunJob(), GetParam().ExpectedResult);
    EXPECT_EQ(expired, 1);
    PumpFor(d, 600);
    EXPECT_EQ(expired, 1);
    EXPECT_EQ(stopSeen, GetParam().Terminate); // a time-out stop is cooperative
}
INSTANTIATE_TEST_SUITE_P(Cases, WinThreadWait,
                         ::testing::Values(TWaitCase{true, false}, TWaitCase{false, true}));

TEST(WinThread, AWaitingRunServesMainThreadCallsAndMeasuresTheQuietPeriodAfresh) {
    TQueueDispatcher d;
    TCustomWinThread t(&d);
    t.WaitThread = true;
    t.WaitTimeout = 400;
    int calls = 0, expired = 0;
    t.OnJob = [&] {
        // Longer in all than the time-out, but never quiet for that long.
        for (int i = 0; i < 6; ++i) {
            std::this_thread::sleep_for(100ms);
            t.CallInMainThread([&] { ++calls; });
        }
    };
    t.OnWaitTimeoutExpired = [&](bool&) { ++expired; };
    EXPECT_TRUE(t.RunJob());
    EXPECT_EQ(calls, 6);
    EXPECT_EQ(expired, 0);
}

TEST(WinThread, ExceptionsOfTheJobAndOfMainThreadCallsAreHandled) {
    TQueueDispatcher d;
    TCustomWinThread t(&d);
    std::string reported;
    bool afterCall = false, finished = false;
    t.OnJob = [&] {
        t.CallInMainThread([] { throw std::runtime_error("in main call"); });
        afterCall = true; // dropped: the job goes on
        throw std::runtime_error("in job");
    };
    t.OnJobException = [&](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& ex) {
            reported = ex.what();
        }
    };
    t.OnJobFinished = [&] { finished = true; };
    t.RunJob();
    ASSERT_TRUE(PumpUntil(d, [&] { return finished; }));
    EXPECT_TRUE(afterCall);
    EXPECT_EQ(reported, "in job");
}

TEST(WinThread, WithoutExceptionHandlingAMainThreadErrorIsRaisedInTheWorker) {
    TQueueDispatcher d;
    TCustomWinThread t(&d);
    t.HandleExceptions = false;
    std::atomic<bool> caught{false};
    t.OnJob = [&] {
        try {
            t.CallInMainThread([] { throw std::runtime_error("x"); });
        } catch (const std::runtime_error&) {
            caught = true;
        }
    };
    t.RunJob();
    ASSERT_TRUE(PumpUntil(d, [&] { return caught.load(); }));
}

TEST(WinThread, DestroyingTheComponentWhileTheJobWaitsForTheMainThreadSkipsTheCall) {
    TQueueDispatcher d;
    bool ran = false;
    std::atomic<bool> posted{false};
    {
        TCustomWinThread t(&d);
        t.OnJob = [&] {
            posted = true;
            t.CallInMainThread([&] { ran = true; });
            t.CallInMainThread([&] { ran = true; });
        };
        t.RunJob();
        while (!posted)
            std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(20ms);
    } // must not deadlock although nobody pumps the queue
    PumpFor(d, 30);
    EXPECT_FALSE(ran);
}

TEST(WinThread, PrioritiesMapThroughTheTable) {
    EXPECT_EQ(ThreadPriorityValue(tpIdle), -15);
    EXPECT_EQ(ThreadPriorityValue(tpTimeCritical), 15);
    EXPECT_EQ(ThreadPriorityFromValue(2), tpHighest);
    EXPECT_EQ(ThreadPriorityFromValue(7), tpNormal);
}

} // namespace
} // namespace mw
