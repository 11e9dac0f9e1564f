// How the desktop window behaves for its user under the offscreen platform: the preview's size
// and place, questions owned by the window and taken back when the run ends, the close question
// during a run, the keyboard (Enter, Esc, Tab, arrows, focus marks), names for screen readers,
// and the texts of rows, log and dialogs.
#include "EngineFixtures.h"
#include "FakeTaskJob.h"
#include "WizardWindowFixture.h"
#include "convert/SourceList.h"
#include "presets/PresetCatalogue.h"
#include "widgets/PictureButton.h"
#include "widgets/SlideGrid.h"
#include "wizard/FailedAddDialog.h"
#include "wizard/OutputPageView.h"
#include "wizard/Pages.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QWindow>
#include <QtTest>
#include <filesystem>
#include <fstream>

using namespace mw;
using namespace mw::test;

namespace {

QStringList Names(const QList<QWidget*>& widgets) {
    QStringList names;
    for (QWidget* w : widgets)
        names << (w ? w->objectName() + ":" + w->metaObject()->className() : QString("null"));
    return names;
}

// The window shown and active, so that focus and keys reach it as they would on a desktop.
void Activate(QWidget* window) {
    window->show();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
}

// The fake job runs instead of the transcoder; long enough for the test to act during the run.
struct TFakeRun {
    explicit TFakeRun(TConversionWindow& w, int runMs) {
        Fake.Board->RunMs = runMs;
        w.Main->Converting()->Encoder().JobFactory = Fake.Factory();
    }
    TFakeJobFactory Fake;
};

// Colours within a small distance of the wanted one.
int PixelsNear(const QImage& image, const QColor& wanted) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - wanted.red()) + std::abs(c.green() - wanted.green()) +
                    std::abs(c.blue() - wanted.blue()) <
                60)
                ++n;
        }
    return n;
}

// An AVI whose video stream the probe reports but whose pictures cannot be decoded.
std::string VideoWithoutPicture(const TTempDir& dir) {
    const std::string path = dir.Path() + "no picture.avi";
    int status = 0;
    RunCommand("ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=10 -t 1 -c:v mjpeg " +
                   ShellQuote(path),
               status);
    if (status != 0) return "";
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    // Every video chunk's payload zeroed: no JPEG left to decode.
    for (size_t at = data.find("00dc"); at != std::string::npos && at + 8 <= data.size();
         at = data.find("00dc", at + 8)) {
        const uint32_t size = static_cast<unsigned char>(data[at + 4]) |
                              static_cast<unsigned char>(data[at + 5]) << 8 |
                              static_cast<unsigned char>(data[at + 6]) << 16 |
                              static_cast<uint32_t>(static_cast<unsigned char>(data[at + 7])) << 24;
        if (size > 0 && at + 8 + size <= data.size()) std::fill_n(data.begin() + at + 8, size, '\0');
    }
    f.seekp(0);
    f.write(data.data(), static_cast<std::streamsize>(data.size()));
    return path;
}

// Rows "skin" and "folder" for the editions of those skins.
void SkinRows(std::initializer_list<int> skins) {
    const char* const folders[] = {"full", "convert", "join", "audio"};
    QTest::addColumn<QString>("skin");
    QTest::addColumn<QString>("folder");
    for (int skin : skins)
        QTest::newRow(qPrintable(QString::number(skin))) << QString::number(skin) << QString(folders[skin]);
}

QString AccessibleName(QWidget* w) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
    return face ? face->text(QAccessible::Name) : QString();
}

} // namespace

class WindowBehaviourTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { LoadEngineLibraries(); }
    void PreviewTakesAThirdOfTheScreenBesideTheWindow_data();
    void PreviewTakesAThirdOfTheScreenBesideTheWindow();
    void QuestionsBelongToTheWindowAboveItsPreview();
    void CancelQuestionOpenAtTheRunsEndIsTakenBack();
    void ClosingDuringARunAsksFirst_data();
    void ClosingDuringARunAsksFirst();
    void EnterAndEscAreThePagesCommands();
    void TabFollowsTheReadingOrder();
    void ArrowKeysChooseWithinAGroup();
    void FocusMarkInEverySkin_data();
    void FocusMarkInEverySkin();
    void EveryPictureButtonHasAName_data();
    void EveryPictureButtonHasAName();
    void RowsKeepTheFileNameAndAlwaysHaveAPicture();
    void LogNamesTheFilesAndOpensOnTheScreen();
    void FailedAddDialogShowsWholeReasons();
    void OutputPageLinesUpAndShowsWholePresets();
};

