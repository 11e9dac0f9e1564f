// The desktop window's widgets under the offscreen platform: layout by edition, the file list,
// drops, and the log window.
#include "EngineFixtures.h"
#include "FakeTaskJob.h"
#include "TempDir.h"
#include "WizardWindowFixture.h"
#include "wizard/Globals.h"
#include "app/ProductConfig.h"
#include "app/UtilFuncs.h"
#include "convert/SourceList.h"
#include "app/OptionRecords.h"
#include "widgets/PictureButton.h"
#include "widgets/SkinPicture.h"
#include "widgets/SlideGrid.h"
#include "wizard/AboutWindow.h"
#include "wizard/ConvertingView.h"
#include "wizard/FilePage.h"
#include "wizard/LogWindow.h"
#include "wizard/MainWindow.h"
#include "wizard/OutputPageView.h"
#include "wizard/Pages.h"
#include "wizard/Previewer.h"
#include "wizard/ShutdownWindow.h"
#include "wizard/platform/GuiUtils.h"
#include "wizard/platform/QtDispatcher.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QtTest>
#include <cmath>
#include <fstream>

using namespace mw;
using namespace mw::test;


class WidgetsTest : public QObject {
    Q_OBJECT
  private slots:
    void ClassAndFormatButtonsFollowTheFlags_data();
    void ClassAndFormatButtonsFollowTheFlags();
    void SkinDecidesMinimiseCloseAndHelpMenu();
    void MissingPictureStopsTheSetUp();
    void AddingFilesProbesEachAndReportsTheFailed();
    void DeleteKeepsASelection();
    void DropsKeepMediaFilesOnly();
    void LogWindow();
    void FrameShapeLeavesOutMagentaOnly();
    void AboutWindowBySkin();
    void HelpMenuAndShortcuts();
    void ConversionOfTwoSourcesEndsOnTheSummary();
    void RefusedSourceIsCountedAndListed();
    void CancelledConversionEndsOnTheSummary();
    void JoinEditionMakesOneFile();
    void ShutdownCountdown();
    void ShutdownAfterTheRun_data();
    void ShutdownAfterTheRun();
    void PreviewWindowShowsPicturesAndCloses();
    void PreviewKeepsTheCommandsFree_data();
    void PreviewKeepsTheCommandsFree();
    void PreviewBoxSwitchesTheRunsPreview();
};

void WidgetsTest::ClassAndFormatButtonsFollowTheFlags_data() {
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QList<int>>("classLefts"); // -1 hidden
    QTest::addColumn<int>("tabsTop");
    auto keys = [](const std::vector<std::string>& v) {
        QStringList l;
        for (const auto& k : v)
            l << QString::fromStdString(k);
        return l;
    };
    QTest::newRow("all") << keys(Join({AllVideo, AllDevice, AllAudio})) << QList<int>{18, 189, 360} << 172;
    QTest::newRow("no video") << keys(Join({AllDevice, AllAudio})) << QList<int>{-1, 18, 189} << 172;
    QTest::newRow("audio only") << keys(AllAudio) << QList<int>{-1, -1, -1} << 120;
    QTest::newRow("AVI and MOV") << QStringList{"AVI", "MOV", "MP3"} << QList<int>{18, -1, 189} << 172;
}

void WidgetsTest::ClassAndFormatButtonsFollowTheFlags() {
    QFETCH(QStringList, keys);
    QFETCH(QList<int>, classLefts);
    QFETCH(int, tabsTop);
    std::vector<std::string> lines = {"Skin=0", "ResFolder=full"};
    for (const QString& k : keys)
        lines.push_back(k.toStdString() + "=Yes");
    TWindow w(lines);
    QVERIFY(w.Main->CreationCompleted());
    TOutputPageView* page = w.Main->OutputPage;
    for (int c = 0; c < 3; ++c) {
        QCOMPARE(!page->ClassButtons[c]->isHidden(), classLefts[c] >= 0);
        if (classLefts[c] >= 0) QCOMPARE(page->ClassButtons[c]->pos(), QPoint(classLefts[c], 135));
    }
    QCOMPARE(page->PageControlFormats->y(), tabsTop);
    if (keys.contains("MOV") && !keys.contains("MP4"))
        QCOMPARE(page->FormatButtons[0][7]->pos(), QPoint(74, 5));
    if (keys.contains("3GP") && keys.contains("MP4"))
        QCOMPARE(page->FormatButtons[0][8]->pos(), QPoint(10, 65));
    QCOMPARE(page->FormatButtons[0][1]->isHidden(), !keys.contains("MP4"));
    QCOMPARE(page->FormatButtons[0][0]->size(), QSize(62, 57));
}

