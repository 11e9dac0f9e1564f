// Renders every page of every edition, the About, log and failed-add windows with the offscreen
// platform: mediawizard-screenshots OUTDIR EDITIONSDIR MEDIA...
// With --first-page (run at QT_SCALE_FACTOR=2) only each edition's start page, as a high-density
// screen shows it: OUTDIR/<edition>/first-page@2x.png.
// Runs from the run folder (the pictures are found beside the executable). Each edition starts
// with fresh settings in a temporary folder; message boxes are answered Yes without showing.
#include "wizard/Globals.h"
#include "app/ProductConfig.h"
#include "convert/ConversionRun.h"
#include "convert/SourceList.h"
#include "presets/PresetCatalogue.h"
#include "widgets/PictureButton.h"
#include "widgets/SlideGrid.h"
#include "wizard/AboutWindow.h"
#include "wizard/ConvertingView.h"
#include "wizard/DownloadPagesView.h"
#include "wizard/FailedAddDialog.h"
#include "wizard/FilePage.h"
#include "wizard/LogWindow.h"
#include "wizard/MainWindow.h"
#include "wizard/OutputPageView.h"
#include "wizard/Pages.h"
#include "wizard/Previewer.h"
#include "wizard/QualityDialog.h"
#include "wizard/platform/GuiUtils.h"
#include "wizard/platform/QtDispatcher.h"

#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>

namespace {

using namespace mw;

void Settle() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

// The window as the desktop shows it: transparent outside its shape.
bool Save(QWidget* w, const QString& file) {
    Settle();
    QImage image = w->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (!w->mask().isEmpty()) {
        QPainter p(&image);
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.setClipRegion(QRegion(image.rect()).subtracted(w->mask()));
        p.fillRect(image.rect(), Qt::transparent);
    }
    const bool ok = image.save(file);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(file));
    return ok;
}

// The window over a plain desktop of a common laptop size, as the window manager shows it; more
// windows (the preview) are drawn on top at their places.
QImage Desktop(TFormMain& main, const QRect& screen, const QPoint& mainAt) {
    QImage desktop(screen.size(), QImage::Format_ARGB32_Premultiplied);
    QPainter p(&desktop);
    QLinearGradient g(0, 0, 0, screen.height());
    g.setColorAt(0, QColor("#5d6b78"));
    g.setColorAt(1, QColor("#2f3842"));
    p.fillRect(desktop.rect(), g);
    QImage window = main.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (!main.mask().isEmpty()) {
        QPainter w(&window);
        w.setCompositionMode(QPainter::CompositionMode_Clear);
        w.setClipRegion(QRegion(window.rect()).subtracted(main.mask()));
        w.fillRect(window.rect(), Qt::transparent);
    }
    p.drawImage(mainAt, window);
    return desktop;
}

bool SaveImage(const QImage& image, const QString& file) {
    const bool ok = image.save(file);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(file));
    return ok;
}