void WindowBehaviourTest::PreviewTakesAThirdOfTheScreenBesideTheWindow_data() {
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("shown");
    QTest::addColumn<QPoint>("at");
    // The main window (772 x 547) centred; the window is the picture plus frame and title strip.
    QTest::newRow("1280x800, 1080p: scaled, beside over the upper part")
        << QRect(0, 0, 1280, 800) << QSize(1920, 1080) << QSize(424, 238) << QPoint(854, 126);
    QTest::newRow("1920x1080, 1080p: scaled, beside over the frame's edge")
        << QRect(0, 0, 1920, 1080) << QSize(1920, 1080) << QSize(597, 336) << QPoint(1321, 266);
    QTest::newRow("1280x800, small picture at its own size")
        << QRect(0, 0, 1280, 800) << QSize(320, 240) << QSize(320, 240) << QPoint(958, 126);
    QTest::newRow("1920x1080, small picture: beside, clear of the window")
        << QRect(0, 0, 1920, 1080) << QSize(320, 240) << QSize(320, 240) << QPoint(1354, 266);
    QTest::newRow("1920x1080, tall picture: height bound")
        << QRect(0, 0, 1920, 1080) << QSize(1080, 1920) << QSize(189, 336) << QPoint(1354, 266);
}

void WindowBehaviourTest::PreviewTakesAThirdOfTheScreenBesideTheWindow() {
    QFETCH(QRect, screen);
    QFETCH(QSize, picture);
    QFETCH(QSize, shown);
    QFETCH(QPoint, at);
    const QSize pictureSize = PreviewPictureSize(screen, picture);
    QCOMPARE(pictureSize, shown);
    const QSize window = pictureSize + QSize(2, PreviewStripHeight + 2);
    QVERIFY(window.width() <= screen.width() / 3 && window.height() <= screen.height() / 3);
    const QRect main(QPoint((screen.width() - 772) / 2, (screen.height() - 547) / 2), QSize(772, 547));
    const QPoint placed = PreviewPosition(screen, window, main, std::nullopt);
    QCOMPARE(placed, at);
    QVERIFY(screen.contains(QRect(placed, window)));
    // The commands along the window's bottom stay free.
    QVERIFY(!QRect(placed, window).intersects(QRect(main.left(), main.bottom() - 95, main.width(), 96)));
}

void WindowBehaviourTest::QuestionsBelongToTheWindowAboveItsPreview() {
    TConversionWindow w({QString::fromStdString(Fixture("a.mp3"))});
    TFakeRun run(w, 60000);
    run.Fake.Board->PreviewWidth = 96;
    run.Fake.Board->PreviewHeight = 64;
    Activate(w.Main.get());
    SetMessageHook({}); // real message boxes from here on
    w.Main->ConvertingPage->CheckBoxPreview->click();
    w.Main->Controller()->Next();
    QTRY_COMPARE(ShownPreviews(w.Main.get()).size(), 1);
    TPreviewWindow* preview = ShownPreviews(w.Main.get())[0];
    QVERIFY(!preview->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(preview->windowHandle()->transientParent(), w.Main->windowHandle());

    QString seen;
    bool owned = false;
    QTimer::singleShot(100, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        seen = box->text();
        // Owned by the main window: the window manager stacks it above the window and its
        // tool windows, the preview among them.
        owned = box->parentWidget() == w.Main.get() && box->isModal() &&
                box->windowHandle()->transientParent() == w.Main->windowHandle();
        box->button(QMessageBox::No)->click();
    });
    w.Main->Controller()->Exit();
    QCOMPARE(seen, QString(CancelConversionQuestion));
    QVERIFY(owned);
    QVERIFY(w.Main->Converting()->Running());
    QCOMPARE(w.Main->CurrentPage(), TWizardPage::Step3);
}