void WidgetsTest::SkinDecidesMinimiseCloseAndHelpMenu() {
    const auto flags = Flags(AllVideo);
    TWindow skin0(Join({flags, {"Skin=0", "ResFolder=full"}}));
    QVERIFY(!skin0.Main->ButtonMin->isHidden());
    QCOMPARE(skin0.Main->ButtonClose->pos(), QPoint(728, 4));
    QCOMPARE(skin0.Main->ButtonHelp->pos(), QPoint(40, 510));
    QCOMPARE(skin0.Main->size(), QSize(772, 547));
    const QPoint menu0 = skin0.Main->HelpMenuPosition() - skin0.Main->pos();
    QCOMPARE(menu0, QPoint(40, 510 + skin0.Main->ButtonHelp->height()));

    TWindow skin2(Join({flags, {"Skin=2", "ResFolder=join"}}));
    QCOMPARE(skin2.Main->HelpMenuPosition() - skin2.Main->pos(),
             QPoint(45, 513 + skin2.Main->ButtonHelp->height()));

    TWindow skin3(Join({flags, {"Skin=3", "ResFolder=audio"}}));
    QVERIFY(skin3.Main->ButtonMin->isHidden());
    QVERIFY(skin3.Main->ButtonClose->isHidden());

    // Skin 1 places parts outside 772x547: the window takes its frame picture's size.
    TWindow skin1(Join({flags, {"Skin=1", "ResFolder=convert"}}));
    QVERIFY(skin1.Main->width() > 794 + skin1.Main->ButtonClose->width() - 1);
    QVERIFY(skin1.Main->height() >= 566 + skin1.Main->ButtonExit->height());
}

void WidgetsTest::MissingPictureStopsTheSetUp() {
    TWindow w(Join({Flags(AllVideo), {"Skin=0", "ResFolder=no-such-folder"}}));
    QVERIFY(!w.Main->CreationCompleted());
    QCOMPARE(w.Messages.size(), size_t(1));
    QVERIFY2(w.Messages[0].find("toplogo.png") != std::string::npos, w.Messages[0].c_str());
    QVERIFY(!w.Main->Controller());
}

void WidgetsTest::AddingFilesProbesEachAndReportsTheFailed() {
    TWindow w(Join({Flags(AllVideo), {"Skin=0", "ResFolder=full"}}));
    TFilePage* page = w.Main->FilePage;
    const QString avi = QString::fromStdString(test::Fixture("av.avi"));
    const QString text = QString::fromStdString(test::Fixture("text.avi"));
    const QString mp3 = QString::fromStdString(test::Fixture("a.mp3"));
    page->AddSourceFiles({mp3, text, avi});
    QCOMPARE(page->RowCount(), 2);
    QCOMPARE(w.FailedDialogs, 1);
    QCOMPARE(GlobalVars.AddFailedFiles.size(), size_t(1));
    QVERIFY(GlobalVars.AddFailedFiles[0].rfind("text.avi", 0) == 0 ||
            GlobalVars.AddFailedFiles[0].rfind(text.toStdString(), 0) == 0);
    QCOMPARE(w.Log.Text().count("File load error: "), 1);

    TSlideGrid* grid = page->NextGrid;
    QCOMPARE(grid->Cell(0, scFileFullName), mp3);
    QCOMPARE(grid->Cell(0, scBitrate), QString("Audio Bit rate: 128 Kbps"));
    QVERIFY(grid->Cell(0, scDimension).startsWith("Audio Encoder: mp3"));
    QCOMPARE(grid->Cell(0, scWidth), QString("-1"));
    QCOMPARE(grid->Cell(0, scHeight), QString("-1"));
    QCOMPARE(grid->Cell(1, scFileFullName), avi);
    QVERIFY(grid->Cell(1, scBitrate).startsWith("Bit rate: "));
    QCOMPARE(grid->Cell(1, scDimension), QString("Dimension: 320 x 240"));
    const QImage thumbnail = grid->item(1)->data(Qt::DecorationRole).value<QImage>();
    // Scaled into the row's picture box on adding: rows keep their thumbnails.
    QVERIFY(thumbnail.width() <= SourceThumbnailWidth && thumbnail.height() == SourceThumbnailHeight);
    QVERIFY(thumbnail.width() >= 116);
    QVERIFY(grid->Cell(1, scDuration).startsWith("Duration: 00:00:0"));
    QVERIFY(QFontMetrics(grid->font()).horizontalAdvance(grid->Cell(1, scFileMinName)) <= 300);
}

