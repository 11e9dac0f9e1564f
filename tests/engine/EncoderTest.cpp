// The encoder's task model and events, with fake jobs in place of the transcoder.
#include "EngineFixtures.h"
#include "FakeTaskJob.h"

#include "../app/TempDir.h"

#include "app/Dispatcher.h"
#include "engine/tasks/FFEncode.h"
#include "engine/options/FFOptionRecords.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <malloc.h>
#include <mutex>
#include <thread>
#include <vector>

namespace mw {
namespace {

using namespace std::chrono_literals;
using test::TFakeJobLog;

struct TNotice {
    TTerminateInfo Info;
    std::thread::id Thread;
};

class EncoderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetMainThreadDispatcher(&Dispatcher);
        Encoder.JobFactory = Fake.Factory();
        Encoder.OnTerminate = [this](const void*, const TTerminateInfo& info) {
            std::lock_guard lock(Mutex);
            Notices.push_back({info, std::this_thread::get_id()});
        };
    }
    void TearDown() override { SetMainThreadDispatcher(nullptr); }

    void AddTasks(int count) {
        for (int i = 0; i < count; ++i) {
            const int index = Encoder.AddTask("in" + std::to_string(i) + ".avi");
            ASSERT_EQ(index, i) << Encoder.LastErrorMessage();
            ASSERT_TRUE(Encoder.SetOutputFile(index, "out" + std::to_string(i) + ".mp4"));
        }
    }
    bool RunEnded() {
        std::lock_guard lock(Mutex);
        return !Notices.empty() && Notices.back().Info.TaskIndex == -1;
    }
    void PumpUntilRunEnded() {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!RunEnded() && std::chrono::steady_clock::now() < deadline)
            Dispatcher.WaitAndRunPending(5ms);
        ASSERT_TRUE(RunEnded());
    }
    std::vector<int> NoticeIndices() {
        std::lock_guard lock(Mutex);
        std::vector<int> indices;
        for (const auto& n : Notices)
            indices.push_back(n.Info.TaskIndex);
        return indices;
    }
    // What the job that checked the index-th task (counting every AddTask) was given.
    TFakeJobLog& Job(int index) { return *Fake.CheckLogs().at(static_cast<size_t>(index)); }
    // Pumps until cond holds (10 s at most).
    bool PumpUntil(const std::function<bool()>& cond) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!cond() && std::chrono::steady_clock::now() < deadline)
            Dispatcher.WaitAndRunPending(2ms);
        return cond();
    }
    int Running() {
        std::lock_guard lock(Fake.Board->Mutex);
        return Fake.Board->Running;
    }

    TQueueDispatcher Dispatcher;
    test::TFakeJobFactory Fake;
    TFFEncoder Encoder;
    std::mutex Mutex;
    std::vector<TNotice> Notices;
};

TEST_F(EncoderTest, OneAtATimeGivesTaskNoticesInOrderThenTheRunNotice) {
    AddTasks(3);
    Encoder.StartTask(1);
    PumpUntilRunEnded();
    EXPECT_EQ(NoticeIndices(), (std::vector<int>{0, 1, 2, -1}));
    EXPECT_EQ(Fake.Board->MaxRunning, 1);
    std::lock_guard lock(Mutex);
    EXPECT_TRUE(Notices.back().Info.Finished);
    EXPECT_FALSE(Notices.back().Info.Failed);
    for (const auto& n : Notices)
        EXPECT_NE(n.Thread, std::this_thread::get_id()); // notifier threads, never the main thread
    for (auto id : Fake.Board->RunThreads)
        EXPECT_NE(id, std::this_thread::get_id());
}

TEST_F(EncoderTest, TwoAtOnceStartTheThirdWhenOneEnds) {
    Fake.Board->RunMs = 150;
    AddTasks(3);
    Encoder.StartTask(2);
    PumpUntilRunEnded();
    EXPECT_EQ(Fake.Board->MaxRunning, 2);
    const auto indices = NoticeIndices();
    ASSERT_EQ(indices.size(), 4u);
    EXPECT_EQ(indices.back(), -1);
    EXPECT_NE(indices[2], -1);
}

