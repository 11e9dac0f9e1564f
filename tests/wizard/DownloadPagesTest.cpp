// The download pages of the desktop window against the fake video site on 127.0.0.1: pasting,
// a download run with the quality fall-back, the summary and its hand-over to the file list,
// cancel, Finish, and the notices; on the built-in road and through the extractor program.
#include "EngineFixtures.h"
#include "ExtractorSite.h"
#include "FakeVideoSite.h"
#include "TempDir.h"
#include "wizard/Globals.h"
#include "app/ProductConfig.h"
#include "download/VideoInfo.h"
#include "wizard/AboutWindow.h"
#include "wizard/DownloadPagesView.h"
#include "wizard/FilePage.h"
#include "wizard/LogWindow.h"
#include "wizard/MainWindow.h"
#include "wizard/Pages.h"
#include "wizard/PromotionPanel.h"
#include "wizard/platform/QtDispatcher.h"
#include "wizard/platform/GuiUtils.h"

#include <QAction>
#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>
#include <fstream>
#include <sstream>

using namespace mw;
using test::TFakeResponse;
using test::TFakeVideoSite;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TFakeResponse Stream(const std::string& body) {
    TFakeResponse r;
    r.Body = body;
    r.ContentType = "video/x-flv";
    return r;
}

// A stream that sends a little and then stalls for long: the download is running meanwhile.
TFakeResponse StallingStream() {
    TFakeResponse slow = Stream(TFakeVideoSite::MakeBody(400000, 9));
    slow.ChunkSize = 4000;
    slow.StallAfter = 8000;
    slow.StallMs = 20000;
    return slow;
}

// A download edition's window for the fake site over a fresh settings folder that chooses the
// road; questions are answered Yes, link messages OK, and every message is recorded.
struct TDownloadWindow {
    explicit TDownloadWindow(int engine = deBuiltin) {
        SetMainThreadDispatcher(&Dispatcher);
        SetVideoSiteDomain(Site.Domain());
        setenv("XDG_CONFIG_HOME", (Dir.Path() + "cfg").c_str(), 1);
        Dir.Write("cfg/Download Test/~system2.dat", "[System]\nDownloadEngine=" + std::to_string(engine) + "\n");
        GlobalVars = TGlobalVars{};
        SetMessageHook([this](const std::string& message, const std::string&, TMsgDlgType, unsigned buttons) {
            Messages.push_back(message);
            return (buttons & mbYes) ? mrYes : mrOk;
        });
        std::ofstream out(Dir.Path() + "lamecore.dll", std::ios::binary);
        for (const std::string& l :
             {std::string("[SYSTEM]"), std::string("Name=Download Test"), std::string("Version=1"),
              std::string("Download=Yes"), std::string("Skin=0"), std::string("ResFolder=full"),
              std::string("AVI=Yes"), std::string("MP4=Yes"), std::string("DefaultVideo=0"),
              std::string("DefaultDevice=0"), std::string("DefaultAudio=0"), std::string("DefaultClass=0"),
              "SiteDomain=" + Site.Domain()})
            out << DecodeConfigLine(l) << "\n";
        out.close();
        Main = std::make_unique<TFormMain>(&Log, Dir.Path() + "lamecore.dll");
        View = Main->findChild<TDownloadPagesView*>();
        if (View) View->Logic().Runner().ScriptWaitMs = 0;
    }
    ~TDownloadWindow() {
        Main.reset();
        SetMessageHook({});
        SetVideoSiteDomain("youtube.com");
        SetMainThreadDispatcher(nullptr);
    }
    TWizardPage Page() const { return Main->CurrentPage(); }
    void Paste(const std::string& text) {
        QGuiApplication::clipboard()->setText(QString::fromStdString(text));
        QTRY_VERIFY(View->ActionURLPaste->isEnabled());
        View->ActionURLPaste->trigger();
    }
    // From the mode page to the link page with the download folder set.
    void ToLinkPage(const std::string& folder) {
        QCOMPARE(Page(), TWizardPage::Mode);
        Main->Controller()->Next();
        QCOMPARE(Page(), TWizardPage::Step5);
        Main->LinkPage->EditURLOutput->setText(QString::fromStdString(folder));
    }

    TQtDispatcher Dispatcher;
    TFakeVideoSite Site;
    test::TTempDir Dir;
    TFormLog Log;
    std::unique_ptr<TFormMain> Main;
    TDownloadPagesView* View = nullptr;
    std::vector<std::string> Messages;
};

} // namespace

class DownloadPagesTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { test::LoadEngineLibraries(); }
    void PasteDownloadSummaryAndConvert();
    void CancelDuringADownloadCountsWhatWasSaved();
    void NoticesKeepTheLinkPage();
    void SummaryListsTheFailedLinksWithTheirReasons();
    void ClosingTheWindowDuringADownloadAsksFirst();
    void PromotionPictureAppearsAfterShow();
    void ExtractorRoadEndToEnd();
    void TheEngineChoiceDecidesTheRoadAndTheLinkRules();
    void AboutShowsTheEngineAndUpdatesTheUsersOwnCopy();
};

void DownloadPagesTest::PasteDownloadSummaryAndConvert() {
    TDownloadWindow w;
    QVERIFY(w.View);
    const std::string avi = ReadAll(test::Fixture("av.avi"));
    const std::string mp3 = ReadAll(test::Fixture("a.mp3"));
    TFakeResponse missing;
    missing.Status = 404;
    // The first video lacks the first preferred quality: the second one is saved.
    const std::string one = w.Site.AddVideo("v1", "First clip", {{18, missing}, {35, Stream(avi)}});
    const std::string two = w.Site.AddVideo("v2", "Second clip", {{18, Stream(mp3)}});
    const std::string folder = w.Dir.Path() + "downloads/new/";
    w.ToLinkPage(folder);
    QVERIFY(w.Main->LinkPage->CheckBoxYouTubeQuality->isChecked());
    QVERIFY(w.Main->LinkPage->ButtonYouTubeQualityConfig->isEnabled());
    QVERIFY(w.Main->LinkPage->LabelYouTubeQuality->text().startsWith("Prefer: [HQ18] > [HQ35]"));

    w.Paste(one + "\r\nhttp://elsewhere.example/watch?v=1\n" + two + "\n" + one);
    const std::vector<std::string> expected = {
        "http://elsewhere.example/watch?v=1\n\r\n\rThis is not a YouTube video link.",
        one + "\n\r\n\rThis video is already in the download list."};
    QCOMPARE(w.Messages, expected);
    QCOMPARE(w.Main->LinkPage->ListBoxURL->count(), 2);
    QCOMPARE(w.Main->LinkPage->ListBoxURL->item(1)->text().toStdString(), two);

    w.Messages.clear();
    w.Main->Controller()->Next();
    QCOMPARE(w.Page(), TWizardPage::Step6);
    QCOMPARE(w.Main->DownloadingPage->ListViewURLDownload->topLevelItemCount(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(w.Page(), TWizardPage::Step7, 20000);
    QCOMPARE(w.Main->DownloadSummaryPage->LabelFinishTotalFiles->text(), QString("2"));
    QCOMPARE(w.Main->DownloadSummaryPage->LabelFinishSuccessed->text(), QString("2"));
    QCOMPARE(w.Main->DownloadSummaryPage->LabelFinishFailed->text(), QString("0"));
    QCOMPARE(ReadAll(folder + "First clip.flv"), avi);
    QCOMPARE(ReadAll(folder + "Second clip.mp4"), mp3);
    QCOMPARE(w.Main->LinkPage->ListBoxURL->count(), 0);
    QCOMPARE(w.Main->DownloadingPage->LabelProgress->text(), QString("0%"));
    QCOMPARE(GlobalVars.UserSettings.OutputURLDir, folder);

    w.Main->DownloadSummaryPage->ButtonConvertDownloaded->click();
    QCOMPARE(w.Page(), TWizardPage::Step1);
    QCOMPARE(w.Main->FilePage->RowCount(), 2);
    QVERIFY(w.Messages.empty());
}

void DownloadPagesTest::CancelDuringADownloadCountsWhatWasSaved() {
    TDownloadWindow w;
    QVERIFY(w.View);
    const TFakeResponse slow = StallingStream();
    const std::string one = w.Site.AddVideo("c1", "Quick", {{18, Stream("quick body")}});
    const std::string two = w.Site.AddVideo("c2", "Slow", {{18, slow}});
    const std::string three = w.Site.AddVideo("c3", "Never", {{18, Stream("never")}});
    w.ToLinkPage(w.Dir.Path() + "dl");
    w.Paste(one + "\n" + two + "\n" + three);
    w.Main->Controller()->Next();
    QTRY_COMPARE_WITH_TIMEOUT(w.Site.CountRequests("/videoplayback?id=c2"), 1, 20000);
    QCOMPARE(w.Main->DownloadingPage->ListViewURLDownload->topLevelItem(0)->text(1), QString("Finish."));
    QTest::qWait(200); // the slow stream has begun and stalls

    w.Main->Controller()->Exit();
    QCOMPARE(w.Messages.back(), std::string("Do you really want to cancel the downloading?"));
    QTRY_COMPARE_WITH_TIMEOUT(w.Page(), TWizardPage::Step7, 10000);
    QCOMPARE(w.Main->DownloadSummaryPage->LabelFinishTotalFiles->text(), QString("3"));
    QCOMPARE(w.Main->DownloadSummaryPage->LabelFinishSuccessed->text(), QString("1"));
    QCOMPARE(w.Main->DownloadSummaryPage->LabelFinishFailed->text(), QString("2"));
    QCOMPARE(w.Site.CountRequests("/videoplayback?id=c3"), 0);

    // Finish: back to the mode page with both lists empty.
    w.Main->Controller()->Next();
    QCOMPARE(w.Page(), TWizardPage::Mode);
    QCOMPARE(w.Main->LinkPage->ListBoxURL->count(), 0);
    QCOMPARE(w.Main->DownloadingPage->ListViewURLDownload->topLevelItemCount(), 0);
}

void DownloadPagesTest::NoticesKeepTheLinkPage() {
    TDownloadWindow w;
    QVERIFY(w.View);
    const std::string blocker = w.Dir.Write("a file", "not a folder");
    w.ToLinkPage(blocker + "/sub");
    w.Main->Controller()->Next();
    QCOMPARE(w.Messages.back(), std::string(NoLinksText));
    QCOMPARE(w.Page(), TWizardPage::Step5);

    w.Paste(w.Site.AddVideo("n1", "Clip", {}));
    w.Main->Controller()->Next();
    QCOMPARE(w.Messages.back(),
             std::string("Fail to create directory! Please check if output folder have the right format!"));
    QCOMPARE(w.Page(), TWizardPage::Step5);
    QCOMPARE(w.Main->LinkPage->ListBoxURL->count(), 1);

    // Nothing downloaded: the summary's convert command says so.
    w.View->Logic().ConvertDownloaded();
    QCOMPARE(w.Messages.back(), std::string("No file downloaded! Please try again."));

    // Remove selects the new last row; Back empties the list after its question.
    w.Paste(w.Site.AddVideo("n2", "Other", {}));
    QListWidget* list = w.Main->LinkPage->ListBoxURL;
    list->item(1)->setSelected(true);
    w.View->ActionURLRemove->trigger();
    QCOMPARE(list->count(), 1);
    QVERIFY(list->item(0)->isSelected());
    w.Main->Controller()->Back();
    QCOMPARE(w.Messages.back(), std::string("Are you sure to cancel and go back?"));
    QCOMPARE(w.Page(), TWizardPage::Mode);
    QCOMPARE(list->count(), 0);
}

void DownloadPagesTest::SummaryListsTheFailedLinksWithTheirReasons() {
    TDownloadWindow w;
    QVERIFY(w.View);
    TFakeResponse missing;
    missing.Status = 404;
    TFakeResponse refused;
    refused.Status = 403;
    const std::string saved = w.Site.AddVideo("r1", "Saved", {{18, Stream("body")}});
    // Every quality the video lists is refused: each refusal is a reason, once.
    const std::string refusedAll = w.Site.AddVideo("r2", "Refused", {{18, refused}, {35, refused}});
    const std::string gone = w.Site.URL("/watch?v=gone"); // the site has no such page
    w.Site.Set("/watch?v=gone", missing);
    w.ToLinkPage(w.Dir.Path() + "dl");
    w.Paste(saved + "\n" + refusedAll + "\n" + gone);
    w.Main->Controller()->Next();
    QTRY_COMPARE_WITH_TIMEOUT(w.Page(), TWizardPage::Step7, 20000);
    TSummaryPage* summary = w.Main->DownloadSummaryPage;
    QCOMPARE(summary->LabelFinishFailed->text(), QString("2"));
    QVERIFY(!summary->MemoErrorLog->isHidden());
    const QStringList lines = summary->MemoErrorLog->toPlainText().split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].startsWith(QString::fromStdString("Link (2): " + refusedAll + ": ")), qPrintable(lines[0]));
    QCOMPARE(lines[0].count("the server answered 403."), 2);
    QVERIFY2(lines[0].contains("[HQ18]") && lines[0].contains("[HQ35]"), qPrintable(lines[0]));
    QCOMPARE(lines[1], QString::fromStdString("Link (3): " + gone +
                                              ": The video page could not be fetched: the server answered 404."));
    // The log got the same reasons.
    QVERIFY2(w.Log.Text().contains("The video page could not be fetched: the server answered 404."),
             qPrintable(w.Log.Text()));

    // A run where everything was saved shows no error box.
    w.Main->Controller()->Next();
    w.ToLinkPage(w.Dir.Path() + "dl2");
    w.Paste(saved);
    w.Main->Controller()->Next();
    QTRY_COMPARE_WITH_TIMEOUT(w.Page(), TWizardPage::Step7, 20000);
    QVERIFY(summary->MemoErrorLog->isHidden());
}

