#include "download/DownloadRunner.h"

#include "FakeVideoSite.h"
#include "TempDir.h"
#include "TestPump.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace mw {
namespace {

using test::TFakeResponse;
using test::TFakeVideoSite;

struct TRecordingView : IDownloadView {
    TDownloadRunner* Runner = nullptr;
    bool Ended = false;
    std::vector<std::string> Qualities; // distinct quality label changes, in order
    std::vector<std::string> ScriptErrors, LogLines;
    std::function<void()> OnPanel;
    void LogLine(const std::string& text) override { LogLines.push_back(text); }
    void PanelChanged() override {
        if (Runner && (Qualities.empty() || Qualities.back() != Runner->Panel.Quality) &&
            !Runner->Panel.Quality.empty())
            Qualities.push_back(Runner->Panel.Quality);
        if (OnPanel) OnPanel();
    }
    void ScriptError(const std::string& m) override { ScriptErrors.push_back(m); }
    void DownloadRunEnded() override { Ended = true; }
};

TFakeResponse Stream(size_t size, unsigned seed) {
    TFakeResponse r;
    r.Body = TFakeVideoSite::MakeBody(size, seed);
    r.ContentType = "video/x-flv";
    return r;
}

class DownloadRunnerTest : public ::testing::Test {
  protected:
    TQueueDispatcher D;
    TFakeVideoSite Site;
    test::TTempDir Dir;
    TUserSettings Settings;
    TRecordingView View;
    std::unique_ptr<TDownloadRunner> Runner;

    void SetUp() override {
        SetVideoSiteDomain(Site.Domain());
        Settings.OutputURLDir = Dir.Path();
        Runner = std::make_unique<TDownloadRunner>(&D, Settings, View);
        Runner->ScriptWaitMs = 0;
        View.Runner = Runner.get();
    }
    void TearDown() override { SetVideoSiteDomain("youtube.com"); }