// The count changes while the run works: a higher one starts waiting tasks at once, a lower one
// lets the running tasks end before another starts.
TEST_F(EncoderTest, ParallelCountChangesDuringTheRun) {
    Fake.Board->RunMs = 300;
    AddTasks(6);
    Encoder.StartTask(1);
    ASSERT_TRUE(PumpUntil([&] { return Running() == 1; }));
    Encoder.SetParallelCount(3);
    ASSERT_TRUE(PumpUntil([&] { return Running() == 3; }));
    Encoder.SetParallelCount(1);
    ASSERT_TRUE(PumpUntil([&] { return Running() <= 1; }));
    {
        std::lock_guard lock(Fake.Board->Mutex);
        Fake.Board->MaxRunning = Fake.Board->Running;
    }
    PumpUntilRunEnded();
    EXPECT_EQ(Fake.Board->MaxRunning, 1);
    EXPECT_EQ(NoticeIndices().size(), 7u);
}

TEST_F(EncoderTest, SynchronousRunDeliversEveryNoticeBeforeReturning) {
    AddTasks(3);
    Encoder.StartTask(0);
    EXPECT_EQ(NoticeIndices(), (std::vector<int>{0, 1, 2, -1}));
    std::lock_guard lock(Mutex);
    for (const auto& n : Notices)
        EXPECT_EQ(n.Thread, std::this_thread::get_id());
}

TEST_F(EncoderTest, RunNoticeHandlerMayClearTheTasks) {
    AddTasks(2);
    Encoder.OnTerminate = [this](const void*, const TTerminateInfo& info) {
        if (info.TaskIndex < 0) Encoder.ClearTasks();
        std::lock_guard lock(Mutex);
        Notices.push_back({info, std::this_thread::get_id()});
    };
    Encoder.StartTask(0);
    EXPECT_EQ(Encoder.TaskCount(), 0);
    EXPECT_FALSE(Encoder.Working());
}

TEST_F(EncoderTest, OperationsRefuseWhileWorkingUntilClearTasks) {
    AddTasks(1);
    Encoder.StartTask(1);
    PumpUntilRunEnded();
    const std::pair<const char*, std::function<void()>> refused[] = {
        {"Cannot AddTask while working.", [&] { Encoder.AddTask("x.avi"); }},
        {"Cannot AddInputFile while working.", [&] { Encoder.AddInputFile(0, "x.avi"); }},
        {"Cannot SetOutputFile while working.", [&] { Encoder.SetOutputFile(0, "x.mp4"); }},
        {"Cannot RemoveTask while working.", [&] { Encoder.RemoveTask(0); }},
        {"Cannot StartTask while working.", [&] { Encoder.StartTask(1); }},
    };
    for (const auto& [text, call] : refused) {
        try {
            call();
            ADD_FAILURE() << "no refusal: " << text;
        } catch (const EEncoderError& e) {
            EXPECT_STREQ(e.what(), text);
        }
    }
    EXPECT_EQ(Encoder.TaskCount(), 1);
    Encoder.ClearTasks();
    EXPECT_EQ(Encoder.TaskCount(), 0);
    EXPECT_EQ(Encoder.AddTask("y.avi"), 0);
}

TEST_F(EncoderTest, ClearTasksRefusesWhileTheRunIsUnderWay) {
    Fake.Board->RunMs = 2000;
    AddTasks(1);
    Encoder.StartTask(1);
    EXPECT_THROW(
        {
            try {
                Encoder.ClearTasks();
            } catch (const EEncoderError& e) {
                EXPECT_STREQ(e.what(), "Cannot ClearTasks while working.");
                throw;
            }
        },
        EEncoderError);
    Encoder.Stop(true);
    PumpUntilRunEnded();
}

TEST_F(EncoderTest, ProgressIntervalHasAFloorOf100) {
    EXPECT_EQ(Encoder.ProgressInterval(), 500);
    for (const auto& [set, stored] : {std::pair{50, 100}, {100, 100}, {150, 150}}) {
        Encoder.SetProgressInterval(set);
        EXPECT_EQ(Encoder.ProgressInterval(), stored);
    }
}

TEST_F(EncoderTest, InputAndOutputLimitsOfTwenty) {
    ASSERT_EQ(Encoder.AddTask("in0.avi"), 0);
    for (int i = 1; i < MaxTaskFiles; ++i)
        ASSERT_TRUE(Encoder.AddInputFile(0, "in" + std::to_string(i) + ".avi"));
    EXPECT_FALSE(Encoder.AddInputFile(0, "in20.avi"));
    EXPECT_EQ(Encoder.LastErrorMessage(), "max input files 20 reached");
    for (int i = 0; i < MaxTaskFiles; ++i)
        ASSERT_TRUE(Encoder.SetOutputFile(0, "out" + std::to_string(i) + ".mp4"));
    EXPECT_FALSE(Encoder.SetOutputFile(0, "out20.mp4"));
    EXPECT_EQ(Encoder.LastErrorMessage(), "max output files 20 reached");
    EXPECT_THROW(Encoder.AddInputFile(5, "x.avi"), std::out_of_range);
}