void WidgetsTest::DeleteKeepsASelection() {
    TWindow w(Join({Flags(AllVideo), {"Skin=0", "ResFolder=full"}}));
    TFilePage* page = w.Main->FilePage;
    const QString mp3 = QString::fromStdString(test::Fixture("a.mp3"));
    page->AddSourceFiles({mp3, mp3, mp3}); // the same file twice or more gives a row each
    QCOMPARE(page->RowCount(), 3);
    QVERIFY(!page->ActionDelete->isEnabled());
    page->NextGrid->SelectRow(2);
    QVERIFY(page->ActionMoveUp->isEnabled());
    QVERIFY(!page->ActionMoveDown->isEnabled());
    page->ActionDelete->trigger();
    QCOMPARE(page->RowCount(), 2);
    QCOMPARE(page->NextGrid->SelectedRow(), 1);
    page->ActionClear->trigger();
    page->AddSourceFiles({mp3});
    page->NextGrid->SelectRow(0);
    QVERIFY(!page->ActionMoveUp->isEnabled());
    page->ActionDelete->trigger();
    QCOMPARE(page->RowCount(), 0);
    QCOMPARE(page->NextGrid->SelectedRow(), -1);
    QVERIFY(!page->ActionClear->isEnabled());
}

void WidgetsTest::DropsKeepMediaFilesOnly() {
    TWindow w(Join({Flags(AllVideo), {"Skin=0", "ResFolder=full"}}));
    const QString avi = QString::fromStdString(test::Fixture("av.avi"));
    const QString mp3 = QString::fromStdString(test::Fixture("a.mp3"));
    const QString webm = QString::fromStdString(w.Dir.Path()) + "clip.webm";
    QFile::copy(avi, webm);
    auto drop = [&](const QStringList& paths) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls << QUrl::fromLocalFile(p);
        mime.setUrls(urls);
        w.Main->DropMimeData(&mime);
    };
    drop({QString::fromStdString(w.Dir.Path()), avi, mp3});
    QCOMPARE(w.Main->FilePage->RowCount(), 2);
    drop({webm});
    QCOMPARE(w.Main->FilePage->RowCount(), 2);
    QCOMPARE(w.FailedDialogs, 0);
    QCOMPARE(WaitCursorDepth(), 0);
}

void WidgetsTest::LogWindow() {
    test::TTempDir dir;
    TFormLog log;
    log.FFLoggerLog(1234, 6, "Stream mapping:");
    QCOMPARE(log.Text(), QString("#1234.6: Stream mapping:"));
    QString error;
    const QString file = QString::fromStdString(dir.Path()) + "saved.log";
    QVERIFY(log.SaveLogTo(file, error));
    QCOMPARE(QString::fromStdString(dir.Read("saved.log")), QString("#1234.6: Stream mapping:\n"));
    QVERIFY(!log.SaveLogTo(QString::fromStdString(dir.Path()) + "no/such/folder/x.log", error));
    QVERIFY(error.contains("no/such/folder"));

    int answer = mrNo;
    SetMessageHook([&](const std::string& message, const std::string& caption, TMsgDlgType, unsigned) {
        if (message != "Really delete log file?" || caption != "Delete log?") return int(mrNone);
        return answer;
    });
    log.ButtonDelete()->click();
    QCOMPARE(log.Text(), QString("#1234.6: Stream mapping:"));
    answer = mrYes;
    log.ButtonDelete()->click();
    SetMessageHook({});
    QCOMPARE(log.Text(), QString());
    QVERIFY(!log.ButtonSave()->isEnabled());
    // Something new to save makes Save Log available again.
    log.AppendLogLine("later line");
    QVERIFY(log.ButtonSave()->isEnabled());

    log.show();
    for (int width : {455, 900}) {
        log.resize(width, 300);
        QCoreApplication::processEvents();
        const QRect ok = log.ButtonOK()->geometry(), del = log.ButtonDelete()->geometry(),
                    save = log.ButtonSave()->geometry();
        QCOMPARE(del.left(), ok.right() + 1 + 8);
        QCOMPARE(save.left(), del.right() + 1 + 8);
        const int panel = log.ButtonOK()->parentWidget()->width();
        QCOMPARE(ok.left(), panel / 2 - (save.right() + 1 - ok.left()) / 2);
    }
    log.hide();
}