    void Run(const std::vector<std::string>& links) {
        Runner->BuildDownloadList(links);
        Runner->StartDownloadRun();
        ASSERT_TRUE(test::PumpUntil(
            D, [&] { return View.Ended; }, 20000));
    }
    std::set<std::string> FilesInFolder() const {
        std::set<std::string> names;
        DIR* d = opendir(Dir.Path().c_str());
        while (dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.insert(e->d_name);
        closedir(d);
        return names;
    }
};

TEST_F(DownloadRunnerTest, FallsBackThroughThePreferenceOrderToTheFirstStreamThatWorks) {
    TFakeResponse missing;
    missing.Status = 404;
    TFakeResponse dropped = Stream(200000, 3);
    dropped.DropAfter = 50000;
    const auto link =
        Site.AddVideo("v1", "A &amp; B: 1/2", {{18, missing}, {35, dropped}, {22, Stream(300000, 22)}});
    Run({link});
    EXPECT_EQ(Runner->DownloadRun.Succeeded, 1);
    ASSERT_EQ(Runner->DownloadedFiles.size(), 1u);
    EXPECT_EQ(Runner->DownloadedFiles[0], Dir.Path() + "A & B_ 1_2.mp4");
    EXPECT_EQ(Dir.Read("A & B_ 1_2.mp4"), TFakeVideoSite::MakeBody(300000, 22));
    EXPECT_EQ(FilesInFolder(), std::set<std::string>{"A & B_ 1_2.mp4"}); // no partial file left
    EXPECT_EQ(Runner->Rows[0].Status, "Finish.");
    EXPECT_EQ(Runner->Rows[0].URL, Site.URL(Site.InfoTarget("v1")));
    EXPECT_EQ(Runner->Panel.Percentage, "100%");
    const std::vector<std::string> expected = {
        "[HQ18] - (MP4(H.264), 640 x 360, Stereo 44KHz AAC)", "[HQ18] failed, try next: [HQ35]",
        "[HQ35] - (FLV, 854 x 480, Stereo 44KHz AAC)", "[HQ35] failed, try next: [HQ22]",
        "[HQ22] - (MP4(H.264), 1280 x 720, Stereo 44KHz AAC)"};
    EXPECT_EQ(View.Qualities, expected);
}

TEST_F(DownloadRunnerTest, AVideoWithOnlyTheDefaultQualityFailsAllEightAttempts) {
    const auto link = Site.AddVideo("v5", "Only five", {{5, Stream(1000, 5)}});
    Run({link});
    EXPECT_EQ(Runner->DownloadRun.Succeeded, 0);
    EXPECT_EQ(Runner->DownloadRun.Attempt, 9);
    EXPECT_EQ(Runner->Rows[0].Status, "Failed.");
    EXPECT_EQ(Site.CountRequests("/videoplayback"), 0); // HQ5 is never a fall-back
    EXPECT_EQ(View.Qualities.back(), "[HQ34] failed, try next: [HQ37]");
    EXPECT_TRUE(FilesInFolder().empty());
}

TEST_F(DownloadRunnerTest, WithThePreferenceOffOnlyTheDefaultQualityIsTried) {
    Settings.PreferYouTubeQuality = false;
    const auto without = Site.AddVideo("n5", "No five", {{18, Stream(1000, 18)}});
    const auto with = Site.AddVideo("y5", "Five", {{5, Stream(2000, 5)}, {18, Stream(1000, 18)}});
    Run({without, with});
    EXPECT_EQ(Runner->Rows[0].Status, "Failed.");
    EXPECT_EQ(Runner->Rows[1].Status, "Finish.");
    EXPECT_EQ(Runner->DownloadedFiles, std::vector<std::string>{Dir.Path() + "Five.flv"});
    EXPECT_EQ(Dir.Read("Five.flv"), TFakeVideoSite::MakeBody(2000, 5));
    EXPECT_EQ(Site.CountRequests("/videoplayback?id=n5"), 0);
}

TEST_F(DownloadRunnerTest, PagesWithoutTitleAreSavedUnderAVisibleName) {
    Settings.PreferYouTubeQuality = false;
    const auto a = Site.AddVideo("t1", "", {{5, Stream(100, 1)}}, false);
    const auto b = Site.AddVideo("t2", "", {{5, Stream(200, 2)}}, false);
    Run({a, b});
    EXPECT_EQ(Runner->DownloadedFiles,
              (std::vector<std::string>{Dir.Path() + "_.flv", Dir.Path() + "_(1).flv"}));
}

TEST_F(DownloadRunnerTest, ThreeLinksWithTheSecondFailingCountTwoOfThree) {
    const auto a = Site.AddVideo("a", "First", {{18, Stream(50000, 1)}});
    const std::string broken = Site.URL("/watch?v=gone");
    TFakeResponse gone;
    gone.Status = 404;
    Site.Set("/watch?v=gone", gone);
    const auto c = Site.AddVideo("c", "Third", {{22, Stream(70000, 3)}});
    Run({a, broken, c});
    EXPECT_EQ(Runner->DownloadRun.Total, 3);
    EXPECT_EQ(Runner->DownloadRun.Succeeded, 2);
    EXPECT_EQ(Runner->DownloadRun.Failed(), 1);
    EXPECT_EQ(Runner->DownloadedFiles,
              (std::vector<std::string>{Dir.Path() + "First.mp4", Dir.Path() + "Third.mp4"}));
    EXPECT_EQ(Runner->Rows[1].Status, "Failed.");
    EXPECT_EQ(Runner->Rows[1].Name, broken); // the page never came: the row keeps the link
}

TEST_F(DownloadRunnerTest, CancelDuringTheFirstStreamEndsTheRunAndLeavesNoFile) {
    TFakeResponse slow = Stream(400000, 9);
    slow.StallAfter = 100000;
    slow.StallMs = 10000;
    const auto a = Site.AddVideo("s1", "Slow", {{18, slow}});
    const auto b = Site.AddVideo("s2", "Second", {{18, Stream(1000, 2)}});
    Runner->BuildDownloadList({a, b});
    Runner->StartDownloadRun();
    // Progress comes once per 1 MB block, so no event marks the stall: wait until the first
    // bytes are in the temporary file while the site holds back the rest.
    ASSERT_TRUE(test::PumpUntil(D, [&] {
        const auto files = FilesInFolder();
        return !files.empty() && std::ifstream(Dir.Path() + *files.begin(), std::ios::ate).tellg() == 100000;
    }));
    ASSERT_TRUE(Runner->WinHTTPDownload.IsBusy());
    Runner->Cancel();
    ASSERT_TRUE(test::PumpUntil(
        D, [&] { return View.Ended; }, 5000));
    EXPECT_EQ(Runner->DownloadRun.Total, 2);
    EXPECT_EQ(Runner->DownloadRun.Succeeded, 0);
    EXPECT_EQ(Runner->DownloadRun.Failed(), 2);
    EXPECT_TRUE(Runner->DownloadedFiles.empty());
    EXPECT_TRUE(FilesInFolder().empty());
    EXPECT_EQ(Site.CountRequests("/watch?v=s2"), 0);
}

TEST_F(DownloadRunnerTest, ACancelBetweenLinksHasNoEffect) {
    const auto a = Site.AddVideo("c1", "One", {{18, Stream(1000, 1)}});
    const auto b = Site.AddVideo("c2", "Two", {{18, Stream(1000, 2)}});
    Runner->BuildDownloadList({a, b});
    Runner->StartDownloadRun();
    Runner->Cancel(); // the first step is only posted: nothing runs yet
    ASSERT_TRUE(test::PumpUntil(
        D, [&] { return View.Ended; }, 20000));
    EXPECT_EQ(Runner->DownloadRun.Succeeded, 2);
}

// The pause after the stream-map script must leave the main thread free: a call posted while the
// script runs is served before the pause ends, not after a blocking sleep.
TEST_F(DownloadRunnerTest, ThePauseAfterTheScriptDoesNotBlockTheMainThread) {
    Runner->ScriptWaitMs = 300;
    const auto link = Site.AddVideo("p1", "Paused", {{18, Stream(1000, 1)}});
    std::string statusWhenServed;
    const auto echo = Runner->Host->OnEcho;
    Runner->Host->OnEcho = [&](THostScriptlet* host, const std::string& text) {
        echo(host, text);
        D.Post([&] { statusWhenServed = Runner->Panel.Status; });
    };
    Run({link});
    EXPECT_EQ(Runner->DownloadRun.Succeeded, 1);
    EXPECT_FALSE(statusWhenServed.empty());
    EXPECT_EQ(statusWhenServed.find("Analyzing finished"), std::string::npos) << statusWhenServed;
    EXPECT_NE(statusWhenServed, "Downloading...");
}

TEST_F(DownloadRunnerTest, ACancelDuringThePauseAfterTheScriptEndsTheRun) {
    Runner->ScriptWaitMs = 200;
    const auto link = Site.AddVideo("p2", "Paused", {{18, Stream(1000, 1)}});
    const auto echo = Runner->Host->OnEcho;
    Runner->Host->OnEcho = [&](THostScriptlet* host, const std::string& text) {
        echo(host, text);
        D.Post([&] { Runner->Cancel(); });
    };
    Run({link});
    EXPECT_EQ(Runner->DownloadRun.Succeeded, 0);
    EXPECT_EQ(Site.CountRequests("/videoplayback"), 0);
}

TEST_F(DownloadRunnerTest, AScriptErrorIsShownAndTheEntriesStoredBeforeItAreUsed) {
    // The second stream list item has a format number that is not one: the parse stops there.
    TFakeResponse info;
    info.Body =
        "url_encoded_fmt_stream_map=" +
        TFakeVideoSite::PercentEncode("itag=18&url=" + TFakeVideoSite::PercentEncode(Site.URL("/s18?x=1")) +
                                      "&sig=1,itag=x&url=u&sig=2");
    Site.AddVideo("e1", "Err", {});
    Site.Set(Site.InfoTarget("e1"), info);
    Site.Set("/s18", Stream(500, 18));
    Run({Site.URL(Site.WatchTarget("e1"))});
    ASSERT_EQ(View.ScriptErrors.size(), 1u);
    EXPECT_EQ(View.ScriptErrors[0].rfind("Error: Line number ", 0), 0u);
    // "<NaN>" cannot be read: the earlier entry for 18 stays and is downloaded.
    EXPECT_EQ(Runner->DownloadRun.Succeeded, 1);
    EXPECT_EQ(Dir.Read("Err.mp4"), TFakeVideoSite::MakeBody(500, 18));
}

// An information answer whose stream map names a file: address for one quality and a real
// stream for another.
std::string InfoWithStreams(const std::vector<std::pair<int, std::string>>& streams) {
    std::string map;
    for (const auto& [itag, url] : streams) {
        if (!map.empty()) map += ",";
        map += "itag=" + std::to_string(itag) + "&url=" + TFakeVideoSite::PercentEncode(url) +
               "&sig=" + std::to_string(itag);
    }
    return "url_encoded_fmt_stream_map=" + TFakeVideoSite::PercentEncode(map);
}

TEST_F(DownloadRunnerTest, StreamAddressesThatAreNotWebAddressesAreNeverFollowed) {
    test::TTempDir secret;
    const std::string local = secret.Write("hostname", "local secret");
    TFakeResponse info;
    info.Body = InfoWithStreams({{18, "file://" + local + "?x="}, {22, Site.URL("/s22?y=1")}});
    Site.AddVideo("f1", "Local copy", {});
    Site.Set(Site.InfoTarget("f1"), info);
    Site.Set("/s22", Stream(3000, 22));
    Run({Site.URL(Site.WatchTarget("f1"))});
    EXPECT_EQ(Runner->DownloadRun.Succeeded, 1);
    EXPECT_EQ(FilesInFolder(), std::set<std::string>{"Local copy.mp4"});
    EXPECT_EQ(Dir.Read("Local copy.mp4"), TFakeVideoSite::MakeBody(3000, 22)); // not the local file
    ASSERT_GE(View.LogLines.size(), 1u);
    EXPECT_NE(View.LogLines[0].find("[HQ18]"), std::string::npos) << View.LogLines[0];
    // The other lines only say which preferred qualities the information does not list.
    for (size_t i = 1; i < View.LogLines.size(); ++i)
        EXPECT_EQ(View.LogLines[i].rfind("The video information lists no stream of ", 0), 0u) << View.LogLines[i];
}

// Pages and information are capped, and the script engine is bounded in memory and time, so
// a hostile site ends the link (or the script, with its error) instead of the program.
TEST_F(DownloadRunnerTest, AnOversizedInformationAnswerFailsTheLinkWithoutRunningTheScript) {
    TFakeResponse info;
    info.Body = std::string(2u << 20, '&');
    Site.AddVideo("big", "Big", {});
    Site.Set(Site.InfoTarget("big"), info);
    int scriptRuns = 0;
    Runner->Script.OnEnter = [&](TCustomScript*) { ++scriptRuns; };
    Run({Site.URL(Site.WatchTarget("big"))});
    EXPECT_EQ(Runner->Rows[0].Status, "Failed.");
    EXPECT_EQ(scriptRuns, 0);
}

TEST_F(DownloadRunnerTest, TheScriptEngineIsBoundedInTimeAndMemory) {
    Runner->ScriptTimeLimitMs = 200;
    for (const char* script :
         {"for (;;) {}", "var a = []; for (;;) a.push(new Array(1000).join('x') + a.length);"}) {
        SCOPED_TRACE(script);
        View.ScriptErrors.clear();
        Runner->Script.Lines = {script};
        Runner->Script.Execute();
        EXPECT_EQ(View.ScriptErrors.size(), 1u);
    }
}

// A body that had to stay in memory (its temporary file could not be made) is kept through the
// same exclusive path: a free name, never an existing file, and a planted file stays as it was.
TEST_F(DownloadRunnerTest, ABodyKeptInMemoryNeverReplacesAnExistingFile) {
    TFakeResponse stream = Stream(200000, 7);
    stream.NoContentLength = true;
    const auto link = Site.AddVideo("m1", "Clip", {{18, stream}});
    Dir.Write("Clip.mp4", "20 bytes of user data");
    std::string planted;
    Runner->WinHTTPDownload.OnHeaderInfo = [&](TCustomWinHTTP* h, int, const std::string&, const std::string&,
                                               const std::string&, const std::string&, uint64_t,
                                               const std::string&, TDateTime, TDateTime, TDateTime,
                                               const std::string&, bool&) {
        planted = h->OutputFileName.substr(Dir.Path().size());
        Dir.Write(planted, "planted");
    };
    Run({link});
    EXPECT_EQ(Runner->DownloadRun.Succeeded, 1);
    EXPECT_EQ(Dir.Read("Clip.mp4"), "20 bytes of user data");
    EXPECT_EQ(Dir.Read("Clip(1).mp4"), TFakeVideoSite::MakeBody(200000, 7));
    ASSERT_FALSE(planted.empty());
    EXPECT_EQ(Dir.Read(planted), "planted");
}

// When the folder refuses the stream (before it arrives, or when it is to be moved to its name),
// the other qualities cannot do better: the link ends with the reason in the log.
TEST_F(DownloadRunnerTest, ADownloadThatCannotBeKeptEndsTheLinkWithTheReason) {
    struct TCase {
        const char* RemoveFolderAt;
        const char* Reason;
    };
    const TCase cases[] = {{"Analyzing finished, ready to download...", "could not be written"},
                           {"Downloading...", "could not be saved"}};
    int video = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.RemoveFolderAt);
        TFakeResponse slow = Stream(300000, 18);
        slow.StallAfter = 100000;
        slow.StallMs = 300;
        const std::string id = "k" + std::to_string(++video);
        const auto link = Site.AddVideo(id, "Kept", {{18, slow}, {22, Stream(1000, 22)}});
        const std::string moved = Dir.Path().substr(0, Dir.Path().size() - 1) + "-moved";
        bool renamed = false;
        View.Ended = false;
        View.LogLines.clear();
        View.OnPanel = [&] {
            if (!renamed && Runner->Panel.Status == c.RemoveFolderAt)
                renamed = ::rename(Dir.Path().c_str(), moved.c_str()) == 0;
        };
        Run({link});
        View.OnPanel = nullptr;
        if (renamed) ::rename(moved.c_str(), Dir.Path().c_str());
        ASSERT_TRUE(renamed);
        EXPECT_EQ(Runner->Rows[0].Status, "Failed.");
        EXPECT_EQ(Site.CountRequests("/videoplayback?id=" + id + "&itag=22"), 0);
        ASSERT_EQ(View.LogLines.size(), 1u);
        EXPECT_NE(View.LogLines[0].find(c.Reason), std::string::npos) << View.LogLines[0];
    }
}