TEST_F(EncoderTest, OpenFailuresReportTheJobText) {
    EXPECT_EQ(Encoder.AddTask("bad.avi"), -1);
    EXPECT_EQ(Encoder.LastErrorMessage(), "bad.avi: Invalid data found when processing input");
    EXPECT_EQ(Encoder.TaskCount(), 0);
    ASSERT_EQ(Encoder.AddTask("good.avi"), 0);
    EXPECT_FALSE(Encoder.AddInputFile(0, "bad2.avi"));
    EXPECT_EQ(Encoder.LastErrorMessage(), "bad2.avi: Invalid data found when processing input");
    TOutputOptions output;
    output.ExtOptions = "bogus=1";
    EXPECT_FALSE(Encoder.SetOutputFile(0, "out.mp4", &output));
    EXPECT_EQ(Encoder.LastErrorMessage(), "Unrecognized option \"bogus\"");
    output.ExtOptions.clear();
    output.HookBitsPixel = 12;
    EXPECT_FALSE(Encoder.SetOutputFile(0, "out.mp4", &output));
    EXPECT_EQ(Encoder.LastErrorMessage(), "Invalid BitsPixel 12");
}

std::vector<std::string> OptionValues(const TFakeJobLog& job, const std::string& name) {
    std::vector<std::string> values;
    for (const auto& [n, v] : job.Options)
        if (n == name) values.push_back(v);
    return values;
}

TEST_F(EncoderTest, RecordFieldsWinOverExtOptionsCodecLines) {
    struct TCase {
        std::string Field, Ext, Expected;
    };
    const TCase cases[] = {
        {"libx264", "vcodec=mpeg4", "libx264"},
        {"", "vcodec=mpeg4\r\nvcodec=h263", "mpeg4"},
    };
    for (const TCase& c : cases) {
        const int task = Encoder.AddTask("in.avi");
        TOutputOptions output;
        output.VideoCodec = c.Field;
        output.ExtOptions = c.Ext;
        ASSERT_TRUE(Encoder.SetOutputFile(task, "out.mp4", &output));
        EXPECT_EQ(OptionValues(Job(task), "vcodec"), std::vector<std::string>{c.Expected}) << c.Ext;
    }
}

TEST(OutputRecord, LanguagesAndInputSyncComeFromTheRecordEvenWhenEmpty) {
    struct TCase {
        std::string Language;
        bool InputSync;
        std::string Ext;
    };
    const TCase cases[] = {
        {"", false, "alang=eng\nvlang=fre\nslang=ger\nisync=1"},
        {"spa", true, "alang=eng\nvlang=fre\nslang=ger\nisync=0"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Ext);
        const auto log = std::make_shared<test::TFakeJobLog>();
        test::TFakeJob job(std::make_shared<test::TFakeJobBoard>(), log);
        TOutputOptions output;
        InitOutputOptions(output);
        output.AudioLanguage = output.VideoLanguage = output.SubtitleLanguage = c.Language;
        output.InputSync = c.InputSync;
        output.ExtOptions = c.Ext;
        TOutputDefaults defaults;
        std::string error;
        ASSERT_TRUE(ApplyOutputRecord(job, output, defaults, error)) << error;
        for (const char* name : {"alang", "vlang", "slang"}) {
            ASSERT_FALSE(OptionValues(*log, name).empty()) << name;
            EXPECT_EQ(OptionValues(*log, name).back(), c.Language) << name;
        }
        ASSERT_FALSE(OptionValues(*log, "isync").empty());
        EXPECT_EQ(OptionValues(*log, "isync").back(), c.InputSync ? "1" : "0");
    }
}

TEST_F(EncoderTest, ExtOptionsLinesJoinedByTheCrlfMarkBothApply) {
    const int task = Encoder.AddTask("in.avi");
    TOutputOptions output;
    output.ExtOptions = " Flags=+loop<CRLF>qmin=10 ";
    ASSERT_TRUE(Encoder.SetOutputFile(task, "out.mp4", &output));
    EXPECT_EQ(OptionValues(Job(task), "flags"), std::vector<std::string>{"+loop"});
    EXPECT_EQ(OptionValues(Job(task), "qmin"), std::vector<std::string>{"10"});
}