// A picture from the middle of the first video in the list, as the run's preview shows it: the
// window alone, and beside the converting page on a 1280 x 800 desktop where it opens there.
bool ShootPreview(TFormMain& main, const QString& outDir) {
    if (!main.Converting()) return true;
    TFFDecoder& decoder = main.Converting()->Encoder().Decoder();
    TBitmap picture;
    int64_t time = 0;
    for (int r = 0; r < main.FilePage->RowCount() && picture.Width() == 0; ++r) {
        TFileStreamInfo facts;
        if (decoder.LoadFile(main.FilePage->NextGrid->Cell(r, scFileFullName).toStdString()) &&
            decoder.GetFileStreamInfo(facts) && decoder.FirstVideoStreamIndex() >= 0) {
            time = facts.Duration < 0 ? 0 : facts.Duration / 2;
            decoder.Seek(0, time);
            if (!decoder.DecodeVideoFrame(decoder.FirstVideoStreamIndex()) || !decoder.GetBitmap(picture))
                picture = TBitmap();
            else if (decoder.PictureTimeUs() >= 0)
                time = decoder.PictureTimeUs();
        }
        decoder.CloseFile();
    }
    if (picture.Width() == 0) return true; // no video in the list
    TPreviewer preview(&main);
    preview.ShowPicture(picture, 1, time);
    TPreviewWindow* window = preview.Window();
    bool ok = Save(window, outDir + "/preview.png");
    // The offscreen screen is not a desktop: size and place as on a 1280 x 800 one.
    const QRect screen(0, 0, 1280, 800);
    const QSize pictureSize = PreviewPictureSize(screen, QSize(picture.Width(), picture.Height()));
    window->SetPicture(window->Picture().scaled(pictureSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                       window->Caption());
    const QPoint mainAt((screen.width() - main.width()) / 2, (screen.height() - main.height()) / 2);
    const QPoint at = PreviewPosition(screen, window->size(), QRect(mainAt, main.size()), std::nullopt);
    QImage desktop = Desktop(main, screen, mainAt);
    QPainter p(&desktop);
    p.drawImage(at, window->grab().toImage());
    p.end();
    return SaveImage(desktop, outDir + "/5-converting-preview.png") && ok;
}

// The keyboard's focus mark on a format button and on Next, as Tab leaves them.
bool ShootFocus(TFormMain& main, const QString& outDir) {
    main.activateWindow();
    QApplication::setActiveWindow(&main);
    Settle();
    bool ok = true;
    const int cls = GlobalVars.UserSettings.OutputSelection.OutputFormatClass;
    for (TPictureButton* b : main.OutputPage->FormatButtons[cls < 3 ? cls : 0])
        if (b && b->isChecked()) {
            b->setFocus(Qt::TabFocusReason);
            ok &= Save(&main, outDir + "/focus-format.png");
        }
    main.ButtonNext->setFocus(Qt::TabFocusReason);
    ok &= Save(&main, outDir + "/focus-next.png");
    return ok;
}

struct TShot {
    TWizardPage Page;
    const char* Name;
};

bool ShootEdition(const QString& outDir, const QString& edition, const std::string& config,
                  const QStringList& media, const QString& brokenFile) {
    QDir().mkpath(outDir);
    QTemporaryDir settings;
    setenv("XDG_CONFIG_HOME", qPrintable(settings.path()), 1);
    GlobalVars = TGlobalVars{};
    QApplication::setApplicationName(QString::fromStdString(ReadProductTitle(config)));
    bool ok = true;

    TFormLog log;
    TFormMain main(&log, config);
    if (!main.Controller()) {
        std::fprintf(stderr, "%s: the window could not be set up\n", qPrintable(edition));
        return false;
    }
    main.move(0, 0);
    main.show();
    TPageController& c = *main.Controller();
    if (GlobalVars.ProductConfig.Download) {
        c.ShowPage(TWizardPage::Mode);
        ok &= Save(&main, outDir + "/1-mode.png");
    }
    c.ShowPage(TWizardPage::Step1);
    ok &= Save(&main, outDir + "/2-files-empty.png");
    main.FilePage->OnFailedAdd = [&] {
        TFormFailedAddFile dialog(&main);
        dialog.show();
        ok &= Save(&dialog, outDir + "/failed-add.png");
    };
    QStringList files = media;
    files.insert(std::min<int>(2, files.size()), brokenFile);
    main.FilePage->AddSourceFiles(files);
    main.FilePage->NextGrid->SelectRow(0);
    ok &= Save(&main, outDir + "/3-files.png");

    GlobalVars.UserSettings.OutputFileDir = QDir::homePath().toStdString() + "/Videos/Converted/";
    c.Next();
    ok &= Save(&main, outDir + "/4-output.png");
    ok &= ShootFocus(main, outDir);
    // The device class, whose names are the longest, when the edition has it.
    if (!main.OutputPage->ClassButtons[fcDevice]->isHidden() &&
        GlobalVars.UserSettings.OutputSelection.OutputFormatClass != fcDevice) {
        const int chosen = GlobalVars.UserSettings.OutputSelection.OutputFormatClass;
        main.OutputPage->ClassButtons[fcDevice]->click();
        ok &= Save(&main, outDir + "/4-output-devices.png");
        if (chosen < 3) main.OutputPage->ClassButtons[chosen]->click();
    }

    // The converting page with two files converting at once, the first a third through.
    c.ShowPage(TWizardPage::Step3);
    const bool join = GlobalVars.ProductConfig.Merge;
    const QString joinOutput =
        QString::fromStdString(GlobalVars.UserSettings.OutputFileDir) + "Output_Merge.avi";
    main.ConvertingPage->SetJoinMode(join);
    const QString progress[] = {"37%", "12%"};
    for (int r = 0; r < main.FilePage->RowCount(); ++r) {
        const QString path = main.FilePage->NextGrid->Cell(r, scFileFullName);
        const QString duration = main.FilePage->NextGrid->Cell(r, scDuration).section(": ", 1);
        const QString status = QString::fromStdString(
            std::string(RowStatusText(r < 2 ? TRowStatus::Converting : TRowStatus::Waiting)));
        const QStringList middle = join ? QStringList{main.FilePage->NextGrid->Cell(r, scWidth) + "x" +
                                                          main.FilePage->NextGrid->Cell(r, scHeight),
                                                      main.FilePage->NextGrid->Cell(r, scAspectRatio)}
                                        : QStringList{status, r < 2 ? progress[r] : QString()};
        new QTreeWidgetItem(main.ConvertingPage->ListViewConverting,
                            {QFileInfo(path).fileName(), duration.left(8), middle[0], middle[1],
                             join ? joinOutput : QFileInfo(path).absolutePath()});
    }
    main.ConvertingPage->LabelCurrentFileCaption->setText(join ? "Output file:" : "Current file:");
    // The file started last.
    const int current = std::min(1, main.FilePage->RowCount() - 1);
    main.ConvertingPage->LabelCurrentFile->setText(
        join ? joinOutput : main.FilePage->NextGrid->Cell(current, scFileFullName));
    main.ConvertingPage->SetAutomaticCount(3);
    main.ConvertingPage->SetParallelChoice(2);
    main.ConvertingPage->LabelEstimated->setText("0:00:24");
    main.ConvertingPage->LabelElapsed->setText("0:00:09");
    main.ConvertingPage->LabelTimeLeft->setText("0:00:15");
    // Per file: the two running files' progress together.
    const int overall = join ? 37 : 24;
    main.ConvertingPage->ProgressBar->setValue(overall);
    main.ConvertingPage->LabelProgress->setText(QString::number(overall) + "%");
    main.ConvertingPage->CheckBoxPreview->setChecked(true);
    ok &= Save(&main, outDir + "/5-converting.png");
    ok &= ShootPreview(main, outDir);
    main.ConvertingPage->CheckBoxPreview->setChecked(false);

    const int total = main.FilePage->RowCount();
    c.ShowConversionSummary(GlobalVars.ProductConfig.Merge ? 1 : total,
                            GlobalVars.ProductConfig.Merge ? 1 : total - 1,
                            GlobalVars.ProductConfig.Merge
                                ? std::vector<std::string>{}
                                : std::vector<std::string>{
                                      "File (4): bear_vorbis.ogg: Invalid data found when processing input"});
    ok &= Save(&main, outDir + "/6-conversion-summary.png");

    if (GlobalVars.ProductConfig.Download) {
        TDownloadPagesView* view = main.findChild<TDownloadPagesView*>();
        const std::vector<std::string> links = {"https://www.youtube.com/watch?v=kestrel01",
                                                "https://www.youtube.com/watch?v=harbour22",
                                                "https://www.youtube.com/watch?v=sunrise33"};
        GlobalVars.UserSettings.OutputURLDir = QDir::homePath().toStdString() + "/Videos/Downloads/";
        c.ShowPage(TWizardPage::Step5);
        if (view) {
            view->Logic().ApplyStep5Settings();
            view->Logic().LinkList.Links = links;
            view->LinksChanged(1);
        }
        ok &= Save(&main, outDir + "/7-links.png");

        TFormYouTubeHQ quality(&main, GlobalVars.UserSettings.PreferYouTube);
        quality.show();
        quality.ListViewYouTubeHQ->setCurrentItem(quality.ListViewYouTubeHQ->topLevelItem(0));
        ok &= Save(&quality, outDir + "/quality.png");
        quality.hide();

        // The downloading page as a run shows it during its second link.
        c.ShowPage(TWizardPage::Step6);
        if (view) {
            TDownloadRunner& runner = view->Logic().Runner();
            runner.BuildDownloadList(links);
            runner.Rows[0] = {"Harbour at dawn",
                              "Finish.",
                              "12.40MB",
                              "812.55 KB/s",
                              "100%",
                              "https://www.youtube.com/get_video_info?video_id=kestrel01",
                              ""};
            runner.Rows[1] = {"Kestrel in flight",
                              "Downloading...",
                              "24.73MB",
                              "1024.18 KB/s",
                              "42%",
                              "https://www.youtube.com/get_video_info?video_id=harbour22",
                              ""};
            runner.Panel = {"Kestrel in flight",
                            "Downloading...",
                            "1024.18 KB/s",
                            "00:00:10",
                            "00:00:14",
                            "[HQ18] - (MP4(H.264), 640 x 360, Stereo 44KHz AAC)",
                            42,
                            "42%"};
            view->DownloadRowsChanged();
            view->DownloadPanelChanged();
        }
        ok &= Save(&main, outDir + "/8-downloading.png");
        if (view)
            view->SetDownloadSummary(3, 2, 1,
                                     "Link (2): " + links[2] +
                                         ": The video page could not be fetched: the server answered 404.");
        c.ShowPage(TWizardPage::Step7);
        ok &= Save(&main, outDir + "/9-download-summary.png");
    }

    TFormAbout about(&main, GlobalVars.ProductConfig, QDate::currentDate().year());
    about.show();
    // The download engine's version arrives when the program has answered.
    QElapsedTimer waited;
    waited.start();
    while (about.LabelDownloadEngine && waited.elapsed() < 10000 &&
           !about.LabelDownloadEngine->text().contains(QRegularExpression("yt-dlp \\d|not found")))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ok &= Save(&about, outDir + "/about.png");
    about.close();
    log.FFLoggerLog(1234, 6, "Stream mapping:");
    log.show();
    ok &= Save(&log, outDir + "/log.png");
    log.hide();
    main.hide();
    return ok;
}

// The start page as the window opens, at the screen's device-pixel ratio.
bool ShootFirstPage(const QString& outDir, const std::string& config) {
    QDir().mkpath(outDir);
    QTemporaryDir settings;
    setenv("XDG_CONFIG_HOME", qPrintable(settings.path()), 1);
    GlobalVars = TGlobalVars{};
    QApplication::setApplicationName(QString::fromStdString(ReadProductTitle(config)));
    TFormLog log;
    TFormMain main(&log, config);
    if (!main.Controller()) return false;
    main.move(0, 0);
    main.show();
    const QString ratio = QString::number(main.devicePixelRatioF());
    return Save(&main, outDir + "/first-page@" + ratio + "x.png");
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TQtDispatcher dispatcher;
    SetMainThreadDispatcher(&dispatcher);
    const bool firstPage = argc > 1 && std::string(argv[1]) == "--first-page";
    if (firstPage) {
        --argc;
        ++argv;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: mediawizard-screenshots [--first-page] OUTDIR EDITIONSDIR [MEDIA...]\n");
        return 2;
    }
    SetMessageHook([](const std::string& message, const std::string&, TMsgDlgType, unsigned buttons) {
        std::printf("message: %s\n", message.c_str());
        return (buttons & mbYes) ? mrYes : mrOk;
    });
    QTemporaryDir scratch;
    // Deep enough that its reason is longer than the failed-add dialog is wide.
    QDir(scratch.path()).mkpath("Camera uploads/2019 Summer in the mountains");
    const QString broken = scratch.path() + "/Camera uploads/2019 Summer in the mountains/holiday notes.avi";
    QFile f(broken);
    if (f.open(QIODevice::WriteOnly)) f.write("These are notes, not a movie.\n");
    f.close();
    QStringList media;
    for (int i = 3; i < argc; ++i)
        if (QFileInfo(argv[i]).isFile()) media << QString::fromLocal8Bit(argv[i]);
    bool ok = true;
    for (const char* edition : {"full", "convert", "join", "audio"}) {
        const std::string config = std::string(argv[2]) + "/" + edition + "/lamecore.dll";
        if (firstPage)
            ok &= ShootFirstPage(QString(argv[1]) + "/" + edition, config);
        else
            ok &= ShootEdition(QString(argv[1]) + "/" + edition, edition, config, media, broken);
    }
    SetMainThreadDispatcher(nullptr);
    return ok ? 0 : 1;
}