// A stream that stalls after its headers ends as a lost connection; the next quality follows.
TEST_F(DownloadRunnerTest, AStalledStreamGivesWayToTheNextQuality) {
    Runner->StallTimeoutMs = 300;
    TFakeResponse stalled = Stream(100000, 18);
    stalled.StallAfter = 0;
    stalled.StallMs = 30000;
    const auto link = Site.AddVideo("st", "Stalled", {{18, stalled}, {22, Stream(2000, 22)}});
    Run({link});
    EXPECT_EQ(Runner->DownloadRun.Succeeded, 1);
    EXPECT_EQ(Dir.Read("Stalled.mp4"), TFakeVideoSite::MakeBody(2000, 22));
}

// A site that moves its streams to https is followed there (here nothing speaks TLS, so the
// attempt fails after connecting and the next quality follows).
TEST_F(DownloadRunnerTest, ARedirectFromHttpToHttpsIsFollowed) {
    Runner->StallTimeoutMs = 300; // the listener below never answers the handshake
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener, 8), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    TFakeResponse moved;
    moved.Status = 302;
    moved.ExtraHeaders = {"Location: https://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/v"};
    const auto link = Site.AddVideo("r1", "Moved", {{18, moved}, {22, Stream(1000, 22)}});
    Run({link});
    pollfd p{listener, POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 0), 1) << "the https address was never contacted";
    ::close(listener);
    EXPECT_EQ(Runner->DownloadRun.Succeeded, 1);
}

