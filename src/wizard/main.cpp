// Entry sequence: read the title, load the icon, create the main and (hidden) log windows, run.
// --version and --help answer before any window system is touched; files named on the command
// line go to the file list once the window shows.
#include "app/Dispatcher.h"
#include "app/ProductConfig.h"
#include "app/UtilFuncs.h"
#include "download/ExtractorProgram.h"
#include "engine/FFVersions.h"
#include "wizard/LogWindow.h"
#include "wizard/MainWindow.h"
#include "wizard/WizardCommandLine.h"
#include "wizard/platform/QtDispatcher.h"
#include "wizard/platform/SignalCloseRequest.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <filesystem>

namespace {

int Fatal(const std::string& message) {
    std::fprintf(stderr, "mediawizard: %s\n", message.c_str());
    // Without a screen there is nobody to press OK; the message on stderr has to do.
    if (QGuiApplication::platformName() != "offscreen" && QGuiApplication::platformName() != "minimal")
        QMessageBox::critical(nullptr, "mediawizard", QString::fromStdString(message));
    return 1;
}

int PrintVersion() {
    mw::TProgramVersion version = mw::CollectProgramVersion("mediawizard");
    // The automatic lookup: a version query reads no settings.
    version.Extractor = mw::ExtractorComponentVersion("");
    std::fputs(mw::FormatProgramVersion(version).c_str(), stdout);
    return version.EditionError.empty() ? 0 : 1;
}

std::string CurrentFolder() {
    std::error_code ec;
    const auto cwd = std::filesystem::current_path(ec);
    return ec ? std::string("/") : cwd.string();
}

} // namespace

int main(int argc, char** argv) {
    // Qt's options are still in argv here; only --help and --version matter before the
    // application object exists (they must work without a display).
    const mw::TWizardCommandLine early =
        mw::ParseWizardCommandLine(std::vector<std::string>(argv + 1, argv + argc), CurrentFolder());
    if (early.Help) {
        std::fputs(mw::WizardUsage, stdout);
        return 0;
    }
    if (early.Version) return PrintVersion();

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(MW_APP_ID);
    // The application object has taken its own options out of argv.
    const mw::TWizardCommandLine line =
        mw::ParseWizardCommandLine(std::vector<std::string>(argv + 1, argv + argc), CurrentFolder());
    if (!line.Error.empty()) {
        std::fprintf(stderr, "mediawizard: %s\n", line.Error.c_str());
        return 2;
    }
    for (const std::string& refused : line.Refused)
        std::fprintf(stderr, "mediawizard: %s\n", refused.c_str());

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

    QStringList files;
    for (const std::string& f : line.Files)
        files << QFile::decodeName(QByteArray::fromStdString(f));
    int rc = 0;
    {
        mw::TFormLog log;
        mw::TFormMain main(&log, mw::ProductConfigFile());
        // The session is ending: a running conversion stops without a question nobody would answer.
        signalClose.SetWindow(&main, [&main] { return main.CloseWithoutAsking(); });
        // Shown after the creation has finished, as a queued step; the files follow on the file page.
        QTimer::singleShot(0, &main, [&main, files] {
            main.show();
            if (!files.isEmpty()) main.OpenSourceFiles(files);
        });
        rc = QApplication::exec();
        // The windows go while the dispatcher still serves: a run the close stopped hands over
        // its last notices as the encoder is freed.
    }
    mw::SetMainThreadDispatcher(nullptr);
    return rc;
}