TEST_F(EncoderTest, OutputOptionsApplyInOrderTargetFirstAndExtraStreamsAfterOpening) {
    const int task = Encoder.AddTask("in.avi");
    TOutputOptions output;
    output.AudioCodec = "mp2";
    output.AudioBitrate = 224000;
    output.VideoBitrate = 4000000;
    output.FrameSize = "320x240";
    output.TargetType = 3;
    output.TargetNorm = 1;
    output.ExtOptions = "acodec=ac3\nnewaudio=";
    ASSERT_TRUE(Encoder.SetOutputFile(task, "out.mpg", &output));
    const auto& options = Job(task).Options;
    ASSERT_FALSE(options.empty());
    EXPECT_EQ(options.front(), (std::pair<std::string, std::string>{"target", "dvd/pal/pal"}));
    // The row's own audio codec keeps its own bit rate under a target; the video rate is the target's.
    EXPECT_EQ(OptionValues(Job(task), "ab"), std::vector<std::string>{"224000"});
    EXPECT_TRUE(OptionValues(Job(task), "vb").empty());
    // newaudio takes the first acodec line of ExtOptions, after the output is open.
    ASSERT_GE(options.size(), 2u);
    EXPECT_EQ(options[options.size() - 2], (std::pair<std::string, std::string>{"acodec", "ac3"}));
    EXPECT_EQ(options.back().first, "newaudio");
    const auto sizeAt =
        std::find(options.begin(), options.end(), std::pair<std::string, std::string>{"s", "320x240"});
    const auto rateAt =
        std::find_if(options.begin(), options.end(), [](const auto& o) { return o.first == "ab"; });
    EXPECT_LT(rateAt, sizeAt); // size comes after the record's fields
}

TEST_F(EncoderTest, AudioBitRatesAboveTheEncodersReachAreCapped) {
    const struct {
        const char* Codec;
        int32_t Asked;
        const char* Applied;
    } cases[] = {
        {"libmp3lame", 705000, "320000"}, {"libmp3lame", 192000, "192000"}, {"libvorbis", 705000, "705000"}};
    for (const auto& c : cases) {
        const int task = Encoder.AddTask("in.avi");
        TOutputOptions output;
        output.AudioCodec = c.Codec;
        output.AudioBitrate = c.Asked;
        ASSERT_TRUE(Encoder.SetOutputFile(task, "out.avi", &output));
        EXPECT_EQ(OptionValues(Job(task), "ab"), std::vector<std::string>{c.Applied})
            << c.Codec << " " << c.Asked;
    }
}

TEST_F(EncoderTest, StopEndsRunningTasksAndNotifiesTheOthersThenTheRun) {
    for (const bool wait : {true, false}) {
        SCOPED_TRACE(wait ? "waiting" : "not waiting");
        Notices.clear();
        Encoder.ClearTasks();
        Fake.Board->RunThreads.clear();
        Fake.Board->RunMs = 5000;
        AddTasks(3);
        Encoder.StartTask(1);
        ASSERT_TRUE(PumpUntil([&] { return Running() == 1; })); // the first task is in its run
        const auto before = std::chrono::steady_clock::now();
        Encoder.Stop(wait);
        EXPECT_LT(std::chrono::steady_clock::now() - before, 3s);
        PumpUntilRunEnded();
        const auto indices = NoticeIndices();
        ASSERT_EQ(indices.size(), 4u);
        EXPECT_EQ(indices.back(), -1);
        std::vector<int> tasks(indices.begin(), indices.end() - 1);
        std::sort(tasks.begin(), tasks.end());
        EXPECT_EQ(tasks, (std::vector<int>{0, 1, 2}));
        std::lock_guard lock(Mutex);
        for (size_t i = 0; i + 1 < Notices.size(); ++i) {
            EXPECT_FALSE(Notices[i].Info.Finished);
            EXPECT_FALSE(Notices[i].Info.Failed);
        }
        EXPECT_EQ(Fake.Board->RunThreads.size(), 1u); // tasks 1 and 2 never ran
    }
}

