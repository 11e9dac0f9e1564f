// The download runner on the extractor road, with the real extractor program offline against the
// fake site on 127.0.0.1 (an HTML5 video page over an HLS master playlist), and stand-in programs
// for what the real one cannot be made to do offline. Saved files are checked with ffprobe.
#include "download/DownloadRunner.h"
#include "download/ExtractorProgram.h"
#include "download/ExtractorResolver.h"

#include "ExtractorSite.h"
#include "TempDir.h"
#include "TestPump.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <set>

namespace mw {
namespace {

using test::TFakeResponse;
using test::TFakeVideoSite;

struct TRecordingView : IDownloadView {
    TDownloadRunner* Runner = nullptr;
    bool Ended = false;
    std::vector<std::string> Qualities, LogLines;
    std::function<void()> OnPanel;
    void LogLine(const std::string& text) override { LogLines.push_back(text); }
    void PanelChanged() override {
        if (Runner && !Runner->Panel.Quality.empty() && (Qualities.empty() || Qualities.back() != Runner->Panel.Quality))
            Qualities.push_back(Runner->Panel.Quality);
        if (OnPanel) OnPanel();
    }
    void DownloadRunEnded() override { Ended = true; }
    bool Logged(const std::string& part) const {
        for (const auto& l : LogLines)
            if (l.find(part) != std::string::npos) return true;
        return false;
    }
};

TFakeResponse NotFound() {
    TFakeResponse r;
    r.Status = 404;
    return r;
}

class ExtractorRoadTest : public ::testing::Test {
  protected:
    TQueueDispatcher D;
    TFakeVideoSite Site;
    test::TTempDir Dir;
    TUserSettings Settings;
    TRecordingView View;
    std::unique_ptr<TDownloadRunner> Runner;