void WidgetsTest::FrameShapeLeavesOutMagentaOnly() {
    QImage frame(20, 10, QImage::Format_RGB888);
    frame.fill(QColor(40, 60, 80));
    frame.setPixel(0, 0, qRgb(255, 0, 255));
    frame.setPixel(19, 9, qRgb(255, 0, 255));
    frame.setPixel(5, 5, qRgb(254, 0, 255)); // close to magenta is still opaque
    const QRegion shape = OpaqueRegion(frame);
    QVERIFY(!shape.contains(QPoint(0, 0)));
    QVERIFY(!shape.contains(QPoint(19, 9)));
    QVERIFY(shape.contains(QPoint(1, 0)));
    QVERIFY(shape.contains(QPoint(5, 5)));
    QVERIFY(shape.contains(QPoint(10, 9)));

    // The real window: its corners are cut, its middle is not.
    TWindow w(Join({Flags(AllVideo), {"Skin=0", "ResFolder=full"}}));
    QVERIFY(w.Main->mask().contains(QPoint(386, 270)));
    QVERIFY(!w.Main->mask().contains(QPoint(0, 0)));
}

void WidgetsTest::AboutWindowBySkin() {
    TWindow w(
        Join({Flags(AllVideo), {"Skin=0", "ResFolder=full", "HelpHomePageLink=https://home.example/"}}));
    TFormAbout about(w.Main.get(), GlobalVars.ProductConfig, 2031);
    QCOMPARE(about.LabalTitle->text(), QString("Widget Test 2.1"));
    QVERIFY(about.LabelCopyright->text().contains("2031 Test Holder"));
    QCOMPARE(about.LabelWeb->text(), QString("https://home.example/"));
    QCOMPARE(about.PageControl->count(), 2);
    QVERIFY(about.ImageLeft && !about.ImageLeft->pixmap().isNull());

    TWindow dark(Join({Flags(AllVideo), {"Skin=3", "ResFolder=audio"}}));
    TFormAbout plain(dark.Main.get(), GlobalVars.ProductConfig, 2031);
    QVERIFY(!plain.ImageLeft);
    QCOMPARE(plain.PageControl->x(), 10);
    QCOMPARE(plain.width(), plain.PageControl->geometry().right() + 1 + 15);
    QCOMPARE(plain.ButtonOK->geometry().right(), plain.PageControl->geometry().right());
}

void WidgetsTest::HelpMenuAndShortcuts() {
    TWindow w(Join({Flags(AllVideo), {"Skin=0", "ResFolder=full"}}));
    QStringList items;
    for (QAction* a : w.Main->PopupMenuHelp->actions())
        items << (a->isSeparator() ? QString("-") : a->text());
    QCOMPARE(items, (QStringList{"Help Content", "How Tos && Tutorial Videos...", "-", "Home Page...",
                                 "More Free Tools...", "-", "Check for Updates...",
                                 "Contact Technical Support...", "-", "About"}));
    QStringList keys;
    for (QAction* a : w.Main->actions())
        if (!a->shortcut().isEmpty()) keys << a->objectName() + "=" + a->shortcut().toString();
    for (const char* expected : {"ActionHelpContent=F1", "ActionExit=Alt+F4", "ActionAdd=Ctrl+O",
                                 "ActionDelete=Del", "ActionClear=Shift+Del", "ActionPlay=Ctrl+P"})
        QVERIFY2(keys.contains(expected), qPrintable(keys.join(", ")));
}

