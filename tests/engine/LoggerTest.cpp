#include "EngineFixtures.h"
#include "app/Dispatcher.h"
#include "engine/probe/FFDecode.h"
#include "engine/FFEntries.h"
#include "engine/FFLoad.h"
#include "engine/FFLog.h"
#include "engine/FFUtils.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace mw {
namespace {

using ::testing::ElementsAre;

struct TLine {
    uint32_t ThreadId;
    TLogLevel Level;
    std::string Text;
    bool operator==(const TLine&) const = default;
};

class LoggerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::LoadEngineLibraries();
        ResetLogState();
        FLogger.SetLogLevel(llInfo);
        FLogger.OnLog = [this](const void*, uint32_t threadId, TLogLevel level, const std::string& text) {
            std::lock_guard lock(FMutex);
            FLines.push_back({threadId, level, text});
        };
    }
    void TearDown() override { ResetLogState(); }

    std::vector<std::string> Texts() {
        std::lock_guard lock(FMutex);
        std::vector<std::string> texts;
        for (const auto& l : FLines)
            texts.push_back(l.Text);
        return texts;
    }

    TFFLogger FLogger;
    std::mutex FMutex;
    std::vector<TLine> FLines;
};

TEST_F(LoggerTest, RepeatedLinesAreCountedNotRepeated) {
    for (int i = 0; i < 3; ++i)
        FFApi.av_log(nullptr, AV_LOG_ERROR, "same line\n");
    FFApi.av_log(nullptr, AV_LOG_ERROR, "other line\n");
    EXPECT_THAT(Texts(), ElementsAre("same line", "    Last message repeated 2 times", "other line"));
}

TEST_F(LoggerTest, PartialLinesAreJoinedPerThread) {
    FFApi.av_log(nullptr, AV_LOG_ERROR, "part one, ");
    FFApi.av_log(nullptr, AV_LOG_ERROR, "part %s\n", "two");
    // A worker's partial line stays apart from another thread's line.
    std::promise<void> finish;
    std::thread worker([&, done = finish.get_future()]() mutable {
        FFApi.av_log(nullptr, AV_LOG_ERROR, "worker begins ");
        done.wait();
        FFApi.av_log(nullptr, AV_LOG_ERROR, "and ends\n");
    });
    // Wait until the worker's partial line is pending, then finish a line of our own first.
    for (int i = 0; i < 200; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    FFApi.av_log(nullptr, AV_LOG_ERROR, "main ");
    FFApi.av_log(nullptr, AV_LOG_ERROR, "line\n");
    finish.set_value();
    worker.join();
    EXPECT_THAT(Texts(), ElementsAre("part one, part two", "main line", "worker begins and ends"));
}

TEST_F(LoggerTest, LongMessagesAreNotTruncated) {
    const std::string longText(5000, 'x');
    FFApi.av_log(nullptr, AV_LOG_ERROR, "%s\n", longText.c_str());
    EXPECT_THAT(Texts(), ElementsAre(longText));
}

TEST_F(LoggerTest, ContextObjectsPrefixTheirLines) {
    AVFormatContext* ic = FFApi.avformat_alloc_context();
    FFApi.av_log(ic, AV_LOG_ERROR, "hello\n");
    FFApi.avformat_free_context(ic);
    ASSERT_EQ(Texts().size(), 1u);
    EXPECT_THAT(Texts()[0], ::testing::MatchesRegex("\\[NULL @ 0x[0-9a-f]+\\]hello"));
}

TEST_F(LoggerTest, LevelFilterAppliesToLibraryAndEngineMessages) {
    FLogger.SetLogLevel(llError);
    EXPECT_EQ(FFLibraryLevel(), AV_LOG_ERROR);
    FFApi.av_log(nullptr, AV_LOG_WARNING, "library warning\n");
    FFApi.av_log(nullptr, AV_LOG_ERROR, "library error\n");
    FLogger.Log(nullptr, llWarning, "engine warning");
    FLogger.Log(nullptr, llVerbose, "engine verbose");
    FLogger.LogFormat(nullptr, llError, "engine error %d", 7);
    FLogger.SetLogLevel(llQuiet);
    FLogger.Log(nullptr, llVerbose, "quiet verbose");
    EXPECT_THAT(Texts(), ElementsAre("library error", "engine verbose", "engine error 7"));
    std::lock_guard lock(FMutex);
    EXPECT_EQ(FLines[0].Level, llError);
    EXPECT_EQ(FLines[1].Level, llVerbose);
}

TEST_F(LoggerTest, LevelWordsAndNumbers) {
    const struct {
        const char* Word;
        TLogLevel Level;
    } cases[] = {{"quiet", llQuiet},     {"PANIC", llPanic}, {"fatal", llFatal},     {"Error", llError},
                 {"warning", llWarning}, {"info", llInfo},   {"verbose", llVerbose}, {"debug", llDebug},
                 {"-8", llQuiet},        {"-3", llPanic},    {"17", llError},        {"47", llVerbose},
                 {"99", llDebug}};
    for (const auto& c : cases) {
        FLogger.SetLogLevel(llInfo);
        EXPECT_TRUE(FLogger.SetLogLevelText(c.Word)) << c.Word;
        EXPECT_EQ(FLogger.LogLevel(), c.Level) << c.Word;
    }
    FLogger.SetLogLevel(llWarning);
    EXPECT_FALSE(FLogger.SetLogLevelText("loud"));
    EXPECT_EQ(FLogger.LogLevel(), llWarning);
}

TEST_F(LoggerTest, LevelMappingBothWays) {
    const struct {
        int FFLevel;
        TLogLevel Level;
    } cases[] = {{-100, llQuiet}, {-8, llQuiet},   {-7, llPanic}, {-1, llPanic},   {0, llPanic},
                 {7, llPanic},    {8, llFatal},    {16, llError}, {24, llWarning}, {32, llInfo},
                 {40, llVerbose}, {47, llVerbose}, {48, llDebug}, {56, llDebug}};
    for (const auto& c : cases)
        EXPECT_EQ(LogLevelOfFF(c.FFLevel), c.Level) << c.FFLevel;
    for (int l = llQuiet; l <= llDebug; ++l)
        EXPECT_EQ(LogLevelOfFF(FFLevelOf(static_cast<TLogLevel>(l))), l);
}

TEST_F(LoggerTest, OnlyOneLoggerMayExist) {
    EXPECT_EQ(&FFLogger(), &FLogger);
    try {
        TFFLogger second;
        FAIL() << "a second logger was allowed";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "Allow creating only one instance of TFFLogger.");
    }
}