void WindowBehaviourTest::CancelQuestionOpenAtTheRunsEndIsTakenBack() {
    TConversionWindow w({QString::fromStdString(Fixture("a.mp3"))});
    TFakeRun run(w, 1500);
    Activate(w.Main.get());
    SetMessageHook({});
    w.Main->Controller()->Next();
    QTRY_VERIFY(w.Main->Converting()->Running());
    QString seen;
    QTimer::singleShot(50, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) seen = box->text();
    });
    // Should the run's end not take the question back, the test answers it and fails.
    bool answeredByTest = false;
    QTimer::singleShot(20000, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            answeredByTest = true;
            box->button(QMessageBox::No)->click();
        }
    });
    // Nobody answers: the run's end closes the question, as if answered No.
    w.Main->Controller()->Exit();
    QCOMPARE(seen, QString(CancelConversionQuestion));
    QVERIFY(!answeredByTest);
    QCOMPARE(w.Main->CurrentPage(), TWizardPage::Step4);
    QCOMPARE(w.Main->ConversionSummaryPage->LabelFinishSuccessed->text(), "1");
    QVERIFY(!QApplication::activeModalWidget());
}

void WindowBehaviourTest::ClosingDuringARunAsksFirst_data() {
    QTest::addColumn<bool>("running");
    QTest::addColumn<bool>("withoutAsking"); // the log-out's and SIGTERM's close
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("closed");
    QTest::newRow("nothing runs: closes") << false << false << int(mrNo) << false << true;
    QTest::newRow("running, No: stays and runs on") << true << false << int(mrNo) << true << false;
    QTest::newRow("running, Yes: closes") << true << false << int(mrYes) << true << true;
    QTest::newRow("running, log-out: closes without a word") << true << true << int(mrNo) << false << true;
}

void WindowBehaviourTest::ClosingDuringARunAsksFirst() {
    QFETCH(bool, running);
    QFETCH(bool, withoutAsking);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    QFETCH(bool, closed);
    TConversionWindow w({QString::fromStdString(Fixture("a.mp3"))});
    TFakeRun run(w, 60000);
    w.Main->show();
    if (running) {
        w.Main->Controller()->Next();
        QTRY_VERIFY(w.Main->Converting()->Running());
    }
    w.Answer = answer;
    w.Messages.clear();
    const bool result = withoutAsking ? w.Main->CloseWithoutAsking() : w.Main->close();
    QCOMPARE(result, closed);
    QCOMPARE(!w.Main->isVisible(), closed);
    QCOMPARE(w.Messages,
             asked ? std::vector<std::string>{CancelConversionQuestion} : std::vector<std::string>{});
    if (running && !closed) QVERIFY(w.Main->Converting()->Running());
    if (closed) QTRY_VERIFY(!w.Main->Converting()->Running());
}

void WindowBehaviourTest::EnterAndEscAreThePagesCommands() {
    TConversionWindow w({});
    TFakeRun run(w, 60000);
    w.Main->Controller()->ShowPage(TWizardPage::Step1);
    Activate(w.Main.get());
    TFilePage* files = w.Main->FilePage;
    // Enter on the file page is its Next: without files, its notice.
    QTest::keyClick(files->NextGrid, Qt::Key_Return);
    QCOMPARE(w.Messages.back(), std::string("Please add the video files you want to convert"));
    files->AddSourceFiles({QString::fromStdString(Fixture("a.mp3"))});
    QTest::keyClick(files->NextGrid, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(w.Main->CurrentPage(), TWizardPage::Step2);

    // Esc on the output page is its Cancel, with its question.
    w.Answer = mrNo;
    QTest::keyClick(w.Main->OutputPage->EditOutput, Qt::Key_Escape);
    QCOMPARE(w.Messages.back(), std::string("Are you sure to cancel?"));
    QCOMPARE(w.Main->CurrentPage(), TWizardPage::Step2);
    // A focused command button takes Enter itself: Back goes back, it does not convert.
    w.Main->ButtonBack->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w.Main->ButtonBack, Qt::Key_Return);
    QCOMPARE(w.Main->CurrentPage(), TWizardPage::Step1);
    QTest::keyClick(files->NextGrid, Qt::Key_Return);
    QCOMPARE(w.Main->CurrentPage(), TWizardPage::Step2);

    // Enter in the folder field converts.
    QTest::keyClick(w.Main->OutputPage->EditOutput, Qt::Key_Return);
    QCOMPARE(w.Main->CurrentPage(), TWizardPage::Step3);
    QTRY_VERIFY(w.Main->Converting()->Running());
    // Enter during the run does nothing (Next is disabled); Esc asks before cancelling.
    QTest::keyClick(w.Main->ConvertingPage->ListViewConverting, Qt::Key_Return);
    QCOMPARE(w.Main->CurrentPage(), TWizardPage::Step3);
    QTest::keyClick(w.Main->ConvertingPage->ListViewConverting, Qt::Key_Escape);
    QCOMPARE(w.Messages.back(), std::string(CancelConversionQuestion));
    QVERIFY(w.Main->Converting()->Running());
}