void WidgetsTest::ConversionOfTwoSourcesEndsOnTheSummary() {
    const QString mp3 = QString::fromStdString(test::Fixture("a.mp3"));
    const QString avi = QString::fromStdString(test::Fixture("av.avi"));
    TConversionWindow w({mp3, avi});
    QVERIFY(w.Main->Converting());
    GlobalVars.UserSettings.PlayASoundWhenFinished = true;
    w.Main->Controller()->Next();
    // The run starts after the page change, so the converting page shows first.
    QCOMPARE(w.Main->CurrentPage(), TWizardPage::Step3);
    QTRY_COMPARE_WITH_TIMEOUT(w.Main->CurrentPage(), TWizardPage::Step4, 60000);
    TSummaryPage* summary = w.Main->ConversionSummaryPage;
    QCOMPARE(summary->LabelFinishTotalFiles->text(), "2");
    QCOMPARE(summary->LabelFinishSuccessed->text(), "2");
    QCOMPARE(summary->LabelFinishFailed->text(), "0");
    QVERIFY(summary->MemoErrorLog->isHidden());
    QCOMPARE(w.Sounds, std::vector<std::string>{"done.wav"});
    QVERIFY(w.PowerCalls.empty());
    QTreeWidget* list = w.Main->ConvertingPage->ListViewConverting;
    QCOMPARE(list->topLevelItemCount(), 2);
    for (int r = 0; r < 2; ++r) {
        QCOMPARE(list->topLevelItem(r)->text(2), "Finish.");
        QCOMPARE(list->topLevelItem(r)->text(3), "100%");
    }
    for (const char* name : {"out/a.mp3", "out/av.mp3"})
        QVERIFY2(FileExists(w.Dir.Path() + name), name);

    // Finish clears both lists and goes back to the start.
    w.Main->Controller()->Next();
    QCOMPARE(list->topLevelItemCount(), 0);
    QCOMPARE(w.Main->FilePage->RowCount(), 0);
}

void WidgetsTest::RefusedSourceIsCountedAndListed() {
    // A video-only source gives an MP3 without any stream, which the engine refuses.
    const QString mp3 = QString::fromStdString(test::Fixture("a.mp3"));
    const QString video = QString::fromStdString(test::Fixture("v.mp4"));
    TConversionWindow w({mp3, video});
    GlobalVars.UserSettings.PlayASoundWhenFinished = true;
    w.Main->Controller()->Next();
    QTRY_COMPARE_WITH_TIMEOUT(w.Main->CurrentPage(), TWizardPage::Step4, 60000);
    TSummaryPage* summary = w.Main->ConversionSummaryPage;
    QCOMPARE(summary->LabelFinishTotalFiles->text(), "2");
    QCOMPARE(summary->LabelFinishSuccessed->text(), "1");
    QCOMPARE(summary->LabelFinishFailed->text(), "1");
    QVERIFY(!summary->MemoErrorLog->isHidden());
    const QStringList lines = summary->MemoErrorLog->toPlainText().split('\n');
    QCOMPARE(lines.size(), 1);
    // Numbered as the list shows it, from 1, and named.
    QCOMPARE(lines[0], "File (2): v.mp4: Output file #0 does not contain any stream");
    QCOMPARE(w.Main->ConvertingPage->ListViewConverting->topLevelItem(1)->text(2), "Failed.");
    QCOMPARE(w.Sounds, std::vector<std::string>{"fail.wav"});
}