TEST_F(LoggerTest, WorkerLinesAreDeliveredOnTheMainThread) {
    TQueueDispatcher dispatcher;
    SetMainThreadDispatcher(&dispatcher);
    uint32_t deliveredOn = 0;
    FLogger.OnLog = [&](const void*, uint32_t threadId, TLogLevel, const std::string& text) {
        deliveredOn = CurrentThreadId();
        FLines.push_back({threadId, llError, text});
    };
    uint32_t workerId = 0;
    std::thread worker([&] {
        workerId = CurrentThreadId();
        FFApi.av_log(nullptr, AV_LOG_ERROR, "from worker\n");
    });
    for (int i = 0; i < 100 && FLines.empty(); ++i)
        dispatcher.WaitAndRunPending(std::chrono::milliseconds(50));
    worker.join();
    SetMainThreadDispatcher(nullptr);
    ASSERT_EQ(FLines.size(), 1u);
    EXPECT_EQ(FLines[0].Text, "from worker");
    EXPECT_EQ(FLines[0].ThreadId, workerId);
    EXPECT_EQ(deliveredOn, CurrentThreadId());
}

// ---- interrupt registry ----

bool AnswerData(void* data, void*) {
    return *static_cast<bool*>(data);
}
bool AlwaysFalse(void*, void*) {
    return false;
}

TEST(InterruptCBTest, FirstEntryOfTheThreadDecides) {
    const uint32_t me = CurrentThreadId();
    int owner = 0;
    bool yes = true;
    EXPECT_FALSE(TInterruptCB::Check(me));
    TInterruptCB::Add(me, &owner, AlwaysFalse, nullptr);
    TInterruptCB::Add(me, &owner, AnswerData, &yes);
    TInterruptCB::Add(me, &owner, AlwaysFalse, &yes); // same thread, owner and check: ignored
    EXPECT_FALSE(TInterruptCB::Check(me));
    EXPECT_FALSE(TInterruptCB::Check(me + 1));
    TInterruptCB::Remove(me, &owner, AlwaysFalse);
    EXPECT_TRUE(TInterruptCB::Check(me));
    TInterruptCB::Remove(me, &owner, AnswerData);
    EXPECT_FALSE(TInterruptCB::Check(me));
}

TEST(InterruptCBTest, OpeningAFileGivesUpWhenItsThreadIsInterrupted) {
    test::LoadEngineLibraries();
    const std::string file = test::Fixture("av.avi");
    bool stop = true;
    int owner = 0;
    TInterruptCB::Add(CurrentThreadId(), &owner, AnswerData, &stop);
    TFFDecoder decoder;
    const bool loaded = decoder.LoadFile(file);
    TInterruptCB::Remove(CurrentThreadId(), &owner, AnswerData);
    EXPECT_FALSE(loaded);
    EXPECT_EQ(decoder.LastErrorMessage(), file + ": Immediate exit requested");
    EXPECT_TRUE(decoder.LoadFile(file)) << decoder.LastErrorMessage();
}

} // namespace
} // namespace mw
