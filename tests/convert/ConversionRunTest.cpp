// The conversion run over the real probe and the encoder's task model, with fake transcoder jobs.
#include "../app/TempDir.h"
#include "../engine/EngineFixtures.h"
#include "../engine/FakeTaskJob.h"

#include "app/Dispatcher.h"
#include "app/UtilFuncs.h"
#include "convert/ConversionRun.h"
#include "convert/ParallelCount.h"
#include "engine/FFUtils.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace mw {
namespace {

using namespace std::chrono_literals;

struct TRecordingView : IConversionView {
    std::vector<std::string> Log;
    int Finished = 0;
    // The ended tasks counted when the run's end arrived.
    int HandledAtFinish = -1;
    const TConversionRun* Run = nullptr;
    void LogLine(const std::string& text) override { Log.push_back(text); }
    void ConversionFinished() override {
        ++Finished;
        if (Run) HandledAtFinish = Run->RunHandledTasks;
    }
};

class ConversionRunTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { test::LoadEngineLibraries(); }
    void SetUp() override {
        SetMainThreadDispatcher(&Dispatcher);
        Encoder.JobFactory = Fake.Factory();
        Settings.OutputFileDir = Out.Path();
        Select(2, 1); // Audio / MP3
    }
    void TearDown() override { SetMainThreadDispatcher(nullptr); }

    void Select(uint8_t formatClass, uint8_t format) {
        Settings.OutputSelection.OutputFormatClass = formatClass;
        *Settings.OutputSelection.FormatOfClass(formatClass) = format;
    }
    // A copy of a fixture under a chosen name and folder (inside the source folder).
    TSourceFile Source(const std::string& fixture, const std::string& relativePath) {
        const std::string path = In.Path() + relativePath;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::filesystem::copy_file(test::Fixture(fixture), path,
                                   std::filesystem::copy_options::overwrite_existing);
        TSourceFile row;
        row.FullName = path;
        TFFDecoder probe;
        if (probe.LoadFile(path)) row = SourceFileFromProbe(probe);
        return row;
    }
    void RunToEnd(const std::vector<TSourceFile>& sources) {
        Runner.StartConversionRun(sources);
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!Runner.Ended() && std::chrono::steady_clock::now() < deadline)
            Dispatcher.WaitAndRunPending(5ms);
        ASSERT_TRUE(Runner.Ended());
    }
    // The output names the tasks were built with, in order.
    std::vector<std::string> OutputNames() {
        std::vector<std::string> names;
        for (const auto& o : Fake.Board->OutputsChecked)
            names.push_back(ExtractFileName(o));
        return names;
    }
    bool PumpUntil(const std::function<bool()>& cond) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!cond() && std::chrono::steady_clock::now() < deadline)
            Dispatcher.WaitAndRunPending(2ms);
        return cond();
    }

    TQueueDispatcher Dispatcher;
    test::TTempDir In, Out;
    test::TFakeJobFactory Fake;
    TFFEncoder Encoder;
    TUserSettings Settings;
    TConversionRun Run;
    TRecordingView View;
    TConversionRunner Runner{Encoder, Settings, Run, View};
};

TEST_F(ConversionRunTest, PerFileNamesAvoidExistingFilesAndRowsWait) {
    Out.Write("a.mp3", "already here");
    const std::vector<TSourceFile> sources = {Source("av.avi", "a.avi"), Source("av.avi", "b.wmv")};
    Fake.Board->RunMs = 1;
    Runner.BuildFileTasks(sources);
    EXPECT_EQ(OutputNames(), (std::vector<std::string>{"a(1).mp3", "b.mp3"}));
    ASSERT_EQ(Runner.Rows.size(), 2u);
    EXPECT_EQ(Runner.Rows[0].Name, "a.avi");
    EXPECT_EQ(Runner.Rows[1].Name, "b.wmv");
    for (const auto& row : Runner.Rows) {
        EXPECT_EQ(row.Column2(false), "Waiting...");
        EXPECT_EQ(row.Path, In.Path());
    }
    EXPECT_EQ(Out.Read("a.mp3"), "already here");
}

