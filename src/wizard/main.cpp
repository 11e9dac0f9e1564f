// Entry sequence: read the title, load the icon, create the main and (hidden) log windows, run.
#include "app/Dispatcher.h"
#include "app/ProductConfig.h"
#include "app/UtilFuncs.h"
#include "wizard/LogWindow.h"
#include "wizard/MainWindow.h"
#include "wizard/platform/QtDispatcher.h"
#include "wizard/platform/SignalCloseRequest.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>

namespace {

int Fatal(const std::string& message) {
    std::fprintf(stderr, "mediawizard: %s\n", message.c_str());
    // Without a screen there is nobody to press OK; the message on stderr has to do.
    if (QGuiApplication::platformName() != "offscreen" && QGuiApplication::platformName() != "minimal")
        QMessageBox::critical(nullptr, "mediawizard", QString::fromStdString(message));
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::string title;
    try {
        title = mw::ReadProductTitle();
    } catch (const std::exception& e) {
        return Fatal(e.what());
    }
    QApplication::setApplicationName(QString::fromStdString(title));

    const std::string iconFile = mw::ExecutableFolder() + "icon.ico";
    if (!mw::FileExists(iconFile))
        return Fatal("Cannot open file \"" + iconFile + "\". No such file or directory");
    QApplication::setWindowIcon(QIcon(QString::fromStdString(iconFile)));

    // From here on SIGTERM and SIGINT close the window the regular way, saving the settings.
    mw::TSignalCloseRequest signalClose;
    mw::TQtDispatcher dispatcher;
    mw::SetMainThreadDispatcher(&dispatcher);

    int rc = 0;
    {
        mw::TFormLog log;
        mw::TFormMain main(&log, mw::ProductConfigFile());
        // The session is ending: a running conversion stops without a question nobody would answer.
        signalClose.SetWindow(&main, [&main] { return main.CloseWithoutAsking(); });
        // Shown after the creation has finished, as a queued step.
        QTimer::singleShot(0, &main, [&main] { main.show(); });
        rc = QApplication::exec();
        // The windows go while the dispatcher still serves: a run the close stopped hands over
        // its last notices as the encoder is freed.
    }
    mw::SetMainThreadDispatcher(nullptr);
    return rc;
}
