// What a run tells about itself on request: the video statistics file ("vstats_file", "psnr"),
// the packet dump ("dump", "hex") and the session description of RTP outputs.
#include "EngineFixtures.h"
#include "LogCapture.h"
#include "LoopbackSocket.h"
#include "RunJobFixture.h"

#include "../app/TempDir.h"
#include "engine/run/FFRun.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>

namespace mw {
namespace {

class RunDiagnostics : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { test::LoadEngineLibraries(); }
    TRunResult Run(const std::string& input, const std::string& output, const test::TOptionList& options) {
        auto job = test::MakeTestJob({input}, output, options);
        TRunResult result;
        RunJob(*job, {}, result);
        return result;
    }
    test::TTempDir FDir;
};

TEST_F(RunDiagnostics, VideoStatisticsFileHasOneLinePerPicture) {
    const std::regex line(R"(frame= +\d+ q= +\d+\.\d (PSNR= +\d+\.\d\d )?f_size= +\d+ s_size= +\d+kB )"
                          R"(time= \d+\.\d{3} br= +\d+\.\dkbits/s avg_br= +\d+\.\dkbits/s type= [IPB])");
    for (const bool psnr : {false, true}) {
        SCOPED_TRACE(psnr);
        const std::string stats = FDir.Path() + "vstats.log";
        const TRunResult result =
            Run(test::Fixture("v.mp4"), FDir.Path() + (psnr ? "psnr.avi" : "v.avi"),
                {{"vcodec", "mpeg4"}, {"vstats_file", stats}, {"psnr", psnr ? "1" : "0"}});
        ASSERT_FALSE(result.Failed) << result.ErrorText;
        std::ifstream in(stats);
        int count = 0;
        for (std::string text; std::getline(in, text); ++count) {
            ASSERT_TRUE(std::regex_match(text, line)) << text;
            EXPECT_EQ(text.find("PSNR=") != std::string::npos, psnr) << text;
        }
        EXPECT_EQ(count, 50); // 2 s at 25 pictures a second
    }
    const std::string nowhere = FDir.Path() + "missing/vstats.log";
    const TRunResult result =
        Run(test::Fixture("v.mp4"), FDir.Path() + "w.avi", {{"vcodec", "mpeg4"}, {"vstats_file", nowhere}});
    EXPECT_TRUE(result.Failed);
    EXPECT_EQ(result.ErrorText, "fopen fail: " + nowhere);
}

TEST_F(RunDiagnostics, DumpLogsEveryInputPacket) {
    for (const bool hex : {false, true}) {
        SCOPED_TRACE(hex);
        test::TLogCapture log;
        const TRunResult result = Run(test::Fixture("a.mp3"), FDir.Path() + (hex ? "hex.mp3" : "a.mp3"),
                                      {{"acodec", "copy"}, {"dump", "1"}, {"hex", hex ? "1" : "0"}});
        ASSERT_FALSE(result.Failed) << result.ErrorText;
        int packets = 0, hexLines = 0;
        for (const auto& [level, text] : log.Lines) {
            packets += text.find("keyframe=") != std::string::npos;
            hexLines += text.rfind("00000000 ", 0) == 0;
        }
        EXPECT_GT(packets, 70); // 2 s of 26 ms frames
        EXPECT_EQ(hexLines > 0, hex);
    }
}

TEST_F(RunDiagnostics, RtpOutputsLogTheirSessionDescription) {
    // A bound socket keeps the port ours; nothing reads it and nothing leaves the machine.
    int udpPort = 0;
    const int receiver = test::BindLoopbackSocket(SOCK_DGRAM, udpPort);
    ASSERT_GE(receiver, 0);
    const std::string port = std::to_string(udpPort);

    std::string sdp;
    {
        test::TLogCapture log;
        const TRunResult result = Run(test::Fixture("a.mp3"), "rtp://127.0.0.1:" + port,
                                      {{"f", "rtp"}, {"acodec", "pcm_mulaw"}, {"ar", "8000"}, {"ac", "1"}});
        ::close(receiver);
        ASSERT_FALSE(result.Failed) << result.ErrorText;
        for (const auto& [level, text] : log.Lines)
            if (level == llInfo && text.rfind("SDP:\r\n", 0) == 0) sdp = text;
    }
    EXPECT_NE(sdp.find("m=audio " + port + " RTP/AVP 0"), std::string::npos) << sdp;
    EXPECT_NE(sdp.find("c=IN IP4 127.0.0.1"), std::string::npos) << sdp;

    // Other outputs describe no session.
    test::TLogCapture quiet;
    ASSERT_FALSE(Run(test::Fixture("a.mp3"), FDir.Path() + "b.mp3", {{"acodec", "copy"}}).Failed);
    EXPECT_FALSE(quiet.LoggedPart("SDP:"));
}

// One line a stream, and every time for the verbose.
TEST_F(RunDiagnostics, MultipleFramesInAPacketAreLoggedOncePerStream) {
    const std::string text = "Multiple frames in a packet from stream 0";
    for (const int verbosity : {0, 1, 2}) {
        SCOPED_TRACE(verbosity);
        test::TLogCapture log;
        auto job =
            test::MakeTestJob({test::Fixture("ima.wav")}, FDir.Path() + "ima" + std::to_string(verbosity) + ".mp2",
                              {{"acodec", "mp2"}});
        job->Options.Verbosity = verbosity;
        TRunResult result;
        RunJob(*job, {}, result);
        ASSERT_FALSE(result.Failed) << result.ErrorText;
        int lines = 0;
        for (const auto& [level, line] : log.Lines)
            lines += level == llError && line == text;
        if (verbosity < 2) {
            EXPECT_EQ(lines, verbosity);
        } else {
            EXPECT_GT(lines, 1);
        }
    }
}

// The progress report: the first video stream's counters (-1 without one, no quantiser for a
// copy), the histogram and PSNR fields on request, and the input being read.
TEST_F(RunDiagnostics, ProgressReportFields) {
    struct TCase {
        std::vector<std::string> Inputs;
        const char* Output;
        test::TOptionList Options;
        int Frame;           // in the final report; 0: any above 0
        float Quality;       // -1, or 0: any above 0
        const char* Line;    // the final report line
        std::set<int> Files; // the inputs the reports named while the run went on
    };
    const TCase cases[] = {
        {{test::Fixture("a.mp3")}, "a.mp2", {{"acodec", "mp2"}}, -1, -1, R"(size= +\d+kB time=.*)", {0}},
        {{test::Fixture("v.mp4")},
         "copy.mkv",
         {{"vcodec", "copy"}},
         50,
         -1,
         R"(frame= +50 fps= *\d+ q=-1\.0 L.*)",
         {0}},
        {{test::Fixture("v.mp4")},
         "stats.avi",
         {{"vcodec", "mpeg4"}, {"qphist", "1"}, {"psnr", "1"}},
         50,
         0,
         R"(frame= +50 fps= *\d+ q=\d+\.\d L[0-9A-F]{32}PSNR=Y:\d+\.\d\d U:\d+\.\d\d V:\d+\.\d\d \*:\d+\.\d\d size=.*)",
         {0}},
        {{test::Fixture("a.mp3"), test::Fixture("v.mp4")},
         "two.mkv",
         {{"map", "1.0"}, {"map", "0.0"}, {"acodec", "mp2"}, {"vcodec", "mpeg4"}},
         0,
         0,
         R"(frame= +\d+ .*)",
         {0, 1}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Output);
        auto job = test::MakeTestJob(c.Inputs, FDir.Path() + c.Output, c.Options);
        std::vector<TRunProgress> reports;
        TRunHooks hooks;
        hooks.ProgressPeriodUs = 0;
        hooks.OnProgress = [&](const TRunProgress& p) { reports.push_back(p); };
        TRunResult result;
        RunJob(*job, hooks, result);
        ASSERT_FALSE(result.Failed) << result.ErrorText;
        ASSERT_FALSE(reports.empty());
        const TRunProgress& last = reports.back();
        EXPECT_TRUE(last.Final);
        EXPECT_EQ(last.InputIndex, -1);
        if (c.Frame) {
            EXPECT_EQ(last.Frame, c.Frame);
        } else {
            EXPECT_GT(last.Frame, 0);
        }
        if (c.Quality < 0) {
            EXPECT_EQ(last.Quality, c.Quality);
        } else {
            EXPECT_GT(last.Quality, 0);
        }
        EXPECT_TRUE(std::regex_match(last.Line, std::regex(c.Line))) << last.Line;
        std::set<int> files;
        for (const TRunProgress& p : reports) {
            if (!p.Final) files.insert(p.InputIndex);
            // No rate before a second has passed: never more pictures a second than pictures.
            if (c.Frame < 0)
                EXPECT_EQ(p.Fps, -1);
            else
                EXPECT_LE(p.Fps, std::max(p.Frame, 0));
        }
        EXPECT_EQ(files, c.Files);
    }
}

} // namespace
} // namespace mw