TEST_F(ConversionRunTest, SameSourceNamesFromTwoFoldersGetTwoOutputs) {
    Select(0, 0); // Video / AVI
    RunToEnd({Source("av.avi", "x/clip.avi"), Source("av.avi", "y/clip.mov")});
    EXPECT_EQ(OutputNames(), (std::vector<std::string>{"clip.avi", "clip(1).avi"}));
    EXPECT_EQ(Run.RunTotalFiles, 2);
    EXPECT_EQ(Run.RunSucceeded, 2);
    EXPECT_EQ(FinishSoundName(Run), "done.wav");
    EXPECT_EQ(View.Finished, 1);
    EXPECT_EQ(Encoder.TaskCount(), 0); // cleared at the end
}

TEST_F(ConversionRunTest, AFailedTaskIsCountedWithItsErrorLineAndTheFailSound) {
    const TSourceFile first = Source("av.avi", "good.avi");
    RunToEnd({Source("text.avi", "junk.avi"), first, Source("a.mp3", "fail.mp3")});
    EXPECT_EQ(View.Log.front().rfind("File load error: ", 0), 0u);
    EXPECT_EQ(Run.RunTotalFiles, 3); // the file the probe refused is a failed file
    EXPECT_EQ(Run.RunSucceeded, 1);
    EXPECT_EQ(Run.RunErrors,
              (std::vector<std::string>{"File (1): junk.avi: Invalid data found when processing input",
                                        "File (3): fail.mp3: " + Fake.Board->FailText}));
    EXPECT_EQ(FinishSoundName(Run), "fail.wav");
    ASSERT_EQ(Runner.Rows.size(), 3u);
    EXPECT_EQ(Runner.Rows[0].Column2(false), "Failed.");
    EXPECT_EQ(Runner.Rows[1].Column2(false), "Finish.");
    EXPECT_EQ(Runner.Rows[1].Column3(false), "100%");
    EXPECT_EQ(Runner.Rows[2].Column2(false), "Failed.");
    // The finished task's own duration, not that of the refused file at the same list position.
    EXPECT_EQ(Run.RunCompletedDuration, first.RealDuration);
}

