// What a run tells about itself on request: the video statistics file ("vstats_file", "psnr"),
// the packet dump ("dump", "hex") and the session description of RTP outputs.
#include "EngineFixtures.h"
#include "LogCapture.h"
#include "LoopbackSocket.h"
#include "RunJobFixture.h"

#include "../app/TempDir.h"
#include "engine/FFRun.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

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

} // namespace
} // namespace mw