void WindowBehaviourTest::TabFollowsTheReadingOrder() {
    TConversionWindow w({QString::fromStdString(Fixture("a.mp3"))});
    Activate(w.Main.get());
    // The focus Tab visits from the page's first control, until it comes round again.
    const auto tabs = [&](QWidget* first) {
        QList<QWidget*> seen;
        first->setFocus(Qt::TabFocusReason);
        for (int i = 0; i < 40 && QApplication::focusWidget(); ++i) {
            QWidget* now = QApplication::focusWidget();
            if (!seen.isEmpty() && now == seen.front()) break;
            seen << now;
            QTest::keyClick(now, Qt::Key_Tab);
        }
        return seen;
    };
    const QList<QWidget*> tail = {w.Main->ButtonHelp, w.Main->ButtonLog,  w.Main->ButtonBack,
                                  w.Main->ButtonNext, w.Main->ButtonExit, w.Main->ButtonMin,
                                  w.Main->ButtonClose};
    const auto withTail = [&](QList<QWidget*> page) {
        for (QWidget* b : tail)
            if (b->isEnabled() && b->isVisible()) page << b;
        return page;
    };

    // The output page: folder, its button, the chosen class and format, the preset, then the
    // window's commands; minimise and close come last.
    TOutputPageView* output = w.Main->OutputPage;
    QComboBox* preset = output->PresetLists[fcAudio][1];
    QCOMPARE(Names(tabs(output->EditOutput)), Names(withTail({output->EditOutput, output->ButtonSelect,
                                                              output->FormatButtons[fcAudio][1], preset})));

    // The file page: the list, then its buttons as they stand.
    w.Main->Controller()->ShowPage(TWizardPage::Step1);
    TFilePage* files = w.Main->FilePage;
    files->NextGrid->SelectRow(0);
    QList<QWidget*> page = {files->NextGrid};
    for (const char* name :
         {"ButtonAdd", "ButtonDelete", "ButtonClear", "ButtonMoveUp", "ButtonMoveDown", "ButtonPlay"})
        if (auto* b = files->findChild<QPushButton*>(name); b && b->isEnabled()) page << b;
    QCOMPARE(Names(tabs(files->NextGrid)), Names(withTail(page)));
}

void WindowBehaviourTest::ArrowKeysChooseWithinAGroup() {
    TWindow w(Join({Flags(AllVideo), Flags(AllAudio), {"Skin=0", "ResFolder=full"}}));
    w.Main->Controller()->ShowPage(TWizardPage::Step2);
    w.Main->Controller()->ApplyStep2Settings();
    w.Main->OutputPageApplied();
    Activate(w.Main.get());
    TOutputPageView* page = w.Main->OutputPage;
    const auto& video = page->FormatButtons[fcVideo];
    video[0]->click();
    video[0]->setFocus(Qt::TabFocusReason);
    QTest::keyClick(video[0], Qt::Key_Right);
    QVERIFY(video[1]->isChecked());
    QCOMPARE(QApplication::focusWidget(), video[1]);
    QCOMPARE(int(GlobalVars.UserSettings.OutputSelection.OutputVideoFormat), 1);
    QTest::keyClick(video[1], Qt::Key_Left);
    QTest::keyClick(video[0], Qt::Key_Left); // the first stays the first
    QVERIFY(video[0]->isChecked());
    // The group is one Tab stop: only its chosen member takes Tab.
    for (int f = 1; f < 9; ++f)
        QCOMPARE(video[f]->focusPolicy(), Qt::NoFocus);
    // The class buttons are a group of their own.
    page->ClassButtons[fcVideo]->setFocus(Qt::TabFocusReason);
    QTest::keyClick(page->ClassButtons[fcVideo], Qt::Key_Right);
    QVERIFY(page->ClassButtons[fcAudio]->isChecked()); // Device has no format in this edition
    QCOMPARE(int(GlobalVars.UserSettings.OutputSelection.OutputFormatClass), int(fcAudio));
}

