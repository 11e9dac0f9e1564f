// Subtitles through the transcoding run: text subtitles decoded and encoded into the output's
// subtitle codec, their event times and texts checked with ffprobe and the ffmpeg tool.
#include "EngineFixtures.h"
#include "LogCapture.h"
#include "RunJobFixture.h"

#include "../app/TempDir.h"
#include "engine/run/FFRun.h"
#include "engine/run/FFSubtitleOut.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace mw {
namespace {

const char* const Srt = "1\n00:00:00,500 --> 00:00:01,500\nHello\n\n"
                        "2\n00:00:02,000 --> 00:00:03,250\nSecond line\n\n"
                        "3\n00:00:04,000 --> 00:00:05,000\nThird\n";

const char* const Ass =
    "[Script Info]\nScriptType: v4.00+\nPlayResX: 384\nPlayResY: 288\n\n[V4+ Styles]\n"
    "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, "
    "Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, "
    "MarginL, MarginR, MarginV, Encoding\n"
    "Style: Default,Arial,16,&Hffffff,&Hffffff,&H0,&H0,0,0,0,0,100,100,0,0,1,1,0,2,10,10,10,0\n\n"
    "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
    "Dialogue: 0,0:00:00.50,0:00:01.50,Default,,0,0,0,,Hello\n"
    "Dialogue: 0,0:00:02.00,0:00:03.25,Default,,0,0,0,,Second line\n"
    "Dialogue: 0,0:00:04.00,0:00:05.00,Default,,0,0,0,,Third\n";

struct TEvent {
    double Start, Duration;
};
const TEvent Events[] = {{0.5, 1.0}, {2.0, 1.25}, {4.0, 1.0}};

class RunSubtitle : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { test::LoadEngineLibraries(); }
    std::string Write(const std::string& name, const char* text) {
        std::ofstream(FDir.Path() + name) << text;
        return FDir.Path() + name;
    }
    // The subtitle events of the first subtitle stream; MP4 fills gaps with empty samples, left out.
    static std::vector<TEvent> EventsOf(const std::string& file) {
        std::stringstream in(
            test::ProbeValue(file, "-select_streams s:0", "packet=pts_time,duration_time,size"));
        std::vector<TEvent> events;
        double start = 0, duration = 0;
        int size = 0;
        while (in >> start >> duration >> size)
            if (size > 2) events.push_back({start, duration});
        return events;
    }
    test::TTempDir FDir;
};

TEST_F(RunSubtitle, TextSubtitlesKeepTheirTimesAndTexts) {
    const struct {
        const char* Input;
        const char* Output;
        const char* Codec; // "" = the muxer's default
        const char* Expected;
    } cases[] = {
        {"in.srt", "mov.mp4", "mov_text", "mov_text"},
        {"in.srt", "ass.mkv", "", "ass"},
        {"in.srt", "srt.mkv", "srt", "subrip"},
        {"in.ass", "out.srt", "", "subrip"},
    };
    Write("in.srt", Srt);
    Write("in.ass", Ass);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Output);
        const std::string out = FDir.Path() + c.Output;
        test::TOptionList options;
        if (*c.Codec) options.push_back({"scodec", c.Codec});
        auto job = test::MakeTestJob({FDir.Path() + c.Input}, out, options);
        TRunResult result;
        ASSERT_TRUE(RunJob(*job, {}, result)) << result.ErrorText;
        EXPECT_EQ(test::ProbeValue(out, "-select_streams s:0", "stream=codec_name"), c.Expected);
        const std::vector<TEvent> events = EventsOf(out);
        ASSERT_EQ(events.size(), std::size(Events));
        for (size_t i = 0; i < events.size(); ++i) {
            EXPECT_NEAR(events[i].Start, Events[i].Start, 0.011) << i;
            EXPECT_NEAR(events[i].Duration, Events[i].Duration, 0.011) << i;
        }
        int status = 0;
        const std::string text =
            test::RunCommand("ffmpeg -nostdin -v error -i " + test::ShellQuote(out) + " -f srt -", status);
        for (const char* line : {"Hello", "Second line", "Third"})
            EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
    }
}

TEST_F(RunSubtitle, BitmapSubtitlesCannotBecomeText) {
    // Text cues cannot be drawn into DVB bitmaps.
    const std::string out = FDir.Path() + "dvb.ts";
    auto job = test::MakeTestJob({Write("in.srt", Srt)}, out, {{"scodec", "dvbsub"}});
    TRunResult result;
    EXPECT_FALSE(RunJob(*job, {}, result));
    EXPECT_EQ(result.ErrorText,
              "Subtitle encoding currently only possible from text to text or bitmap to bitmap");
}

