// The desktop program as the desktop meets it: a notification when a run ends unseen, files from a
// file manager's "Open with", and the pictures on a high-density screen. The whole program runs at
// scale factor 2, on a private session bus of its own with a notification service of its own.
#include "EngineFixtures.h"
#include "FakeTaskJob.h"
#include "TempDir.h"
#include "app/Globals.h"
#include "app/UtilFuncs.h"
#include "engine/tasks/FFEncode.h"
#include "widgets/PictureButton.h"
#include "widgets/SkinPicture.h"
#include "widgets/SlideGrid.h"
#include "wizard/ConvertingView.h"
#include "wizard/DownloadPagesView.h"
#include "wizard/FilePage.h"
#include "wizard/LogWindow.h"
#include "wizard/MainWindow.h"
#include "wizard/Pages.h"
#include "wizard/platform/DesktopNotifier.h"
#include "wizard/platform/GuiUtils.h"
#include "wizard/platform/QtDispatcher.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QRadioButton>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace mw;

namespace {

// A bus of this test's own, with no services to start on demand: neither the user's session bus
// nor the user's notification daemon ever sees a message from here.
class TPrivateBus {
  public:
    bool Start(std::string& error) {
        const std::string config =
            Dir.Write("bus.conf", "<busconfig>\n"
                                  "  <type>session</type>\n"
                                  "  <listen>unix:dir=" +
                                      Dir.Path() +
                                      "</listen>\n"
                                      "  <policy context=\"default\">\n"
                                      "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                                      "    <allow eavesdrop=\"true\"/>\n"
                                      "    <allow own=\"*\"/>\n"
                                      "  </policy>\n"
                                      "</busconfig>\n");
        int out[2];
        if (pipe(out) != 0) return error = "pipe", false;
        FPid = fork();
        if (FPid == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            execlp("dbus-daemon", "dbus-daemon", ("--config-file=" + config).c_str(), "--nofork",
                   "--print-address=1", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        // Read the whole line: closing the pipe before the daemon is done writing would kill it.
        pollfd p{out[0], POLLIN, 0};
        char c = 0;
        while (Address.size() < 4096 && poll(&p, 1, 10000) == 1 && read(out[0], &c, 1) == 1 && c != '\n')
            Address += c;
        close(out[0]);
        if (c != '\n' || Address.empty())
            return error = "dbus-daemon gave no address (is the dbus package installed?)", false;
        return true;
    }
    ~TPrivateBus() {
        if (FPid > 0) {
            kill(FPid, SIGTERM);
            waitpid(FPid, nullptr, 0);
        }
    }
    std::string Address;

  private:
    test::TTempDir Dir;
    pid_t FPid = -1;
};

TPrivateBus* GBus = nullptr;

struct TNotifyCall {
    QString AppName;
    uint ReplacesId;
    QString Icon, Summary, Body;
    QStringList Actions;
    QVariantMap Hints;
    int Timeout;
};

} // namespace

// The notification service the test owns, on its own connection to the private bus.
class TFakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
  public:
    QList<TNotifyCall> Calls;

  public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout) {
        Calls.push_back({appName, replacesId, icon, summary, body, actions, hints, timeout});
        return static_cast<uint>(100 + Calls.size());
    }
    QStringList GetCapabilities() { return {"body"}; }
};