void WindowBehaviourTest::FocusMarkInEverySkin_data() {
    SkinRows({0, 1, 2, 3});
}

void WindowBehaviourTest::FocusMarkInEverySkin() {
    QFETCH(QString, skin);
    QFETCH(QString, folder);
    TWindow w(Join({Flags(AllVideo), {"Skin=" + skin.toStdString(), "ResFolder=" + folder.toStdString()}}));
    w.Main->Controller()->ShowPage(TWizardPage::Step2);
    Activate(w.Main.get());
    for (TPictureButton* b : {w.Main->ButtonNext, w.Main->OutputPage->FormatButtons[fcVideo][0]}) {
        b->setFocusPolicy(Qt::TabFocus);
        w.Main->ButtonHelp->setFocus(Qt::TabFocusReason);
        const QImage plain = b->grab().toImage();
        b->setFocus(Qt::TabFocusReason);
        QVERIFY(b->hasFocus());
        const QImage marked = b->grab().toImage();
        // The ring in the skin's focus colour, clearly more of it than the button has anyway.
        const QColor mark = b->FocusMarkColor();
        QVERIFY2(PixelsNear(marked, mark) >= PixelsNear(plain, mark) + (b->width() + b->height()) / 2,
                 qPrintable(b->objectName()));
    }
}

void WindowBehaviourTest::EveryPictureButtonHasAName_data() {
    SkinRows({0, 3}); // 3: the see-through bottom buttons
}

void WindowBehaviourTest::EveryPictureButtonHasAName() {
    QFETCH(QString, skin);
    QFETCH(QString, folder);
    TWindow w(Join({Flags(AllVideo),
                    Flags(AllDevice),
                    Flags(AllAudio),
                    {"Skin=" + skin.toStdString(), "ResFolder=" + folder.toStdString()}}));
    const QList<TPictureButton*> buttons = w.Main->findChildren<TPictureButton*>();
    QVERIFY(buttons.size() >= 7 + 3 + 25);
    for (TPictureButton* b : buttons)
        QVERIFY2(!AccessibleName(b).isEmpty(), qPrintable(b->objectName()));
    QCOMPARE(AccessibleName(w.Main->ButtonClose), "Close");
    QCOMPARE(AccessibleName(w.Main->ButtonNext), "Next");
    for (const TFormatInfo& f : Formats()) {
        const QString name = QString::fromUtf8(f.Name.data(), static_cast<int>(f.Name.size()));
        QCOMPARE(AccessibleName(w.Main->OutputPage->FormatButtons[f.Class][f.Number]), name);
    }
    QCOMPARE(AccessibleName(w.Main->OutputPage->ClassButtons[fcDevice]), "Device");
    // The mode page's pictures are named after the choice they make.
    int pictures = 0;
    for (QLabel* label : w.Main->ModePage->findChildren<QLabel*>())
        if (!label->pixmap().isNull()) {
            ++pictures;
            QVERIFY(!AccessibleName(label).isEmpty());
        }
    QCOMPARE(pictures, 2);
    // The file list's rows read as their lines, the picture cell being only a picture.
    w.Main->FilePage->AddSourceFiles({QString::fromStdString(Fixture("a.mp3"))});
    const QString row = w.Main->FilePage->NextGrid->item(0)->data(Qt::AccessibleTextRole).toString();
    QVERIFY2(row.contains("a.mp3") && row.contains("Duration: "), qPrintable(row));
}