// Whatever keeps a file from being queued, it is a failed file of the run with its reason: the
// total counts every source, the error lines name the files in list order.
TEST_F(ConversionRunTest, AFileThatCannotBeQueuedIsAFailedFileWithItsReason) {
    const struct {
        const char* Name;
        std::string Folder; // below the test's output folder
        std::vector<std::pair<const char*, const char*>> Sources;
        std::vector<std::string> Errors; // % stands for the output folder
    } cases[] = {
        {"probe",
         "",
         {{"text.avi", "junk.avi"}, {"a.mp3", "a.mp3"}},
         {"File (1): junk.avi: Invalid data found when processing input"}},
        {"input",
         "",
         {{"a.mp3", "a.mp3"}, {"av.avi", "bad.avi"}},
         {"File (2): bad.avi: Invalid data found when processing input"}},
        {"output",
         "bad/",
         {{"a.mp3", "one.mp3"}, {"a.mp3", "two.mp3"}},
         {"File (1): one.mp3: %one.mp3: No such file or directory",
          "File (2): two.mp3: %two.mp3: No such file or directory"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Settings.OutputFileDir = Out.Path() + c.Folder;
        std::vector<TSourceFile> sources;
        for (const auto& [fixture, name] : c.Sources)
            sources.push_back(Source(fixture, std::string(c.Name) + "/" + name));
        RunToEnd(sources);
        EXPECT_EQ(Run.RunTotalFiles, static_cast<int>(c.Sources.size()));
        EXPECT_EQ(Run.RunSucceeded, static_cast<int>(c.Sources.size() - c.Errors.size()));
        std::vector<std::string> expected;
        for (std::string line : c.Errors) {
            if (const size_t at = line.find('%'); at != std::string::npos)
                line.replace(at, 1, Settings.OutputFileDir);
            expected.push_back(line);
        }
        EXPECT_EQ(Run.RunErrors, expected);
        ASSERT_EQ(Runner.Rows.size(), c.Sources.size());
        EXPECT_EQ(FinishSoundName(Run), "fail.wav");
    }
}

// Tasks running side by side end in any order; the summary lists the files in the list's order.
TEST_F(ConversionRunTest, ErrorLinesFollowTheListWhateverOrderTheTasksEndIn) {
    Runner.ParallelCount = 2;
    Fake.Board->SlowWhen = "first";
    Fake.Board->RunMs = 5;
    RunToEnd({Source("a.mp3", "first-fail.mp3"), Source("a.mp3", "second-fail.mp3"),
              Source("a.mp3", "third.mp3")});
    EXPECT_EQ(Run.RunErrors,
              (std::vector<std::string>{"File (1): first-fail.mp3: " + Fake.Board->FailText,
                                        "File (2): second-fail.mp3: " + Fake.Board->FailText}));
    EXPECT_EQ(Run.RunSucceeded, 1);
}

// The count of files at once reaches the encoder (0: the automatic count of the selection); the
// summary counts and its lines, and the run's end after every task's, are those of one at a time.
TEST_F(ConversionRunTest, FilesAtOnceReachTheEncoderAndTheSummaryStaysInOrder) {
    Select(0, 0); // Video / AVI
    View.Run = &Run;
    Fake.Board->RunMs = 60;
    for (const int count : {1, 2, 3, AutomaticParallelTasks}) {
        SCOPED_TRACE(count);
        Fake.Board->MaxRunning = 0;
        View.Finished = 0;
        const std::string folder = "n" + std::to_string(count) + "/";
        Runner.ParallelCount = count;
        RunToEnd({Source("av.avi", folder + "a.avi"), Source("av.avi", folder + "b.avi"),
                  Source("av.avi", folder + "c-fail.avi"), Source("av.avi", folder + "d.avi")});
        const int expected = count > 0 ? count : RunParallelCount(0, Settings.OutputSelection);
        EXPECT_EQ(Runner.EffectiveParallelCount(), expected);
        EXPECT_EQ(Fake.Board->MaxRunning, std::min(expected, 4));
        EXPECT_EQ(Run.RunTotalFiles, 4);
        EXPECT_EQ(Run.RunSucceeded, 3);
        EXPECT_EQ(Run.RunErrors, std::vector<std::string>{"File (3): c-fail.avi: " + Fake.Board->FailText});
        EXPECT_EQ(View.Finished, 1);
        EXPECT_EQ(View.HandledAtFinish, 4);
        const char* statuses[] = {"Finish.", "Finish.", "Failed.", "Finish."};
        for (size_t r = 0; r < 4; ++r)
            EXPECT_EQ(Runner.Rows[r].Column2(false), statuses[r]) << r;
    }
}

TEST_F(ConversionRunTest, AJoinStaysOneTaskWhateverTheCount) {
    Runner.JoinMode = true;
    Runner.ParallelCount = 3;
    RunToEnd({Source("a.mp3", "one.mp3"), Source("a.mp3", "two.mp3"), Source("a.mp3", "three.mp3")});
    EXPECT_EQ(Runner.EffectiveParallelCount(), 1);
    EXPECT_EQ(Fake.Board->OutputsOpened.size(), 1u);
    EXPECT_EQ(Fake.Board->MaxRunning, 1);
    EXPECT_EQ(Run.RunSucceeded, 1);
}

// Two tasks running: each row shows its own progress, "Current file:" the one started last, the
// bar their combined progress and the estimate their reached times summed; the bar goes on with
// the other's when one ends, and a report after a task's end changes nothing.
TEST_F(ConversionRunTest, RunningRowsShowTheirProgressAndThePanelTheirsCombined) {
    constexpr int64_t Second = 1000000;
    constexpr double Day = 86400;
    Fake.Board->ReportProgress = false;
    Fake.Board->RunMs = 1000;
    Fake.Board->SlowWhen = "slow"; // 10 s
    double now = 1000;
    Runner.Now = [&] { return now; };
    Runner.ParallelCount = 2;
    Runner.StartConversionRun(
        {Source("a.mp3", "slow-a.mp3"), Source("a.mp3", "quick-b.mp3"), Source("a.mp3", "slow-c.mp3")});
    ASSERT_TRUE(PumpUntil([&] {
        std::lock_guard lock(Fake.Board->Mutex);
        return Fake.Board->Running == 2;
    }));
    auto report = [&](int task, int64_t current) {
        TProgressInfo info;
        info.TaskIndex = task;
        info.CurrentDuration = current;
        info.TotalDuration = 4 * Second;
        Runner.FFEncoderProgress(info);
    };
    now += 10 / Day;
    report(0, 1 * Second);
    report(1, 3 * Second);
    EXPECT_EQ(Runner.Rows[0].Column3(false), "25%");
    EXPECT_EQ(Runner.Rows[1].Column3(false), "75%");
    EXPECT_EQ(Runner.Rows[0].Column2(false), "Converting...");
    EXPECT_EQ(Runner.Rows[1].Column2(false), "Converting...");
    EXPECT_EQ(Runner.Rows[2].Column2(false), "Waiting...");
    EXPECT_EQ(Runner.Panel.CurrentFile, In.Path() + "quick-b.mp3");
    EXPECT_EQ(Runner.Panel.ProgressBar, 50);
    EXPECT_EQ(Runner.Panel.Progress, "50%");
    const double estimated = 10 / Day * static_cast<double>(Run.RunTotalDuration) / (4 * Second);
    EXPECT_EQ(Runner.Panel.Estimated, FormatTimeSpan(estimated));
    EXPECT_EQ(Runner.Panel.TimeLeft, FormatTimeSpan(estimated - 10 / Day));

    ASSERT_TRUE(PumpUntil([&] { return Runner.Rows[1].Status == TRowStatus::Finish; }));
    EXPECT_EQ(Runner.Panel.CurrentFile, In.Path() + "slow-a.mp3"); // the one still running
    EXPECT_EQ(Runner.Panel.Progress, "25%");
    report(1, 4 * Second); // late
    report(2, 2 * Second);
    EXPECT_EQ(Runner.Rows[1].Column3(false), "100%");
    EXPECT_EQ(Runner.Rows[1].Column2(false), "Finish.");
    EXPECT_EQ(Runner.Panel.CurrentFile, In.Path() + "slow-c.mp3");
    EXPECT_EQ(Runner.Panel.Progress, "37%"); // (1 + 2) of 8 seconds
    Runner.Cancel();
    ASSERT_TRUE(PumpUntil([&] { return Runner.Ended(); }));
    EXPECT_EQ(Run.RunSucceeded, 1);
}

// A new count reaches a run under way: more files start at once.
TEST_F(ConversionRunTest, ANewCountReachesTheRunUnderWay) {
    Fake.Board->RunMs = 400;
    Runner.ParallelCount = 1;
    std::vector<TSourceFile> sources;
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3"})
        sources.push_back(Source("a.mp3", name));
    Runner.StartConversionRun(sources);
    auto running = [&] {
        std::lock_guard lock(Fake.Board->Mutex);
        return Fake.Board->Running;
    };
    ASSERT_TRUE(PumpUntil([&] { return running() == 1; }));
    Runner.SetParallelCount(3);
    EXPECT_TRUE(PumpUntil([&] { return running() == 3; }));
    ASSERT_TRUE(PumpUntil([&] { return Runner.Ended(); }));
    EXPECT_EQ(Run.RunSucceeded, 5);
}

TEST_F(ConversionRunTest, AStopWhileTheTasksAreBuiltEndsTheRunWithEveryFileCounted) {
    int asked = 0;
    Runner.BuildCancelled = [&] { return ++asked > 2; };
    RunToEnd({Source("a.mp3", "a.mp3"), Source("a.mp3", "b.mp3"), Source("a.mp3", "c.mp3"),
              Source("a.mp3", "d.mp3")});
    EXPECT_EQ(Run.RunTotalFiles, 4);
    EXPECT_EQ(Run.RunSucceeded, 0);
    EXPECT_TRUE(Run.RunErrors.empty());
    EXPECT_TRUE(Fake.Board->OutputsOpened.empty()); // nothing started
    EXPECT_EQ(Encoder.TaskCount(), 0);
    ASSERT_EQ(Runner.Rows.size(), 4u);
    EXPECT_EQ(Runner.Rows[3].Column2(false), "Failed.");
}

TEST_F(ConversionRunTest, JoinSkipsARefusedSourceAndCountsOneFile) {
    Select(0, 1); // Video / MP4
    Runner.JoinMode = true;
    Out.Write("Output_Merge.mp4", "");
    RunToEnd({Source("av.avi", "one.avi"), Source("av.avi", "bad.avi"), Source("v.mp4", "three.mp4")});
    ASSERT_EQ(Runner.Rows.size(), 2u);
    for (const auto& row : Runner.Rows)
        EXPECT_EQ(row.Path, Out.Path() + "Output_Merge(1).mp4");
    EXPECT_EQ(Runner.Rows[0].Column2(true), "320x240");
    EXPECT_EQ(Run.RunTotalFiles, 1);
    EXPECT_EQ(Run.RunSucceeded, 1);
    EXPECT_EQ(Runner.Panel.CurrentFileTitle, "Output file:");
    EXPECT_EQ(std::count_if(View.Log.begin(), View.Log.end(),
                            [](const std::string& l) { return l.rfind("Adding file error: ", 0) == 0; }),
              1);
    // The join goes on without it, and the summary says which file it left out.
    EXPECT_EQ(Run.RunErrors,
              std::vector<std::string>{"File (2): bad.avi: Invalid data found when processing input"});
}

TEST_F(ConversionRunTest, AJoinThatCannotBeMadeIsTheRunsOneFailedFile) {
    Runner.JoinMode = true;
    Settings.OutputFileDir = Out.Path() + "bad/";
    RunToEnd({Source("a.mp3", "one.mp3"), Source("a.mp3", "two.mp3")});
    EXPECT_EQ(Run.RunTotalFiles, 1);
    EXPECT_EQ(Run.RunSucceeded, 0);
    EXPECT_EQ(Run.RunErrors,
              std::vector<std::string>{"File (1): Output_Merge.mp3: No such file or directory"});
}

TEST_F(ConversionRunTest, JoinKeepsTheFirstTwentySources) {
    Runner.JoinMode = true;
    std::vector<TSourceFile> sources;
    const TSourceFile one = Source("a.mp3", "s.mp3");
    for (int i = 0; i < 25; ++i)
        sources.push_back(one);
    Runner.BuildJoinTask(sources);
    EXPECT_EQ(Runner.Rows.size(), 20u);
    EXPECT_EQ(std::count(View.Log.begin(), View.Log.end(), "Adding file error: max input files 20 reached"),
              5);
    ASSERT_EQ(Run.RunErrors.size(), 5u);
    EXPECT_EQ(Run.RunErrors[0], "File (21): s.mp3: max input files 20 reached");
}

TEST_F(ConversionRunTest, ARunWithoutTasksEndsAtOnce) {
    for (bool join : {false, true}) {
        Runner.JoinMode = join;
        View.Finished = 0;
        Runner.StartConversionRun({Source("text.avi", "bad.avi")});
        EXPECT_EQ(View.Finished, 1);
        EXPECT_EQ(Run.RunTotalFiles, 1);
        EXPECT_EQ(Run.RunSucceeded, 0);
        EXPECT_EQ(Run.RunErrors.size(), join ? 2u : 1u) << join; // a join: the file, then the join
    }
}

TEST_F(ConversionRunTest, CancelCountsStoppedTasksAsFailedWithoutErrorLines) {
    Fake.Board->RunMs = 5000;
    Runner.StartConversionRun({Source("av.avi", "a.avi"), Source("av.avi", "b.avi")});
    ASSERT_TRUE(PumpUntil([&] {
        std::lock_guard lock(Fake.Board->Mutex);
        return Fake.Board->Running == 1;
    }));
    Runner.Cancel();
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!Runner.Ended() && std::chrono::steady_clock::now() < deadline)
        Dispatcher.WaitAndRunPending(5ms);
    ASSERT_TRUE(Runner.Ended());
    EXPECT_EQ(Run.RunSucceeded, 0);
    EXPECT_TRUE(Run.RunErrors.empty());
    for (const auto& row : Runner.Rows)
        EXPECT_EQ(row.Column2(false), "Failed.");
}

TEST(ConversionTimes, EstimateAndTimeTexts) {
    constexpr double Second = 1.0 / 86400;
    // 60 s + 60 s of sources, the first done and 30 s of the second, 45 s elapsed.
    const double estimated = EstimateRunTime(45 * Second, 120000000, 60000000, 30000000);
    EXPECT_EQ(FormatTimeSpan(estimated), "0:01:00");
    EXPECT_EQ(FormatTimeSpan(estimated - 45 * Second), "0:00:15");
    EXPECT_EQ(FormatTimeSpan(45 * Second), "0:00:45");
    EXPECT_EQ(FormatTimeSpan(25 * 3600 * Second), "1:00:00");
    EXPECT_EQ(EstimateRunTime(10 * Second, 120000000, 0, 0), -1);
}

TEST(ParallelCount, EncodersOfARecord) {
    const struct {
        const char* Video;
        const char* Audio;
        bool NoVideo;
        const char* Ext;
        std::vector<std::string> Names;
    } cases[] = {
        {"libx264", "libmp3lame", false, "", {"libx264", "libmp3lame"}},
        {"copy", "aac", false, "", {"aac"}},
        {"mpeg4", "aac", true, "", {"aac"}},
        {"", "", false, "vcodec=mpeg4\nacodec=ac3<CRLF>acodec=aac", {"mpeg4", "ac3", "aac"}},
        {"libx264", "", false, "vcodec=mpeg4", {"libx264", "mpeg4"}},
    };
    for (const auto& c : cases) {
        TOutputOptions o;
        InitOutputOptions(o);
        o.VideoCodec = c.Video;
        o.AudioCodec = c.Audio;
        o.DisableVideo = c.NoVideo;
        o.ExtOptions = c.Ext;
        EXPECT_EQ(EncoderNamesOf(o), c.Names) << c.Video << " " << c.Ext;
    }
}

TEST(ParallelCount, ChoiceOrAutomaticCount) {
    test::LoadEngineLibraries();
    TOutputSelection selection;
    for (const int choice : {1, 2, 7, 40})
        EXPECT_EQ(RunParallelCount(choice, selection, 2), choice);
    // One more than the cores; for encoders that thread, half the cores plus two at most.
    const struct {
        int Cores;
        bool Threaded;
        int Count;
    } rules[] = {{0, false, 2}, {1, true, 2}, {2, false, 3},   {2, true, 3},
                 {8, false, 9}, {8, true, 6}, {64, false, 16}, {64, true, 16}};
    for (const auto& r : rules)
        EXPECT_EQ(AutomaticParallelCount(r.Cores, r.Threaded), r.Count) << r.Cores << " " << r.Threaded;
    EXPECT_TRUE(EncoderUsesThreads("libx264"));
    EXPECT_FALSE(EncoderUsesThreads("libmp3lame"));
    EXPECT_FALSE(EncoderUsesThreads("no-such-encoder"));
}

TEST(SourceFileTexts, DurationAndBitRateTexts) {
    EXPECT_EQ(DurationText(-1), "Duration is not preseted");
    EXPECT_EQ(BitRateText(128000), "128 Kbps");
    EXPECT_EQ(BitRateText(0), "Bit rate is not preseted");
    EXPECT_EQ(RowStatusText(TRowStatus::Converting), "Converting...");
}

// A clip a display matrix turns is listed with the size and shape it is seen with.
TEST(SourceFileTexts, TurnedClipShowsItsDisplayedSize) {
    test::LoadEngineLibraries();
    struct TCase {
        const char* Fixture;
        const char* Dimension;
        int Width, Height;
    };
    const TCase cases[] = {
        {"quadrant.mp4", "Dimension: 160 x 120", 160, 120},
        {"turn90.mp4", "Dimension: 120 x 160", 120, 160},
        {"turn180.mp4", "Dimension: 160 x 120", 160, 120},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Fixture);
        TFFDecoder decoder;
        ASSERT_TRUE(decoder.LoadFile(test::Fixture(c.Fixture))) << decoder.LastErrorMessage();
        const TSourceFile row = SourceFileFromProbe(decoder);
        EXPECT_EQ(row.DimensionLine, c.Dimension);
        EXPECT_EQ(row.Width, c.Width);
        EXPECT_EQ(row.Height, c.Height);
        EXPECT_NEAR(row.AspectRatio, double(c.Width) / c.Height, 0.01);
    }
}

} // namespace
} // namespace mw