namespace {

// A window of a built edition over a fresh settings folder; message boxes are answered OK unseen.
struct TWindow {
    explicit TWindow(const char* edition) {
        setenv("XDG_CONFIG_HOME", (Dir.Path() + "cfg").c_str(), 1);
        Dir.Write("cfg/.keep", "");
        GlobalVars = TGlobalVars{};
        SetMessageHook([](const std::string&, const std::string&, TMsgDlgType, unsigned) { return mrOk; });
        SetMainThreadDispatcher(&Dispatcher);
        Main = std::make_unique<TFormMain>(&Log, std::string(MW_TEST_BINARY_DIR) + "/editions/" + edition +
                                                     "/lamecore.dll");
        Main->FilePage->OnFailedAdd = [this] { ++FailedDialogs; };
    }
    ~TWindow() {
        Main.reset();
        SetMainThreadDispatcher(nullptr);
        SetMessageHook({});
    }
    test::TTempDir Dir;
    TQtDispatcher Dispatcher;
    TFormLog Log;
    std::unique_ptr<TFormMain> Main;
    int FailedDialogs = 0;
};

QImage Picture(const std::string& file) {
    QImage image(QString::fromStdString(file));
    return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace

class DesktopIntegrationTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void cleanup();
    void NotifierSendsTheNoticeWithTheIconAndNoSound();
    void ConversionEndNotifiesOnlyAnUnseenWindow_data();
    void ConversionEndNotifiesOnlyAnUnseenWindow();
    void DownloadEndNotifies();
    void FilesFromTheCommandLineOpenOnTheFilePage();
    void WindowPaintsTheDoubledFrameInsideItsMask();
    void ButtonsAndGridPaintTheDoubledPictures();

  private:
    QDBusConnection FService{QString()};
    TFakeNotifications FNotifications;
};

void DesktopIntegrationTest::initTestCase() {
    QCOMPARE(qApp->devicePixelRatio(), 2.0);
    FService = QDBusConnection::connectToBus(QString::fromStdString(GBus->Address), "notification-service");
    QVERIFY(FService.isConnected());
    QVERIFY(FService.registerObject("/org/freedesktop/Notifications", &FNotifications,
                                    QDBusConnection::ExportAllSlots));
    QVERIFY(FService.registerService("org.freedesktop.Notifications"));
    QVERIFY(QDBusConnection::sessionBus().isConnected());
}

void DesktopIntegrationTest::cleanup() {
    FNotifications.Calls.clear();
}

void DesktopIntegrationTest::NotifierSendsTheNoticeWithTheIconAndNoSound() {
    TDesktopNotifier notifier;
    std::vector<uint32_t> ids;
    notifier.OnAnswered = [&](uint32_t id, const std::string&) { ids.push_back(id); };
    notifier.Notify({"Kestrel has finished the downloading.", "Total files: 2\nSuccessed: 2\nFailed: 0"},
                    TRunKind::Download);
    QTRY_COMPARE(ids.size(), size_t(1));
    QCOMPARE(FNotifications.Calls.size(), 1);
    const TNotifyCall& c = FNotifications.Calls[0];
    QCOMPARE(c.AppName, QCoreApplication::applicationName());
    QCOMPARE(c.ReplacesId, 0u);
    QCOMPARE(c.Icon, QString(MW_APP_ID));
    QCOMPARE(c.Summary, "Kestrel has finished the downloading.");
    QCOMPARE(c.Body, "Total files: 2\nSuccessed: 2\nFailed: 0");
    QVERIFY(c.Actions.isEmpty());
    QCOMPARE(c.Hints.value("suppress-sound").toBool(), true);
    QVERIFY(!c.Hints.contains("sound-file") && !c.Hints.contains("sound-name"));
    QCOMPARE(c.Hints.value("desktop-entry").toString(), QString(MW_APP_ID));
    QCOMPARE(c.Hints.value("category").toString(), "transfer.complete");
    QCOMPARE(c.Timeout, -1);

    // The next run's notice takes the place of this one.
    notifier.Notify({"again", "body"}, TRunKind::Conversion);
    QTRY_COMPARE(ids.size(), size_t(2));
    QCOMPARE(FNotifications.Calls[1].ReplacesId, ids[0]);
    QVERIFY(!FNotifications.Calls[1].Hints.contains("category"));

    // Nobody serving the name: an error answer, nothing else.
    QVERIFY(FService.unregisterService("org.freedesktop.Notifications"));
    std::string error;
    notifier.OnAnswered = [&](uint32_t id, const std::string& text) {
        ids.push_back(id);
        error = text;
    };
    notifier.Notify({"nobody", "listens"}, TRunKind::Conversion);
    QTRY_COMPARE(ids.size(), size_t(3));
    QCOMPARE(ids.back(), 0u);
    QVERIFY(!error.empty());
    QVERIFY(FService.registerService("org.freedesktop.Notifications"));
}

void DesktopIntegrationTest::ConversionEndNotifiesOnlyAnUnseenWindow_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("notices");
    QTest::newRow("minimised") << "minimised" << 1;
    QTest::newRow("hidden") << "hidden" << 1;
    QTest::newRow("in front") << "active" << 0;
}

void DesktopIntegrationTest::ConversionEndNotifiesOnlyAnUnseenWindow() {
    QFETCH(QString, window);
    QFETCH(int, notices);
    TWindow w("audio");
    QVERIFY(w.Main->Converting());
    test::TFakeJobFactory fake;
    w.Main->Converting()->Encoder().JobFactory = fake.Factory();
    w.Main->FilePage->AddSourceFiles({QString::fromStdString(test::Fixture("a.mp3"))});
    TUserSettings& s = GlobalVars.UserSettings;
    s.OutputSelection.OutputFormatClass = fcAudio;
    s.OutputFileDir = w.Dir.Path() + "out/";
    w.Main->Controller()->ApplyStep2Settings();
    w.Main->OutputPageApplied();
    w.Main->Controller()->ShowPage(TWizardPage::Step2);
    if (window == "minimised") {
        w.Main->showMinimized();
    } else if (window == "active") {
        w.Main->show();
        w.Main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.Main.get()));
    }
    w.Main->Controller()->Next();
    QTRY_COMPARE_WITH_TIMEOUT(w.Main->CurrentPage(), TWizardPage::Step4, 20000);
    if (notices == 0) {
        QTest::qWait(300); // an answer would have come by now
        QCOMPARE(FNotifications.Calls.size(), 0);
        return;
    }
    QTRY_COMPARE(FNotifications.Calls.size(), notices);
    QCOMPARE(FNotifications.Calls[0].Summary, "Kestrel Audio Converter has finished the conversion.");
    QCOMPARE(FNotifications.Calls[0].Body, "Total files: 1\nSuccessed: 1\nFailed: 0");
}