void WindowBehaviourTest::RowsKeepTheFileNameAndAlwaysHaveAPicture() {
    TWindow w(Join({Flags(AllVideo), {"Skin=0", "ResFolder=full"}}));
    const std::string deep = w.Dir.Path() + "Holidays in the mountains/2019 the long summer/Day three/";
    std::filesystem::create_directories(deep);
    std::filesystem::copy_file(Fixture("a.mp3"), deep + "Waterfall at noon.mp3");
    const std::string noPicture = VideoWithoutPicture(w.Dir);
    QVERIFY(!noPicture.empty());
    TFilePage* page = w.Main->FilePage;
    page->AddSourceFiles(
        {QString::fromStdString(deep + "Waterfall at noon.mp3"), QString::fromStdString(noPicture)});
    QCOMPARE(page->RowCount(), 2);
    const QString shown = page->NextGrid->Cell(0, scFileMinName);
    QVERIFY2(shown.endsWith("/Waterfall at noon.mp3") && shown.contains(QChar(0x2026)), qPrintable(shown));
    QFont bold = page->NextGrid->font();
    bold.setBold(true);
    QVERIFY(QFontMetrics(bold).horizontalAdvance(shown) <= 255);

    // The undecodable video shows the film mark of the skin, the sound the audio picture.
    const std::string skinFolder = ResourceFolder(GlobalVars.ProductConfig);
    const QImage filmMark(QString::fromStdString(skinFolder + "videoicon.png"));
    const QImage audio(QString::fromStdString(skinFolder + "audioicon.png"));
    QVERIFY(!filmMark.isNull());
    const auto picture = [page](int row) {
        return page->NextGrid->item(row)
            ->data(Qt::DecorationRole)
            .value<QImage>()
            .convertToFormat(QImage::Format_ARGB32);
    };
    QCOMPARE(picture(1), filmMark.convertToFormat(QImage::Format_ARGB32));
    QCOMPARE(picture(0), audio.convertToFormat(QImage::Format_ARGB32));
}

void WindowBehaviourTest::LogNamesTheFilesAndOpensOnTheScreen() {
    const QString mp3 = QString::fromStdString(Fixture("a.mp3"));
    TConversionWindow w({mp3});
    TFakeRun run(w, 30);
    w.Main->show();
    w.Main->Controller()->Next();
    QTRY_COMPARE(w.Main->CurrentPage(), TWizardPage::Step4);
    QVERIFY2(w.Log.Text().contains("File has been added to convert list: " + mp3), qPrintable(w.Log.Text()));

    // The first showing (no stored place) opens on the screen, beside or over the main window.
    w.Main->ButtonLog->click();
    QVERIFY(w.Log.isVisible());
    const QRect screen = w.Log.screen()->availableGeometry();
    QVERIFY(screen.contains(w.Log.frameGeometry()));
    QVERIFY(w.Log.frameGeometry().top() >= screen.top());
}

void WindowBehaviourTest::FailedAddDialogShowsWholeReasons() {
    GlobalVars = TGlobalVars{};
    const std::string reason =
        "/home/someone/Camera uploads/2019 summer in the mountains/holiday notes.avi: Invalid data found "
        "when processing input";
    GlobalVars.AddFailedFiles = {reason, "short.avi: End of file"};
    TFormFailedAddFile dialog(nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(dialog.isSizeGripEnabled());
    QTreeWidget* list = dialog.ListViewFiles;
    QTreeWidgetItem* item = list->topLevelItem(0);
    QCOMPARE(item->toolTip(0), QString::fromStdString(reason));
    // Wrapped onto more lines, not cut: the row is as high as the lines the text needs.
    const int line = list->fontMetrics().height();
    const int narrow = list->visualItemRect(item).height();
    QVERIFY2(narrow >= 2 * line, qPrintable(QString::number(narrow)));
    QVERIFY(list->visualItemRect(list->topLevelItem(1)).height() < 2 * line);
    dialog.resize(1400, dialog.height());
    QTRY_VERIFY(list->visualItemRect(item).height() < narrow);
}

void WindowBehaviourTest::OutputPageLinesUpAndShowsWholePresets() {
    TWindow w(Join({Flags(AllVideo), Flags(AllDevice), {"Skin=0", "ResFolder=full"}}));
    TOutputPageView* page = w.Main->OutputPage;
    // The format row starts where the class row does.
    QCOMPARE(page->FormatButtons[fcVideo][0]->mapTo(page, QPoint()).x(), page->ClassButtons[fcVideo]->x());
    for (const auto& lists : page->PresetLists)
        for (QComboBox* list : lists) {
            if (!list) continue;
            int widest = 0;
            for (int i = 0; i < list->count(); ++i) {
                widest = std::max(widest, list->view()->fontMetrics().horizontalAdvance(list->itemText(i)));
                QCOMPARE(list->itemData(i, Qt::ToolTipRole).toString(), list->itemText(i));
            }
            QVERIFY2(list->view()->minimumWidth() >= std::min(widest, 700), qPrintable(list->objectName()));
            QCOMPARE(list->toolTip(), list->currentText());
        }
}

QTEST_MAIN(WindowBehaviourTest)
#include "WindowBehaviourTest.moc"