TEST_F(RunSubtitle, BitmapSubtitleIsLeftOutOfAMuxersTextDefault) {
    const std::string folder = test::RealMediaFolder();
    if (folder.empty()) GTEST_SKIP() << "no real media folder";
    // Nobody asked for the camera's PGS subtitle; Matroska's default subtitle encoder is a text one.
    const std::string pgs = folder + "/drewnoakes-metadata-extractor-images/Sony ILCE-7M3 (A7M3).mts";
    const std::string out = FDir.Path() + "camera.mkv";
    auto job = test::MakeTestJob({pgs}, out, {{"t", "0.3"}});
    TRunResult result;
    ASSERT_TRUE(RunJob(*job, {}, result)) << result.ErrorText;
    EXPECT_EQ(test::ProbeValue(out, "", "stream=codec_type"), "video\naudio");

    // Beside a text subtitle, the bitmap one (first, and as large) gives way to it.
    const std::string mixed = FDir.Path() + "mixed.mkv";
    int status = 0;
    test::RunCommand("ffmpeg -nostdin -v error -y -i " + test::ShellQuote(pgs) + " -i " +
                         test::ShellQuote(Write("in.srt", Srt)) +
                         " -map 0:v -map 0:s -map 1:s -c:v copy -c:s:0 dvdsub -c:s:1 srt " +
                         test::ShellQuote(mixed),
                     status);
    ASSERT_EQ(status, 0);
    const std::string both = FDir.Path() + "both.mkv";
    auto second = test::MakeTestJob({mixed}, both, {{"vcodec", "mpeg4"}});
    ASSERT_TRUE(RunJob(*second, {}, result)) << result.ErrorText;
    EXPECT_EQ(test::ProbeValue(both, "-select_streams s", "stream=codec_name"), "ass");
}

TEST_F(RunSubtitle, DvbSubtitlesAreShownAndCleared) {
    const std::string folder = test::RealMediaFolder();
    if (folder.empty()) GTEST_SKIP() << "no real media folder";
    // A camera file's PGS subtitle ends "with the next one"; as DVD subtitles it has an end.
    const std::string pgs = folder + "/drewnoakes-metadata-extractor-images/Sony ILCE-7M3 (A7M3).mts";
    const std::string dvd = FDir.Path() + "dvd.mkv";
    int status = 0;
    test::RunCommand("ffmpeg -nostdin -v error -y -i " + test::ShellQuote(pgs) + " -map 0:s:0 -c:s dvdsub " +
                         test::ShellQuote(dvd),
                     status);
    ASSERT_EQ(status, 0);
    const struct {
        std::string Input;
        size_t Packets; // show, and clear when the end is known
    } cases[] = {{pgs, 1}, {dvd, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Input);
        const std::string out = FDir.Path() + "dvb" + std::to_string(c.Packets) + ".ts";
        auto job = test::MakeTestJob({c.Input}, out, {{"vn", "1"}, {"an", "1"}, {"scodec", "dvbsub"}});
        TRunResult result;
        ASSERT_TRUE(RunJob(*job, {}, result)) << result.ErrorText;
        // MPEG-TS lists the stream twice, in its program and on its own.
        EXPECT_EQ(test::ProbeValue(out, "-select_streams s:0", "stream=codec_name").substr(0, 13),
                  "dvb_subtitle\n");
        std::stringstream in(test::ProbeValue(out, "-select_streams s:0", "packet=pts_time,size"));
        std::vector<std::pair<double, int>> packets;
        double pts = 0;
        int size = 0;
        while (in >> pts >> size)
            packets.push_back({pts, size});
        ASSERT_EQ(packets.size(), c.Packets);
        EXPECT_GT(packets[0].second, 1000); // the picture
        if (c.Packets == 2) {
            EXPECT_LT(packets[1].second, 100); // no regions
            EXPECT_GT(packets[1].first, packets[0].first);
        }
    }
}

TEST_F(RunSubtitle, PacketWithoutPtsIsDroppedOrFailsWithXerror) {
    for (const bool xerror : {false, true}) {
        SCOPED_TRACE(xerror);
        TTranscodeJob job;
        job.Options.ExitOnError = xerror;
        const TRunHooks hooks;
        TRunState run(job, hooks);
        TRunOutputStream ost;
        const AVSubtitle subtitle{};
        test::TLogCapture log;
        try {
            DoSubtitleOut(run, ost, subtitle, RunTimeNotSet);
            EXPECT_FALSE(xerror);
            EXPECT_TRUE(log.Logged(llError, "Subtitle packets must have a pts"));
        } catch (const TRunError& e) {
            EXPECT_TRUE(xerror);
            EXPECT_STREQ(e.what(), "Subtitle packets must have a pts");
        }
        EXPECT_EQ(ost.FrameNumber, 0);
    }
}

} // namespace
} // namespace mw