void DesktopIntegrationTest::DownloadEndNotifies() {
    TWindow w("full");
    auto* view = w.Main->findChild<TDownloadPagesView*>();
    QVERIFY(view);
    view->Logic().Runner().DownloadRun.Total = 3;
    view->Logic().Runner().DownloadRun.Succeeded = 2;
    view->Logic().ShowDownloadSummary();
    QTRY_COMPARE(FNotifications.Calls.size(), 1);
    QCOMPARE(FNotifications.Calls[0].Summary, "Kestrel Media Wizard has finished the downloading.");
    QCOMPARE(FNotifications.Calls[0].Body, "Total files: 3\nSuccessed: 2\nFailed: 1");
}

void DesktopIntegrationTest::FilesFromTheCommandLineOpenOnTheFilePage() {
    TWindow w("full");
    QCOMPARE(w.Main->CurrentPage(), TWizardPage::Mode);
    w.Main->show();
    w.Main->OpenSourceFiles(
        {QString::fromStdString(test::Fixture("a.mp3")), QString::fromStdString(test::Fixture("text.avi"))});
    QCOMPARE(w.Main->CurrentPage(), TWizardPage::Step1);
    QCOMPARE(w.Main->FilePage->RowCount(), 1);
    QCOMPARE(w.FailedDialogs, 1);
    QVERIFY(w.Main->ModePage->RadioButtonConvertVideo->isChecked());
    QVERIFY(w.Main->ButtonBack->isEnabled()); // back to the choice of job
}

void DesktopIntegrationTest::WindowPaintsTheDoubledFrameInsideItsMask() {
    TWindow w("full");
    const std::string folder = ResourceFolder(GlobalVars.ProductConfig);
    const QImage frame = Picture(folder + "main.bmp");
    const QImage doubled = Picture(folder + "main@2x.bmp");
    QCOMPARE(doubled.size(), frame.size() * 2);
    w.Main->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.Main.get()));
    QCOMPARE(w.Main->devicePixelRatioF(), 2.0);
    // The outline is set in window pixels from the frame at its size.
    QCOMPARE(w.Main->mask(), OpaqueRegion(frame));

    const QImage shot = w.Main->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shot.size(), doubled.size());
    QRegion covered;
    for (QWidget* child : w.Main->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (child->isVisible()) covered += child->geometry();
    const QImage upscaled = frame.scaled(doubled.size());
    int checked = 0, unlikeDoubled = 0, unlikeUpscaled = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const QPoint at(x / 2, y / 2);
            if (!w.Main->mask().contains(at) || covered.contains(at)) continue;
            ++checked;
            unlikeDoubled += shot.pixel(x, y) != doubled.pixel(x, y);
            unlikeUpscaled += shot.pixel(x, y) != upscaled.pixel(x, y);
        }
    QVERIFY2(checked > 10000, "enough of the frame shows between the window's parts");
    QCOMPARE(unlikeDoubled, 0);
    QVERIFY2(unlikeUpscaled > 0, "the 1x frame blown up would look different");
}

void DesktopIntegrationTest::ButtonsAndGridPaintTheDoubledPictures() {
    TWindow w("full");
    const std::string folder = ResourceFolder(GlobalVars.ProductConfig);
    w.Main->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.Main.get()));
    TPictureButton* button = w.Main->ButtonMin;
    QCOMPARE(button->size(), Picture(folder + "min_1.bmp").size());
    QCOMPARE(button->grab().toImage().convertToFormat(QImage::Format_RGB32),
             Picture(folder + "min_1@2x.bmp"));
    button->setDown(true);
    QCOMPARE(button->grab().toImage().convertToFormat(QImage::Format_RGB32),
             Picture(folder + "min_3@2x.bmp"));
    button->setDown(false);

    // A sound-only file shows the audio picture: the grid gets the one made for this screen.
    w.Main->Controller()->ShowPage(TWizardPage::Step1);
    w.Main->FilePage->AddSourceFiles({QString::fromStdString(test::Fixture("a.mp3"))});
    QCOMPARE(w.Main->FilePage->RowCount(), 1);
    const QImage slide = w.Main->FilePage->NextGrid->item(0)->data(Qt::DecorationRole).value<QImage>();
    QCOMPARE(slide.devicePixelRatio(), 2.0);
    QCOMPARE(slide.size(), QImage(QString::fromStdString(folder + "audioicon@2x.png")).size());
    QCOMPARE(slide.deviceIndependentSize().toSize(), QSize(118, 78));
}

int main(int argc, char** argv) {
    TPrivateBus bus;
    std::string error;
    if (!bus.Start(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    GBus = &bus;
    setenv("DBUS_SESSION_BUS_ADDRESS", bus.Address.c_str(), 1);
    setenv("QT_SCALE_FACTOR", "2", 1);
    QApplication app(argc, argv);
    DesktopIntegrationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DesktopIntegrationTest.moc"