    void SetUp() override {
        Settings.OutputURLDir = Dir.Path() + "out/";
        Dir.Write("out/.keep", "");
        ::unlink((Dir.Path() + "out/.keep").c_str());
        Runner = std::make_unique<TDownloadRunner>(&D, Settings, View);
        View.Runner = Runner.get();
    }
    void UseProgram(const std::string& path) {
        ASSERT_FALSE(path.empty()) << "yt-dlp is missing: run scripts/setup.sh";
        Runner->UseExtractor(path);
    }
    void UseRealExtractor() { UseProgram(test::RealExtractor()); }
    void Run(const std::vector<std::string>& links, int timeoutMs = 60000) {
        Runner->BuildDownloadList(links);
        Runner->StartDownloadRun();
        ASSERT_TRUE(test::PumpUntil(D, [&] { return View.Ended; }, timeoutMs));
    }
    std::set<std::string> Files() const {
        std::set<std::string> names;
        DIR* d = opendir(Settings.OutputURLDir.c_str());
        while (d && (errno = 0, true)) {
            dirent* e = readdir(d);
            if (!e) break;
            const std::string n = e->d_name;
            if (n != "." && n != "..") names.insert(n);
        }
        if (d) closedir(d);
        return names;
    }
};

// 720 comes first in the order; its segments answer 404, so 360 follows and is merged with the
// audio into an MP4.
TEST_F(ExtractorRoadTest, FallsBackThroughTheOrderAndMergesVideoWithAudio) {
    UseRealExtractor();
    Settings.PreferYouTube = BestAvailableOrder; // HQ37 (not offered), HQ22, HQ35 (not offered), HQ18...
    const std::string link = test::AddHlsVideo(Site, "fb", "Fall back",
                                               {{"720_000.ts", NotFound()}, {"720_001.ts", NotFound()}});
    Run({link});
    ASSERT_EQ(Runner->DownloadRun.Succeeded, 1) << ::testing::PrintToString(View.LogLines);
    ASSERT_EQ(Runner->DownloadedFiles.size(), 1u);
    const std::string saved = Runner->DownloadedFiles[0];
    EXPECT_EQ(saved, Settings.OutputURLDir + SafeTitleStem(Runner->Rows[0].Name) + ".mp4");
    EXPECT_EQ(Files(), std::set<std::string>{saved.substr(Settings.OutputURLDir.size())}); // nothing else left
    const test::TProbeFacts f = test::ProbeFile(saved);
    EXPECT_TRUE(f.Video);
    EXPECT_TRUE(f.Audio);
    EXPECT_EQ(f.Height, 360);
    EXPECT_NEAR(f.DurationS, 2.0, 0.25);
    EXPECT_NE(f.Format.find("mp4"), std::string::npos);
    const std::vector<std::string> expected = {"[HQ22] - (MP4(H.264), 1280 x 720, Stereo 44KHz AAC)",
                                               "[HQ22] failed, try next: [HQ18]",
                                               "[HQ18] - (MP4(H.264), 640 x 360, Stereo 44KHz AAC)"};
    EXPECT_EQ(View.Qualities, expected);
    EXPECT_EQ(Runner->Rows[0].Status, "Finish.");
    EXPECT_EQ(Runner->Panel.Percentage, "100%");
    EXPECT_TRUE(View.Logged("[HQ22] could not be downloaded: ERROR:")) << ::testing::PrintToString(View.LogLines);
    EXPECT_TRUE(View.Logged("Download engine: yt-dlp ")); // its version, at the first use
}

// FLV qualities are merged into FLV; the first quality of the default order is 360 lines.
TEST_F(ExtractorRoadTest, EachQualityGetsItsContainer) {
    UseRealExtractor();
    Settings.PreferYouTube = {6, 1, 2, 3, 0, 4, 5, 7}; // HQ34 (FLV, 360 lines) first
    Run({test::AddHlsVideo(Site, "flv", "In FLV")});
    ASSERT_EQ(Runner->DownloadRun.Succeeded, 1) << ::testing::PrintToString(View.LogLines);
    const test::TProbeFacts f = test::ProbeFile(Runner->DownloadedFiles[0]);
    EXPECT_EQ(f.Format, "flv");
    EXPECT_TRUE(f.Video && f.Audio);
    EXPECT_EQ(Runner->DownloadedFiles[0].substr(Runner->DownloadedFiles[0].size() - 4), ".flv");
}

TEST_F(ExtractorRoadTest, CancelMidDownloadLeavesNoPartialFiles) {
    UseRealExtractor();
    TFakeResponse stalled;
    stalled.Body = TFakeVideoSite::MakeBody(200000, 3);
    stalled.ContentType = "video/mp2t";
    stalled.StallAfter = 30000;
    stalled.StallMs = 30000;
    const std::string one = test::AddHlsVideo(Site, "c1", "Done first");
    const std::string two = test::AddHlsVideo(Site, "c2", "Stalls", {{"360_001.ts", stalled}});
    const std::string three = test::AddHlsVideo(Site, "c3", "Never");
    Runner->BuildDownloadList({one, two, three});
    Runner->StartDownloadRun();
    ASSERT_TRUE(test::PumpUntil(D, [&] { return Site.CountRequests("/c2/360_001.ts") > 0; }, 60000));
    test::PumpFor(D, 300);
    ASSERT_EQ(Runner->Rows[1].Status, "Downloading...");
    ASSERT_EQ(Files().size(), 2u); // the first file and the private folder of the second
    Runner->Cancel();
    ASSERT_TRUE(test::PumpUntil(D, [&] { return View.Ended; }, 10000));
    EXPECT_EQ(Runner->DownloadRun.Total, 3);
    EXPECT_EQ(Runner->DownloadRun.Succeeded, 1);
    EXPECT_EQ(Runner->DownloadRun.Failed(), 2);
    ASSERT_EQ(Runner->DownloadedFiles.size(), 1u);
    EXPECT_EQ(Files(), std::set<std::string>{Runner->DownloadedFiles[0].substr(Settings.OutputURLDir.size())});
    EXPECT_EQ(Site.CountRequests("/c3/"), 0);
    EXPECT_TRUE(test::ProcessGroupGone(Runner->Extractor()->LastProcessGroup()));
}

TEST_F(ExtractorRoadTest, HostileTitlesMakeSafeNamesAndEscapedRows) {
    UseRealExtractor();
    Run({test::AddHlsVideo(Site, "t1", "Bell&#7; and/or &#27;[2J esc")});
    ASSERT_EQ(Runner->DownloadRun.Succeeded, 1) << ::testing::PrintToString(View.LogLines);
    const std::string row = Runner->Rows[0].Name;
    EXPECT_EQ(row.rfind("Bell\\x07 and/or \\x1b[2J esc", 0), 0u) << row;
    const std::string name = Runner->DownloadedFiles[0].substr(Settings.OutputURLDir.size());
    EXPECT_EQ(name.rfind("Bell_ and_or _[2J esc", 0), 0u) << name;
    EXPECT_EQ(Files(), std::set<std::string>{name});
}

// A page with no media fails with the program's reason; with an old program the reason says so.
TEST_F(ExtractorRoadTest, APageWithoutMediaFailsWithTheReason) {
    UseRealExtractor();
    const std::string page = test::AddPlainPage(Site, "p");
    const TExtractorProgram program = FindExtractor(test::RealExtractor());
    int y = 2000, m = 1, d = 1;
    ASSERT_TRUE(ExtractorVersionDate(program.Version, y, m, d)) << program.Version;
    std::tm released{};
    released.tm_year = y - 1900;
    released.tm_mon = m - 1;
    released.tm_mday = d;
    const std::time_t fresh = ::timegm(&released) + 86400;
    const struct {
        const char* Name;
        std::time_t Now;
        std::string Reason;
    } cases[] = {
        {"a fresh program", fresh, "failed: ERROR: "},
        {"an old one", fresh + 400 * 86400, "failed: " + ExtractorTooOldText(program.Version)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Runner->Extractor()->Now = [&] { return c.Now; };
        View = TRecordingView{};
        View.Runner = Runner.get();
        Run({page});
        EXPECT_EQ(Runner->Rows[0].Status, "Failed.");
        EXPECT_EQ(Runner->DownloadRun.Succeeded, 0);
        EXPECT_TRUE(View.Logged(c.Reason)) << ::testing::PrintToString(View.LogLines);
        EXPECT_TRUE(View.Logged("Unsupported URL")) << ::testing::PrintToString(View.LogLines);
        EXPECT_TRUE(Files().empty());
    }
}

// A site that never answers: the program is ended at the time limit, with its group.
TEST_F(ExtractorRoadTest, AHangingExtractorEndsAtTheTimeLimit) {
    UseRealExtractor();
    Runner->Extractor()->ResolveTimeLimitMs = 1500;
    TFakeResponse stall;
    stall.Body = "<html>";
    stall.StallAfter = 0;
    stall.StallMs = 30000;
    Site.Set("/hang.html", stall);
    Run({Site.URL("/hang.html")}, 20000);
    EXPECT_EQ(Runner->Rows[0].Status, "Failed.");
    EXPECT_TRUE(View.Logged("failed: The download engine did not answer within 2 s."))
        << ::testing::PrintToString(View.LogLines);
    EXPECT_TRUE(test::ProcessGroupGone(Runner->Extractor()->LastProcessGroup()));
}

// What the real program cannot be made to do offline, a stand-in does: an error saying the site
// changed, lying progress, and a saved path outside the download folder.
TEST_F(ExtractorRoadTest, StandInsForTheSiteChangingAndForLies) {
    test::TTempDir bin;
    const std::string answer =
        "{\"title\":\"Stand-in\",\"formats\":[{\"format_id\":\"18\",\"protocol\":\"https\",\"vcodec\":\"avc1\","
        "\"acodec\":\"mp4a.40.2\",\"height\":360}]}";
    const std::string common = "case \"$1\" in --version) echo 2026.11.01; exit 0;; esac\n"
                               "for a in \"$@\"; do [ \"$a\" = -J ] && { echo '" + answer + "'; exit 0; }; done\n";
    const struct {
        const char* Name;
        std::string Download;
        bool Saved;
        std::string Logged;
    } cases[] = {
        {"the site changed",
         "echo 'ERROR: [youtube] x: Unable to extract yt_initial_data; please report this issue' >&2\nexit 1\n", false,
         ExtractorTooOldText("2026.11.01")},
        {"a path outside the folder", "echo /etc/passwd\nexit 0\n", false, "did not name a file it saved"},
        {"lying progress",
         "out=''; prev=''; for a in \"$@\"; do [ \"$prev\" = -o ] && out=\"$a\"; prev=\"$a\"; done\n"
         "echo '[mediawizard-progress] 999999999999999999999 10 NA -5 nan downloading'\n"
         "echo '[mediawizard-progress] 5000 10 NA inf 1e400 downloading'\n"
         "printf 'data' > \"$out\"\necho \"$out\"\n",
         true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string program = test::WriteScript(bin, std::string("stand-in-") + std::to_string(&c - cases), common + c.Download);
        UseProgram(program);
        View = TRecordingView{};
        View.Runner = Runner.get();
        Run({"https://video.example/watch?v=1"});
        EXPECT_EQ(Runner->DownloadRun.Succeeded, c.Saved ? 1 : 0) << ::testing::PrintToString(View.LogLines);
        if (!c.Logged.empty()) {
            EXPECT_TRUE(View.Logged(c.Logged)) << ::testing::PrintToString(View.LogLines);
        }
        if (c.Saved) {
            EXPECT_EQ(Files(), std::set<std::string>{"Stand-in.mp4"});
            EXPECT_EQ(Dir.Read("out/Stand-in.mp4"), "data");
            EXPECT_EQ(Runner->Panel.Percentage, "100%");
            EXPECT_EQ(Runner->Rows[0].Size, "0.00MB");
        } else {
            EXPECT_TRUE(Files().empty());
        }
    }
}

} // namespace
} // namespace mw
