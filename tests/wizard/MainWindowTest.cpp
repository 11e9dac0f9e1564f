#include "wizard/MainWindow.h"
#include "TempDir.h"
#include "wizard/Globals.h"
#include "app/UtilFuncs.h"
#include "wizard/LogWindow.h"
#include "wizard/platform/GuiUtils.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

namespace mw {
namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "wizard_tests";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

TEST(MainWindow, FirstStartWritesDefaultsCentresAndCloseSavesPlacements) {
    App();
    test::TTempDir dir;
    setenv("XDG_CONFIG_HOME", (dir.Path() + "cfg").c_str(), 1);
    dir.Write("cfg/.keep", "");
    const std::string config = std::string(MW_TEST_BINARY_DIR) + "/editions/full/lamecore.dll";
    QApplication::setApplicationName("Kestrel Media Wizard");
    const std::string settings = dir.Path() + "cfg/Kestrel Media Wizard/~system2.dat";
    {
        TFormLog log;
        TFormMain main(&log, config);
        EXPECT_EQ(main.windowTitle(), "Kestrel Media Wizard");
        EXPECT_TRUE(FileExists(settings));
        const QSize screen = QGuiApplication::primaryScreen()->size();
        EXPECT_EQ(main.pos().x(), (screen.width() - main.width()) / 2);
        main.move(10, 30); // the offscreen screen is 800x600: stays inside
        GlobalVars.UserSettings.OutputSelection.OutputFormatClass = 2;
        log.show(); // a log window never shown has no place to save
        main.close();
    }
    const std::string text = dir.Read("cfg/Kestrel Media Wizard/~system2.dat");
    EXPECT_NE(text.find("OutputFormatClass=2"), std::string::npos);
    EXPECT_NE(text.find("[Form]\nx=10\ny=30\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[FormLog]\nx="), std::string::npos) << text;

    // Second start: placement comes back from the file.
    {
        TFormLog log;
        TFormMain main(&log, config);
        EXPECT_EQ(main.pos(), QPoint(10, 30));
        EXPECT_EQ(GlobalVars.UserSettings.OutputSelection.OutputFormatClass, 2);
    }

    // A file without a stored placement (the first run was killed before closing) centres too.
    const size_t form = text.find("[Form]");
    dir.Write("cfg/Kestrel Media Wizard/~system2.dat", text.substr(0, form));
    TFormLog log;
    TFormMain main(&log, config);
    const QSize screen = QGuiApplication::primaryScreen()->size();
    EXPECT_EQ(main.pos(), QPoint((screen.width() - main.width()) / 2, (screen.height() - main.height()) / 2));
    // Closed without the log ever shown: the log's first showing is still to come, no place stored.
    main.close();
    const std::string closed = dir.Read("cfg/Kestrel Media Wizard/~system2.dat");
    EXPECT_NE(closed.find("[Form]\nx="), std::string::npos) << closed;
    EXPECT_EQ(closed.find("[FormLog]"), std::string::npos) << closed;
}

TEST(GuiUtils, WaitCursorNests) {
    App();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    BeginWaitCursor();
    BeginWaitCursor();
    EndWaitCursor();
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EndWaitCursor();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EndWaitCursor(); // one too many does nothing
    EXPECT_EQ(WaitCursorDepth(), 0);
}

} // namespace
} // namespace mw