TEST(DownloadTexts, SecondsAndSpeeds) {
    EXPECT_EQ(FormatSeconds(0), "00:00:00");
    EXPECT_EQ(FormatSeconds(3725), "01:02:05");
    EXPECT_EQ(FormatSeconds(360000), "100:00:00");
    EXPECT_EQ(FormatSeconds(-5), "-00:00:05");
    EXPECT_EQ(FormatSpeed(2048, 0), "2.00 KB/s");
    EXPECT_EQ(FormatSpeed(10240, 4), "2.50 KB/s");
}

TEST(DownloadProgress, ZeroValuesNeverOverwriteShownValues) {
    TQueueDispatcher d;
    TUserSettings settings;
    TRecordingView view;
    TDownloadRunner runner(&d, settings, view);
    runner.BuildDownloadList({"http://x/watch?v=1"});
    EXPECT_EQ(runner.Rows[0].Size, "0 KB");
    runner.ShowLinkProgress("Downloading...", 3 * 1048576 + 524288, 65, 3, "", 42, "1.00 KB/s");
    runner.ShowLinkProgress("", 0, 0, 0, "", 0, "");
    EXPECT_EQ(runner.Rows[0].Status, "Downloading...");
    EXPECT_EQ(runner.Rows[0].Size, "3.50MB");
    EXPECT_EQ(runner.Rows[0].Progress, "42%");
    EXPECT_EQ(runner.Panel.ProgressBar, 42);
    EXPECT_EQ(runner.Panel.TimeLeft, "00:01:05");
    EXPECT_EQ(runner.Panel.Elapsed, "00:00:03");
    runner.DownloadRun.CurrentIndex = 5; // not a row: nothing happens
    runner.ShowLinkProgress("Failed.");
    EXPECT_EQ(runner.Rows[0].Status, "Downloading...");
}

} // namespace
} // namespace mw
