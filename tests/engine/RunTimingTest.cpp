// Timestamps the run is given: jumps far beyond a frame are taken out instead of being filled with
// hours of copied pictures or silence (and memory stays bounded whatever is filled), and
// "itsscale" stretches an input's time.
#include "EngineFixtures.h"
#include "LogCapture.h"
#include "RunJobFixture.h"

#include "../app/TempDir.h"
#include "engine/run/FFRun.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

namespace mw {
namespace {

using test::Fixture;

// The process's peak resident memory in kB, as the kernel counts it; ResetPeak starts it anew
// (false where the kernel does not allow it: the peak then counts from the process's start).
int64_t PeakKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stoll(line.substr(6));
    return -1;
}
bool ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return clear.good();
}

// Under AddressSanitizer freed blocks wait in its quarantine, and ThreadSanitizer keeps shadow
// memory for every block and thread, so the peak says nothing about what the run holds; the guard
// against a runaway run still counts, with room for the sanitizer.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool PeakIsMeaningful = false;
constexpr int64_t QuarantineKb = 512 * 1024;
#else
constexpr bool PeakIsMeaningful = true;
constexpr int64_t QuarantineKb = 0;
#endif

class RunTiming : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { test::LoadEngineLibraries(); }
    std::string Out(const std::string& name) const { return FDir.Path() + name; }
    static double Seconds(const std::string& file) {
        return std::stod(test::ProbeValue(file, "", "format=duration"));
    }
    // Runs the job and answers how much the peak memory grew meanwhile (kB). A run that grows past
    // limitKb is stopped by a watcher, so that a fault fails the test instead of the machine.
    int64_t RunMeasured(TTranscodeJob& job, int64_t limitKb, TRunResult& result) {
        ResetPeak();
        const int64_t base = PeakKb();
        std::atomic<bool> done{false};
        std::thread watcher([&] {
            while (!done && PeakKb() - base <= limitKb + QuarantineKb)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            job.StopRequested = true;
        });
        RunJob(job, {}, result);
        done = true;
        watcher.join();
        return PeakKb() - base;
    }
    test::TTempDir FDir;
};

TEST_F(RunTiming, TenHourJumpIsTakenOutWithOneLogLine) {
    test::TLogCapture log(llVerbose);
    auto job = test::MakeTestJob({Fixture("jump.mkv")}, Out("jump.mpg"),
                                 {{"vcodec", "mpeg1video"}, {"acodec", "mp2"}, {"vb", "1000000"}});
    TRunResult result;
    const int64_t grownKb = RunMeasured(*job, 256 * 1024, result);
    ASSERT_FALSE(result.Failed) << result.ErrorText;
    EXPECT_TRUE(result.Finished);
    if (PeakIsMeaningful) {
        EXPECT_LT(grownKb, 64 * 1024);
    }
    EXPECT_NEAR(Seconds(Out("jump.mpg")), 3.0, 0.2);
    int lines = 0;
    for (const auto& [level, text] : log.Lines)
        lines += text.rfind("timestamp discontinuity ", 0) == 0;
    EXPECT_EQ(lines, 1);
}

// With the jump kept (a threshold above it) and the audio sync method filling gaps, ten minutes of
// silence are encoded as they are made, not gathered first.
TEST_F(RunTiming, SilenceForAGapIsWrittenAsItIsMade) {
    auto job =
        test::MakeTestJob({Fixture("gap.mka")}, Out("gap.wav"),
                          {{"acodec", "pcm_s16le"}, {"async", "1"}, {"dts_delta_threshold", "100000"}});
    TRunResult result;
    const int64_t grownKb = RunMeasured(*job, 512 * 1024, result);
    ASSERT_FALSE(result.Failed) << result.ErrorText;
    EXPECT_TRUE(result.Finished);
    // The gap alone is 106 MB of samples.
    if (PeakIsMeaningful) {
        EXPECT_LT(grownKb, 48 * 1024);
    }
    EXPECT_NEAR(Seconds(Out("gap.wav")), 602.0, 0.2);
}

TEST_F(RunTiming, ItsScaleStretchesTheInputsTime) {
    struct TCase {
        const char* Scale;
        const char* Codec;
        double Duration;
    };
    const TCase cases[] = {{"0:2", "copy", 4.0}, {"0:0.5", "copy", 1.0}, {"0:2", "mpeg4", 4.0}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Scale) + " " + c.Codec);
        const std::string out = Out(std::string("scaled-") + c.Codec + c.Scale + ".mkv");
        auto job = test::MakeCommandLineJob(
            {"-itsscale", c.Scale, "-i", Fixture("v.mp4"), "-vcodec", c.Codec, "-an", out});
        TRunResult result;
        RunJob(*job, {}, result);
        ASSERT_FALSE(result.Failed) << result.ErrorText;
        EXPECT_NEAR(Seconds(out), c.Duration, 0.1);
    }
}

} // namespace
} // namespace mw