void DownloadPagesTest::ClosingTheWindowDuringADownloadAsksFirst() {
    TDownloadWindow w;
    QVERIFY(w.View);
    const TFakeResponse slow = StallingStream();
    w.ToLinkPage(w.Dir.Path() + "dl");
    w.Paste(w.Site.AddVideo("s1", "Slow", {{18, slow}}));
    w.Main->Controller()->Next();
    QTRY_COMPARE_WITH_TIMEOUT(w.Site.CountRequests("/videoplayback?id=s1"), 1, 20000);
    w.Main->show();
    int answer = mrNo;
    SetMessageHook([&](const std::string& message, const std::string&, TMsgDlgType, unsigned) {
        w.Messages.push_back(message);
        return answer;
    });
    QVERIFY(!w.Main->close());
    QCOMPARE(w.Messages.back(), std::string(CancelDownloadQuestion));
    QVERIFY(w.Main->isVisible());
    QVERIFY(w.View->Logic().Runner().Running());
    answer = mrYes;
    QVERIFY(w.Main->close());
    QVERIFY(!w.Main->isVisible());
}

void DownloadPagesTest::PromotionPictureAppearsAfterShow() {
    TQtDispatcher dispatcher;
    SetMainThreadDispatcher(&dispatcher);
    TFakeVideoSite site;
    test::TTempDir settings;
    QImage picture(120, 60, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    TFakeResponse pictureResponse;
    pictureResponse.Body = png.toStdString();
    site.Set("/ad/bundleCO/site.example.png", pictureResponse);
    TFakeResponse offer;
    offer.Body = "https://offer.example/\nOur other tools\nWEBPAGE\n";
    site.Set("/ad/bundleCO/site.example.dat", offer);

    QWidget window;
    window.resize(772, 547);
    GlobalVars.ProductConfig.ResFolder = "full";
    TPromotionPanel* panel = new TPromotionPanel(
        &window, 0, {site.URL(""), settings.Path(), settings.Path(), "http://www.site.example/"}, nullptr);
    QVERIFY(!panel->ImagePromotion->isVisible());
    window.show();
    // Until the offer comes, the place shows the skin's own picture there.
    QVERIFY(panel->ImagePromotionArt->isVisible());
    QCOMPARE(panel->ImagePromotionArt->pos(), QPoint(26, 352));
    QTRY_VERIFY_WITH_TIMEOUT(panel->ImagePromotion->isVisible(), 10000);
    QVERIFY(!panel->ImagePromotionArt->isVisible());
    QCOMPARE(panel->ImagePromotion->toolTip(), QString("Our other tools"));
    QCOMPARE(panel->ImagePromotion->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(panel->ImagePromotion->pixmap().size(), QSize(120, 60));
    QCOMPARE(panel->ImagePromotion->pos(), QPoint(26, 352));
    QVERIFY(!panel->ProgressBarPromotion->isVisible());
    delete panel;
    SetMainThreadDispatcher(nullptr);
}

// Two links of the loopback site through the real extractor: downloaded, counted, handed over.
void DownloadPagesTest::ExtractorRoadEndToEnd() {
    QVERIFY2(!test::RealExtractor().empty(), "yt-dlp is missing: run scripts/setup.sh");
    TDownloadWindow w(deExtractor);
    QVERIFY(w.View);
    const std::string one = test::AddHlsVideo(w.Site, "e1", "Harbour");
    const std::string two = test::AddHlsVideo(w.Site, "e2", "Kestrel");
    const std::string folder = w.Dir.Path() + "videos/";
    w.ToLinkPage(folder);
    QCOMPARE(w.Main->LinkPage->ComboBoxDownloadEngine->currentText(), QString("yt-dlp"));
    w.Paste(one + "\n" + two);
    QCOMPARE(w.Main->LinkPage->ListBoxURL->count(), 2);
    w.Main->Controller()->Next();
    QCOMPARE(w.Page(), TWizardPage::Step6);
    QTRY_COMPARE_WITH_TIMEOUT(w.Page(), TWizardPage::Step7, 90000);
    QCOMPARE(w.Main->DownloadSummaryPage->LabelFinishTotalFiles->text(), QString("2"));
    QCOMPARE(w.Main->DownloadSummaryPage->LabelFinishSuccessed->text(), QString("2"));
    QCOMPARE(w.Main->DownloadSummaryPage->LabelFinishFailed->text(), QString("0"));
    const auto& saved = w.View->Logic().Runner().DownloadedFiles;
    QCOMPARE(saved.size(), size_t(2));
    for (const std::string& f : saved) {
        const test::TProbeFacts facts = test::ProbeFile(f);
        QVERIFY2(facts.Video && facts.Audio, f.c_str());
        QCOMPARE(f.substr(0, folder.size()), folder);
    }
    QCOMPARE(GlobalVars.UserSettings.DownloadEngine, uint8_t(deExtractor));
    w.Main->DownloadSummaryPage->ButtonConvertDownloaded->click();
    QCOMPARE(w.Page(), TWizardPage::Step1);
    QTRY_COMPARE(w.Main->FilePage->RowCount(), 2);
    QVERIFY(w.Messages.empty());
}

void DownloadPagesTest::TheEngineChoiceDecidesTheRoadAndTheLinkRules() {
    TDownloadWindow w(deBuiltin);
    QVERIFY(w.View);
    w.ToLinkPage(w.Dir.Path() + "dl");
    QComboBox* engine = w.Main->LinkPage->ComboBoxDownloadEngine;
    QCOMPARE(engine->currentText(), QString("Built-in"));
    // The built-in road takes only the edition's site; the extractor's takes any web link.
    w.Paste("https://video.example/v/1");
    QCOMPARE(w.Main->LinkPage->ListBoxURL->count(), 0);
    QCOMPARE(w.Messages.back(), std::string("https://video.example/v/1\n\r\n\rThis is not a YouTube video link."));
    test::TTempDir bin;
    GlobalVars.UserSettings.ExtractorPath = test::WriteScript(bin, "yt-dlp", "exit 1\n");
    engine->setCurrentIndex(deExtractor);
    emit engine->activated(deExtractor);
    w.Paste("https://video.example/v/1\nftp://video.example/v/2");
    QCOMPARE(w.Main->LinkPage->ListBoxURL->count(), 1);
    QCOMPARE(w.Messages.back(), std::string("ftp://video.example/v/2\n\r\n\rThis is not a web link (http:// or https://)."));
    // A chosen extractor that is not there: the notice, and the page stays.
    GlobalVars.UserSettings.ExtractorPath = bin.Path() + "missing";
    w.Main->Controller()->Next();
    QCOMPARE(w.Messages.back(), std::string(ExtractorMissingText));
    QCOMPARE(w.Page(), TWizardPage::Step5);
    QCOMPARE(GlobalVars.UserSettings.DownloadEngine, uint8_t(deExtractor));
}

void DownloadPagesTest::AboutShowsTheEngineAndUpdatesTheUsersOwnCopy() {
    TDownloadWindow w;
    test::TTempDir bin;
    const struct {
        std::string Program;
        const char* Shows;
        bool Offered;
    } cases[] = {
        {test::WriteScript(bin, "yt-dlp", "case \"$1\" in --version) cat \"$0.version\" 2>/dev/null || echo 2025.01.02;;"
                                          " -U) echo 'Updating to 2026.11.01'; echo 2026.11.01 > \"$0.version\"; "
                                          "echo 'Updated yt-dlp to 2026.11.01';; esac\n"),
         "Download engine: yt-dlp 2025.01.02\n/tmp/", true},
        {"/usr/bin/yt-dlp", "Download engine: yt-dlp 20", false},
        {bin.Path() + "missing", "Download engine: yt-dlp was not found;\nthe built-in downloader is used.", false},
    };
    for (const auto& c : cases) {
        GlobalVars.UserSettings.ExtractorPath = c.Program;
        TFormAbout about(w.Main.get(), GlobalVars.ProductConfig, 2026);
        about.show();
        QVERIFY(about.LabelDownloadEngine);
        QTRY_VERIFY_WITH_TIMEOUT(about.LabelDownloadEngine->text().startsWith(c.Shows), 10000);
        QTRY_COMPARE(about.ButtonUpdateEngine->isVisible(), c.Offered);
        if (!c.Offered) continue;
        about.ButtonUpdateEngine->click();
        QTRY_VERIFY_WITH_TIMEOUT(about.LabelEngineUpdate->text().contains("Updated yt-dlp to 2026.11.01"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(about.LabelDownloadEngine->text().startsWith("Download engine: yt-dlp 2026.11.01\n"),
                                 10000);
    }
}

QTEST_MAIN(DownloadPagesTest)
#include "DownloadPagesTest.moc"