TEST_F(EncoderTest, AFailedTaskEndsAloneWithItsText) {
    const int ok = Encoder.AddTask("a.avi");
    Encoder.SetOutputFile(ok, "a.mp4");
    const int failing = Encoder.AddTask("b.avi");
    Encoder.SetOutputFile(failing, "fail.mp4");
    Encoder.StartTask(1);
    PumpUntilRunEnded();
    std::lock_guard lock(Mutex);
    ASSERT_EQ(Notices.size(), 3u);
    EXPECT_TRUE(Notices[0].Info.Finished);
    EXPECT_TRUE(Notices[1].Info.Failed);
    EXPECT_EQ(Notices[1].Info.ErrorMessage, Fake.Board->FailText);
}

TEST_F(EncoderTest, ProgressReachesTheMainThreadCoalescedEvenWithoutATotal) {
    Fake.Board->InputDurationUs = -1;
    Fake.Board->RunMs = 300;
    AddTasks(1);
    int reports = 0;
    bool onMain = true;
    int64_t total = 0;
    Encoder.OnProgress = [&](const void*, PProgressInfo info) {
        ++reports;
        onMain = onMain && Dispatcher.IsMainThread();
        total = info->TotalDuration;
        std::this_thread::sleep_for(50ms); // a slow main thread
    };
    Encoder.StartTask(1);
    PumpUntilRunEnded();
    EXPECT_GT(reports, 0);
    EXPECT_LT(reports, 20); // the job reported about every 2 ms; a queue would hold ~150
    EXPECT_TRUE(onMain);
    EXPECT_EQ(total, -1);
}

TEST_F(EncoderTest, AJoinOutputIsOpenedAfterEveryInputAndRunsThemAll) {
    ASSERT_EQ(Encoder.AddTask("a.avi"), 0);
    ASSERT_TRUE(Encoder.AddInputFile(0, "b.avi"));
    TOutputOptions output;
    output.Join = true;
    ASSERT_TRUE(Encoder.SetOutputFile(0, "Output_Merge.avi", &output));
    EXPECT_TRUE(Encoder.Task(0).JoinOutput());
    int64_t total = 0;
    Encoder.OnProgress = [&](const void*, PProgressInfo info) { total = info->TotalDuration; };
    Encoder.StartTask(1);
    PumpUntilRunEnded();
    std::shared_ptr<TFakeJobLog> run;
    for (const auto& log : *Fake.Logs)
        if (!log->Check) run = log;
    ASSERT_TRUE(run);
    EXPECT_EQ(run->Inputs, (std::vector<std::string>{"a.avi", "b.avi"}));
    EXPECT_EQ(run->Outputs, std::vector<std::string>{"Output_Merge.avi"});
    EXPECT_EQ(total, 2 * Fake.Board->InputDurationUs);
}

// A list of any length holds no job while it waits: each task is checked on a job of its own,
// which is gone before the next task is added, and its file is created only when it starts.
TEST_F(EncoderTest, AWaitingTaskIsOnlyItsRecord) {
    Fake.Board->RunMs = 1;
    AddTasks(50);
    EXPECT_EQ(Fake.Board->JobsAlive, 0);
    EXPECT_EQ(Fake.Board->MaxJobsAlive, 1);
    EXPECT_EQ(Fake.Board->OutputsChecked.size(), 50u);
    EXPECT_TRUE(Fake.Board->OutputsOpened.empty());
    EXPECT_EQ(Encoder.Task(49).StoredInputOptions(0).FileName, "");
    EXPECT_THROW(Encoder.Task(49).StoredOutputOptions(1), std::out_of_range);
    Encoder.StartTask(1);
    PumpUntilRunEnded();
    EXPECT_EQ(Fake.Board->MaxJobsAlive, 1); // a finished task gave its job back at once
    ASSERT_EQ(Fake.Board->OutputsOpened.size(), 50u);
    EXPECT_EQ(Fake.Board->OutputsOpened.front(), "out0.mp4");
    EXPECT_EQ(Fake.Board->OutputsOpened.back(), "out49.mp4");
}