void WidgetsTest::CancelledConversionEndsOnTheSummary() {
    const QString mp3 = QString::fromStdString(test::Fixture("long.mp3"));
    TConversionWindow w({mp3, mp3, mp3});
    w.Main->Controller()->Next();
    // Stopped once the first file has some audio written, so its partial output has frames.
    QTRY_VERIFY_WITH_TIMEOUT(w.Main->ConvertingPage->ProgressBar->value() >= 1, 20000);
    w.Answer = mrNo;
    w.Main->Controller()->Exit();
    QCOMPARE(QString::fromStdString(w.Messages.back()), "Do you really want to cancel the conversion?");
    QVERIFY(w.Main->Converting()->Running());
    w.Answer = mrYes;
    w.Main->Controller()->Exit();
    // Stopping waits for the run, whose end shows the summary with the counts so far.
    QTRY_COMPARE_WITH_TIMEOUT(w.Main->CurrentPage(), TWizardPage::Step4, 20000);
    TSummaryPage* summary = w.Main->ConversionSummaryPage;
    QCOMPARE(summary->LabelFinishTotalFiles->text(), "3");
    QCOMPARE(summary->LabelFinishSuccessed->text().toInt() + summary->LabelFinishFailed->text().toInt(), 3);
    // What a stopped task leaves behind is a complete file, or nothing.
    for (const QFileInfo& file :
         QDir(QString::fromStdString(w.Dir.Path() + "out")).entryInfoList(QDir::Files)) {
        int status = 0;
        test::RunCommand("ffprobe -v error " + test::ShellQuote(file.filePath().toStdString()), status);
        QVERIFY2(status == 0, qPrintable(file.fileName()));
    }
}

void WidgetsTest::JoinEditionMakesOneFile() {
    const QString mp3 = QString::fromStdString(test::Fixture("a.mp3"));
    TConversionWindow w({mp3, mp3, mp3}, {"Merge=Yes"});
    w.Main->Controller()->Next();
    QTreeWidget* list = w.Main->ConvertingPage->ListViewConverting;
    QTRY_COMPARE_WITH_TIMEOUT(w.Main->CurrentPage(), TWizardPage::Step4, 60000);
    QCOMPARE(list->headerItem()->text(2), "Width x Height");
    QCOMPARE(list->headerItem()->text(3), "Aspect Ratio");
    QCOMPARE(w.Main->ConvertingPage->LabelCurrentFileCaption->text(), "Output file:");
    QCOMPARE(list->topLevelItemCount(), 3);
    TSummaryPage* summary = w.Main->ConversionSummaryPage;
    QCOMPARE(summary->LabelFinishTotalFiles->text(), "1");
    QCOMPARE(summary->LabelFinishSuccessed->text(), "1");
    const std::string output = w.Dir.Path() + "out/Output_Merge.mp3";
    QVERIFY(FileExists(output));
    int status = 0;
    const std::string duration = test::RunCommand(
        "ffprobe -v error -show_entries format=duration -of csv=p=0 " + test::ShellQuote(output), status);
    QCOMPARE(status, 0);
    QVERIFY2(std::abs(std::stod(duration) - 6.0) < 0.3, duration.c_str());
}

void WidgetsTest::ShutdownCountdown() {
    TFormShutdown dialog(nullptr, "Widget Test", 60000);
    QCOMPARE(dialog.LabelTimeOut->text(), "Time left: 30");
    for (int i = 0; i < 30; ++i)
        dialog.Tick();
    QCOMPARE(dialog.LabelTimeOut->text(), "Time left: 0");
    QCOMPARE(dialog.result(), int(QDialog::Rejected)); // still open at 0
    dialog.Tick();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    TFormShutdown cancelled(nullptr, "Widget Test", 60000);
    cancelled.show();
    QTest::mouseClick(cancelled.ButtonCancel, Qt::LeftButton);
    QCOMPARE(cancelled.result(), int(QDialog::Rejected));
    QVERIFY(!cancelled.TimerShutdown->isActive() || cancelled.isHidden());
}

void WidgetsTest::ShutdownAfterTheRun_data() {
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("time-out") << false << QStringList{"poweroff"};
    QTest::newRow("cancel") << true << QStringList{};
}

void WidgetsTest::ShutdownAfterTheRun() {
    QFETCH(bool, cancel);
    QFETCH(QStringList, calls);
    TConversionWindow w({QString::fromStdString(test::Fixture("a.mp3"))});
    GlobalVars.UserSettings.ShutDownWhenFinished = true;
    w.Main->ShutdownTickMs = cancel ? 60000 : 1;
    // Cancel is pressed once the countdown is up; the dialog is modal, so it is looked for.
    QTimer presser;
    presser.setInterval(20);
    QObject::connect(&presser, &QTimer::timeout, [] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<TFormShutdown*>(top); d && d->isVisible()) d->ButtonCancel->click();
    });
    if (cancel) presser.start();
    w.Main->Controller()->Next();
    QTRY_COMPARE_WITH_TIMEOUT(w.Main->CurrentPage(), TWizardPage::Step4, 30000);
    QStringList seen;
    for (const std::string& c : w.PowerCalls)
        seen << QString::fromStdString(c);
    QCOMPARE(seen, calls);
    QCOMPARE(w.Main->ConversionSummaryPage->LabelFinishSuccessed->text(), "1");
}


