#include "promotions/Promotions.h"

#include "app/UtilFuncs.h"

#include "FakeVideoSite.h"
#include "TempDir.h"
#include "TestPump.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace mw {
namespace {

using test::TFakeResponse;
using test::TFakeVideoSite;

struct TRecordingView : IPromotionView {
    std::string Hint;
    std::vector<std::string> Pictures, Notices, Confirmations, Pages, Started;
    bool ProgressVisible = false;
    int AskStopCount = 0;
    bool ConfirmAnswer = true, StopAnswer = true;

    void SetOfferHint(const std::string& h) override { Hint = h; }
    void ShowOfferPicture(const std::string& path) override { Pictures.push_back(path); }
    void ShowProgramProgress(bool visible, int) override { ProgressVisible = visible; }
    void ShowNotice(const std::string& text) override { Notices.push_back(text); }
    bool ConfirmStart(const std::string& text) override {
        Confirmations.push_back(text);
        return ConfirmAnswer;
    }
    bool AskStopProgramDownload() override {
        ++AskStopCount;
        return StopAnswer;
    }
    void OpenWebPage(const std::string& url) override { Pages.push_back(url); }
    bool StartProgram(const std::string& path) override {
        Started.push_back(path);
        return true;
    }
};

std::string PngBody(size_t n, unsigned seed) {
    std::string body = "\x89PNG\r\n\x1a\n";
    body += TFakeVideoSite::MakeBody(n - body.size(), seed);
    return body;
}

class PromotionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Setup.BaseAddress = Site.URL("");
        Setup.SettingsFolder = Settings.Path();
        Setup.ExeFolder = ExeDir.Path();
        Setup.HomePageLink = "http://www.site.example/";
        Picture.Body = PngBody(3000, 7);
        Picture.ContentType = "image/png";
        Site.Set(PictureTarget, Picture);
    }
    void SetOffer(const std::string& text) {
        TFakeResponse r;
        r.Body = text;
        r.ContentType = "text/plain";
        Site.Set("/ad/bundleCO/site.example.dat", r);
    }
    // Shows the window: the offer becomes active once its picture is there.
    std::unique_ptr<TPromotions> Show() {
        auto p = std::make_unique<TPromotions>(Setup, View, &Dispatcher);
        p->AfterShow();
        EXPECT_TRUE(test::PumpUntil(Dispatcher, [&] { return p->OfferActive() && !p->OfferFetchRunning(); }));
        return p;
    }
    std::string ProgramTarget() const { return Site.URL("/setup.bin"); }

    TFakeVideoSite Site;
    test::TTempDir Settings, ExeDir;
    TQueueDispatcher Dispatcher;
    TRecordingView View;
    TPromotionsSetup Setup;
    TFakeResponse Picture;
    const std::string PictureTarget = "/ad/bundleCO/site.example.png";
};

TEST_F(PromotionsTest, FetchesTheOfferAndItsPicture) {
    SetOffer("https://offer.example/page\nA fine offer\nWEBPAGE\n");
    auto p = Show();
    EXPECT_EQ(View.Hint, "A fine offer");
    ASSERT_EQ(View.Pictures.size(), 1u);
    EXPECT_EQ(Settings.Read(OfferPictureFileName), Picture.Body);
    p->Click();
    EXPECT_EQ(View.Pages, std::vector<std::string>{"https://offer.example/page"});
    EXPECT_TRUE(View.Confirmations.empty());
}

TEST_F(PromotionsTest, CachedPictureOfTheRemoteSizeIsUsedWithoutDownload) {
    SetOffer("https://offer.example/page\nHint\nWEBPAGE\n");
    const std::string cached = PngBody(Picture.Body.size(), 99); // same size, other bytes
    Settings.Write(OfferPictureFileName, cached);
    auto p = Show();
    test::PumpFor(Dispatcher, 200);
    EXPECT_EQ(Settings.Read(OfferPictureFileName), cached);
    EXPECT_EQ(View.Pictures.size(), 1u);

    // A cached picture of another size is replaced.
    Settings.Write(OfferPictureFileName, PngBody(100, 3));
    View.Pictures.clear();
    auto again = Show();
    EXPECT_EQ(Settings.Read(OfferPictureFileName), Picture.Body);
}

TEST_F(PromotionsTest, NothingIsShownWithoutAnOfferOrWithAnUnsafeServer) {
    // The server knows no offer: the picture still comes, the click does nothing.
    auto p = Show();
    EXPECT_EQ(View.Hint, "");
    p->Click();
    EXPECT_TRUE(View.Pages.empty() && View.Started.empty() && View.Confirmations.empty());

    // A picture that is not a PNG never becomes the offer.
    TFakeResponse html;
    html.Body = "<html>not a picture</html>";
    Site.Set(PictureTarget, html);
    test::TTempDir other;
    Setup.SettingsFolder = other.Path();
    TPromotions q(Setup, View, &Dispatcher);
    q.AfterShow();
    ASSERT_TRUE(test::PumpUntil(Dispatcher, [&] { return !q.OfferFetchRunning(); }));
    EXPECT_FALSE(q.OfferActive());
    EXPECT_FALSE(FileExists(other.Path() + OfferPictureFileName));

    // A picture over its size limit is not kept.
    test::TTempDir third;
    Setup.SettingsFolder = third.Path();
    Setup.MaxPictureBytes = 1000;
    Site.Set(PictureTarget, Picture);
    TPromotions big(Setup, View, &Dispatcher);
    big.AfterShow();
    ASSERT_TRUE(test::PumpUntil(Dispatcher, [&] { return !big.OfferFetchRunning(); }));
    EXPECT_FALSE(big.OfferActive());
    EXPECT_FALSE(FileExists(third.Path() + OfferPictureFileName));

    // Plain http to another machine, or no base address: nothing is asked at all.
    for (const char* base : {"http://ads.example", ""}) {
        Setup.BaseAddress = base;
        TPromotions r(Setup, View, &Dispatcher);
        r.AfterShow();
        EXPECT_FALSE(r.OfferFetchRunning()) << base;
    }
}