// What a task is built from is applied again, in the order given, when it starts; what changed
// since it was checked fails that task with the opening's text, and the others still run.
TEST_F(EncoderTest, ATaskIsBuiltAgainFromItsRecordWhenItStarts) {
    ASSERT_EQ(Encoder.AddTask("in0.avi"), 0);
    TOutputOptions output;
    output.VideoCodec = "mpeg4";
    ASSERT_TRUE(Encoder.SetOutputFile(0, "out0.avi", &output));
    ASSERT_TRUE(Encoder.AddInputFile(0, "in0b.avi")); // after the output: checked from the record again
    EXPECT_EQ(Job(1).Inputs, (std::vector<std::string>{"in0.avi", "in0b.avi"}));
    ASSERT_EQ(Encoder.AddTask("in1.avi"), 1);
    ASSERT_TRUE(Encoder.SetOutputFile(1, "out1.avi"));
    Fake.Board->RefuseWhenRunning = "in1.avi";
    Encoder.StartTask(1);
    PumpUntilRunEnded();
    std::lock_guard lock(Mutex);
    ASSERT_EQ(Notices.size(), 3u);
    // Task notices run on notifier threads of their own, so they may arrive in either order.
    auto noticeOf = [&](int task) -> const TTerminateInfo& {
        for (const auto& n : Notices)
            if (n.Info.TaskIndex == task) return n.Info;
        ADD_FAILURE() << "no notice for task " << task;
        return Notices.back().Info;
    };
    EXPECT_TRUE(noticeOf(0).Finished);
    EXPECT_TRUE(noticeOf(1).Failed);
    EXPECT_EQ(noticeOf(1).ErrorMessage, "in1.avi: No such file or directory");
    std::vector<std::shared_ptr<TFakeJobLog>> runs;
    for (const auto& log : *Fake.Logs)
        if (!log->Check) runs.push_back(log);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0]->Inputs, (std::vector<std::string>{"in0.avi", "in0b.avi"}));
    EXPECT_EQ(OptionValues(*runs[0], "vcodec"), std::vector<std::string>{"mpeg4"});
    EXPECT_TRUE(runs[1]->Outputs.empty());
}

TEST_F(EncoderTest, InputRecordFieldsWinOverItsExtOptions) {
    TInputOptions input;
    input.FileFormat = "avi";
    input.StartTime = 1500000;
    input.ExtOptions = "f=mp4\nvf=scale=10:10";
    ASSERT_EQ(Encoder.AddTask("in.avi", &input), 0);
    const auto& options = Job(0).Options;
    EXPECT_EQ(options, (std::vector<std::pair<std::string, std::string>>{
                           {"f", "mp4"}, {"f", "avi"}, {"ss", "1.500000"}}));
    EXPECT_EQ(Encoder.Task(0).StoredInputOptions(0).FileName, "in.avi");
}

// The real transcoder's tasks while they wait: no descriptor, no library object, no output file;
// had each kept its job (about a megabyte and two descriptors), a hundred would show plainly.
TEST(TaskRecords, WaitingTasksOfTheTranscoderHoldNothingButTheirRecords) {
    test::LoadEngineLibraries();
    test::TTempDir dir;
    const std::string input = test::Fixture("av.avi");
    auto descriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator());
    };
    // The allocator's bytes in use (every arena, mapped blocks included): what the process holds,
    // whatever the allocator keeps cached. (AddressSanitizer's allocator counts elsewhere; the
    // descriptors still tell there.)
    auto inUseKb = [] {
        const struct mallinfo2 info = mallinfo2();
        return static_cast<long>((info.uordblks + info.hblkhd) / 1024);
    };
    TFFEncoder encoder;
    TOutputOptions output;
    InitOutputOptions(output);
    output.VideoCodec = "libx264";
    output.AudioCodec = "aac";
    // One task first, so that the libraries' own one-time allocations are behind us.
    ASSERT_EQ(encoder.AddTask(input), 0) << encoder.LastErrorMessage();
    ASSERT_TRUE(encoder.SetOutputFile(0, dir.Path() + "first.mp4", &output)) << encoder.LastErrorMessage();
    const auto fdsBefore = descriptors();
    const long heapBefore = inUseKb();
    constexpr int Tasks = 100;
    for (int i = 1; i <= Tasks; ++i) {
        ASSERT_EQ(encoder.AddTask(input), i) << encoder.LastErrorMessage();
        ASSERT_TRUE(encoder.SetOutputFile(i, dir.Path() + std::to_string(i) + ".mp4", &output))
            << encoder.LastErrorMessage();
    }
    EXPECT_EQ(descriptors(), fdsBefore);
    EXPECT_LT(inUseKb() - heapBefore, 5 * 1024);
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()),
        0);
    EXPECT_EQ(encoder.Task(Tasks).BuildJob(), nullptr);
}

} // namespace
} // namespace mw