void WidgetsTest::PreviewWindowShowsPicturesAndCloses() {
    QWidget anchor;
    const QRect screen = anchor.screen()->availableGeometry();
    const TPreviewPlace place = std::make_shared<std::optional<QPoint>>();
    auto first = std::make_unique<TPreviewer>(&anchor, place);
    QVERIFY(first->IsOpen());
    QVERIFY(!first->Window()); // nothing until the first picture

    first->ShowPicture(Picture(160, 120, QColor(200, 40, 10)), 1, TimeNotSetUs);
    TPreviewWindow* window = first->Window();
    QVERIFY(window && window->isVisible());
    // A tool window of its owner: above it, not above every other program's windows.
    QVERIFY(window->windowFlags().testFlags(Qt::Tool | Qt::FramelessWindowHint));
    QVERIFY(!window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(window->parentWidget(), &anchor);
    QCOMPARE(window->Caption(), "N/A");
    QCOMPARE(window->PictureRect().size(), QSize(160, 120));
    QVERIFY((window->geometry().center() - screen.center()).manhattanLength() <= 2);
    const QImage shot = window->grab().toImage();
    QCOMPARE(shot.pixelColor(window->PictureRect().topLeft()), QColor(200, 40, 10));
    QCOMPARE(shot.pixelColor(window->PictureRect().bottomRight()), QColor(200, 40, 10));

    first->ShowPicture(Picture(160, 120, Qt::blue), 7, 3725500000LL);
    QCOMPARE(window->Caption(), "01:02:05.500");
    QCOMPARE(window->windowTitle(), "01:02:05.500");
    QCOMPARE(first->FrameNumber(), 7);

    // A press anywhere drags the window.
    const QPoint before = window->pos();
    const QPoint inside = window->PictureRect().center();
    QTest::mousePress(window, Qt::LeftButton, {}, inside);
    QTest::mouseMove(window, inside + QPoint(30, 20));
    QTest::mouseRelease(window, Qt::LeftButton, {}, inside + QPoint(30, 20));
    QCOMPARE(window->pos(), before + QPoint(30, 20));

    // The next task's window takes the place of this one.
    TPreviewer second(&anchor, place);
    second.ShowPicture(Picture(160, 120, Qt::green), 1, 0);
    QCOMPARE(ShownPreviews(&anchor), QList<TPreviewWindow*>{second.Window()});
    QVERIFY((second.Window()->pos() - window->pos()).manhattanLength() <= 2);
    QVERIFY(first->IsOpen()); // put aside, not closed by the user
    first.reset();
    QCOMPARE(anchor.findChildren<TPreviewWindow*>().size(), 1);

    // The close button and Esc are close requests; afterwards pictures are refused.
    QTest::mouseClick(second.Window()->ButtonClose, Qt::LeftButton);
    QVERIFY(!second.IsOpen());
    QVERIFY(!second.Window()->isVisible());
    second.ShowPicture(Picture(160, 120, Qt::green), 2, 40000);
    QVERIFY(!second.Window()->isVisible());
    // With none on screen, a new window opens where the user had the last one.
    TPreviewer third(&anchor, place);
    third.ShowPicture(Picture(8, 8, Qt::green), 1, 0);
    QVERIFY((third.Window()->pos() - (before + QPoint(30, 20))).manhattanLength() <= 2);
    QTest::keyClick(third.Window(), Qt::Key_Escape);
    QVERIFY(!third.IsOpen());

    // A picture larger than a third of the screen is scaled down to that.
    TPreviewer large(&anchor, place);
    large.ShowPicture(Picture(screen.width() * 2, screen.height() * 2, Qt::red), 1, 0);
    const QRect frame = large.Window()->geometry();
    QVERIFY(screen.contains(frame));
    QVERIFY(frame.width() <= screen.width() / 3 && frame.height() <= screen.height() / 3);
    const QSize shown = large.Window()->PictureRect().size();
    QVERIFY(std::abs(shown.width() * screen.height() - shown.height() * screen.width()) <=
            screen.width() + screen.height());
}

void WidgetsTest::PreviewKeepsTheCommandsFree_data() {
    QTest::addColumn<QRect>("anchor");
    QTest::addColumn<QPoint>("last"); // (-1, -1): none
    QTest::addColumn<QPoint>("expected");
    const QRect centredMain(254, 126, 772, 547), cornerMain(0, 0, 772, 547);
    QTest::newRow("no anchor: centred") << QRect() << QPoint(-1, -1) << QPoint(318, 177);
    QTest::newRow("no anchor: last place onto the screen") << QRect() << QPoint(-50, 700) << QPoint(0, 356);
    QTest::newRow("no free side: beside, over the upper part")
        << centredMain << QPoint(-1, -1) << QPoint(638, 126);
    QTest::newRow("last place kept when it leaves them free")
        << centredMain << QPoint(900, 50) << QPoint(638, 50);
    QTest::newRow("last place pulled over the commands: beside instead")
        << cornerMain << QPoint(768, 327) << QPoint(638, 0);
    QTest::newRow("room on the left: beside, clear of the window")
        << QRect(660, 100, 612, 547) << QPoint(-1, -1) << QPoint(10, 100);
    QTest::newRow("anchor fills the screen: over its upper part")
        << QRect(0, 0, 1280, 800) << QPoint(-1, -1) << QPoint(638, 0);
}

void WidgetsTest::PreviewKeepsTheCommandsFree() {
    QFETCH(QRect, anchor);
    QFETCH(QPoint, last);
    QFETCH(QPoint, expected);
    const std::optional<QPoint> place = last == QPoint(-1, -1) ? std::nullopt : std::optional<QPoint>(last);
    QCOMPARE(PreviewPosition(QRect(0, 0, 1280, 800), QSize(642, 444), anchor, place), expected);
}

void WidgetsTest::PreviewBoxSwitchesTheRunsPreview() {
    TConversionWindow w({QString::fromStdString(test::Fixture("a.mp3"))});
    test::TFakeJobFactory fake;
    fake.Board->RunMs = 60000;
    fake.Board->PreviewWidth = 96;
    fake.Board->PreviewHeight = 64;
    fake.Board->PreviewPtsUs = 3725500000LL;
    TFFEncoder& encoder = w.Main->Converting()->Encoder();
    encoder.JobFactory = fake.Factory();
    QCheckBox* box = w.Main->ConvertingPage->CheckBoxPreview;
    QCOMPARE(box->text(), "Preview");
    QVERIFY(!box->isChecked());
    w.Main->Controller()->Next();
    QTRY_VERIFY(fake.Board->PreviewsSent > 3);
    QVERIFY(ShownPreviews(w.Main.get()).isEmpty());

    box->click();
    QVERIFY(encoder.Preview());
    QTRY_COMPARE(ShownPreviews(w.Main.get()).size(), 1);
    TPreviewWindow* window = ShownPreviews(w.Main.get())[0];
    QCOMPARE(window->Caption(), "01:02:05.500");
    QCOMPARE(window->grab().toImage().pixelColor(window->PictureRect().topLeft()), QColor(0xe0, 0x90, 0x30));

    // Unticking closes the window at once; ticking again opens a new one.
    box->click();
    QVERIFY(!encoder.Preview());
    QVERIFY(w.Main->findChildren<TPreviewWindow*>().isEmpty());
    box->click();
    QTRY_COMPARE(ShownPreviews(w.Main.get()).size(), 1);

    // Closed by the user: that task's preview is switched off, no window comes back.
    ShownPreviews(w.Main.get())[0]->close();
    const int sent = fake.Board->PreviewsSent;
    QTRY_VERIFY(fake.Board->PreviewsSent > sent + 3);
    QVERIFY(ShownPreviews(w.Main.get()).isEmpty());
    QCOMPARE(encoder.Task(0).PreviewFlags & pfWindow, 0);
    QVERIFY(box->isChecked());
}

QTEST_MAIN(WidgetsTest)
#include "WidgetsTest.moc"