TEST_F(PromotionsTest, ProgramIsStartedOnlyAfterConfirmationAndOnlyOverASafeAddress) {
    TFakeResponse program;
    program.Body = TFakeVideoSite::MakeBody(20000, 5);
    Site.Set("/setup.bin", program);
    SetOffer(ProgramTarget() + "\nGet the tool\nEXEFILE\n");
    auto p = Show();
    const std::string exe = Settings.Path() + OfferProgramFileName;

    // Declined: the file is there but not executable and nothing starts.
    View.ConfirmAnswer = false;
    p->Click();
    ASSERT_TRUE(test::PumpUntil(Dispatcher, [&] { return !View.Confirmations.empty(); }));
    EXPECT_EQ(View.Confirmations[0], StartProgramQuestion);
    EXPECT_TRUE(View.Started.empty());
    EXPECT_NE(::access(exe.c_str(), X_OK), 0);

    View.ConfirmAnswer = true;
    View.Confirmations.clear();
    p->Click();
    ASSERT_TRUE(test::PumpUntil(Dispatcher, [&] { return !View.Started.empty(); }));
    EXPECT_EQ(View.Started[0], exe);
    EXPECT_EQ(::access(exe.c_str(), X_OK), 0);
    EXPECT_EQ(Settings.Read(OfferProgramFileName), program.Body);
    EXPECT_FALSE(View.ProgressVisible);

    // The offer's own confirmation is asked before the download, and only once.
    SetOffer(ProgramTarget() + "\nGet the tool\nEXEFILE\n  Install the tool? \nIt is free.\n");
    View.Started.clear();
    View.Confirmations.clear();
    auto q = Show();
    q->Click();
    ASSERT_TRUE(test::PumpUntil(Dispatcher, [&] { return !View.Started.empty(); }));
    EXPECT_EQ(View.Confirmations, std::vector<std::string>{"Install the tool?\nIt is free."});
}

TEST_F(PromotionsTest, PlainHttpProgramIsRefused) {
    SetOffer("http://promo.invalid/setup.bin\nGet the tool\nEXEFILE\n");
    auto p = Show();
    p->Click();
    EXPECT_FALSE(p->ProgramDownloadRunning());
    test::PumpFor(Dispatcher, 100);
    EXPECT_TRUE(View.Started.empty());
    EXPECT_FALSE(View.ProgressVisible);
}

TEST_F(PromotionsTest, RunningProgramDownloadGivesNoticeAndVetoesClose) {
    TFakeResponse slow;
    slow.Body = TFakeVideoSite::MakeBody(200000, 5);
    slow.ChunkSize = 1000;
    slow.StallAfter = 1000;
    slow.StallMs = 20000;
    Site.Set("/setup.bin", slow);
    SetOffer(ProgramTarget() + "\nGet the tool\nEXEFILE\n");
    auto p = Show();
    p->Click();
    ASSERT_TRUE(p->ProgramDownloadRunning());
    p->Click();
    EXPECT_EQ(View.Notices, std::vector<std::string>{ProgramDownloadNotice});
    ASSERT_TRUE(test::PumpUntil(Dispatcher, [&] { return Site.CountRequests("/setup.bin") > 0; }));
    test::PumpFor(Dispatcher, 100);
    EXPECT_EQ(Site.CountRequests("/setup.bin"), 1);

    View.StopAnswer = false;
    EXPECT_FALSE(p->CloseStep());
    EXPECT_TRUE(p->ProgramDownloadRunning());

    View.StopAnswer = true;
    EXPECT_TRUE(p->CloseStep());
    EXPECT_EQ(View.AskStopCount, 2);
    EXPECT_FALSE(p->ProgramDownloadRunning());
    test::PumpFor(Dispatcher, 100);
    EXPECT_TRUE(View.Started.empty());
    EXPECT_FALSE(FileExists(Settings.Path() + OfferProgramFileName));
}

TEST_F(PromotionsTest, UpdateProgramStartsWhenPresent) {
    Setup.BaseAddress.clear();
    {
        TPromotions p(Setup, View, &Dispatcher);
        p.AfterShow();
        EXPECT_TRUE(View.Started.empty());
    }
    const std::string goup = ExeDir.Write(UpdateProgramFileName, "#!/bin/sh\n");
    ::chmod(goup.c_str(), 0700);
    TPromotions p(Setup, View, &Dispatcher);
    p.AfterShow();
    EXPECT_EQ(View.Started, std::vector<std::string>{goup});
}

} // namespace
} // namespace mw
