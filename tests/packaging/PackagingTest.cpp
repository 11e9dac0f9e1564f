// The programs as a user installs them: `cmake --install` into a temporary prefix, and the Debian
// package built, checked by lintian, unpacked with dpkg-deb -x and run from there, with the desktop
// program's first page shot on a private X server.
#include "EngineFixtures.h"
#include "TempDir.h"
#include "wizard/FilePage.h"

#include <QImage>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <poll.h>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace mw {
namespace {

using test::RunCommand;
using test::ShellQuote;

const std::string AppId = MW_APP_ID;

std::string Shell(const std::string& command, int& status) {
    return RunCommand(command + " 2>&1", status);
}

std::string ReadText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The key of a desktop entry's main group.
std::string DesktopKey(const fs::path& file, const std::string& key) {
    std::istringstream in(ReadText(file));
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    return {};
}

// Installs the build into a fresh prefix once for the cases that look at the result.
class Installed : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        Dir = new test::TTempDir;
        int status = -1;
        InstallLog = Shell(ShellQuote(MW_CMAKE_COMMAND) + " --install " + ShellQuote(MW_TEST_BINARY_DIR) +
                               " --prefix " + ShellQuote(Dir->Path() + "usr"),
                           status);
        InstallStatus = status;
    }
    static void TearDownTestSuite() {
        delete Dir;
        Dir = nullptr;
    }
    static fs::path Prefix() { return Dir->Path() + "usr"; }
    static test::TTempDir* Dir;
    static std::string InstallLog;
    static int InstallStatus;
};
test::TTempDir* Installed::Dir = nullptr;
std::string Installed::InstallLog;
int Installed::InstallStatus = -1;

// Runs the desktop program with its own settings folder until its settings exist (the window is
// made), then asks it to close as a logout would; its exit status.
int StartAndClose(const std::string& program, const std::string& configHome,
                  const std::map<std::string, std::string>& env,
                  const std::function<void()>& whileOpen = {}) {
    std::fflush(stdout); // the child must not print the parent's buffer again
    const pid_t pid = fork();
    if (pid == 0) {
        for (const auto& [k, v] : env)
            setenv(k.c_str(), v.c_str(), 1);
        setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
        freopen("/dev/null", "w", stdout);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    bool made = false;
    for (int i = 0; i < 400 && !made; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::error_code ec;
        for (const auto& e : fs::recursive_directory_iterator(configHome, ec))
            made = made || e.path().filename() == "~system2.dat";
    }
    if (made && whileOpen) whileOpen();
    kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 200 && waitpid(pid, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
    }
    return made && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(Installed, ProgramsRunFromTheirLinks) {
    ASSERT_EQ(InstallStatus, 0) << InstallLog;
    const fs::path lib = Prefix() / "lib/mediawizard";
    for (const char* program : {"mediawizard", "mediawizard-cli"}) {
        const fs::path link = Prefix() / "bin" / program;
        ASSERT_TRUE(fs::is_symlink(link)) << link;
        EXPECT_TRUE(fs::read_symlink(link).is_relative())
            << "a relative link works wherever the tree is unpacked";
        EXPECT_EQ(fs::canonical(link), fs::canonical(lib / program));
    }
    for (const char* file : {"lamecore.dll", "icon.ico", "sounds/done.wav", "sounds/fail.wav"})
        EXPECT_TRUE(fs::is_regular_file(lib / file)) << file;
    // Only this edition's pictures, at both sizes.
    std::set<std::string> folders;
    for (const auto& e : fs::directory_iterator(lib / "sounds"))
        if (e.is_directory()) folders.insert(e.path().filename().string());
    ASSERT_EQ(folders.size(), 1u);
    const fs::path pictures = lib / "sounds" / *folders.begin();
    EXPECT_TRUE(fs::is_regular_file(pictures / "main.bmp"));
    EXPECT_TRUE(fs::is_regular_file(pictures / "main@2x.bmp"));

    int status = -1;
    const std::string presets =
        Shell(ShellQuote((Prefix() / "bin/mediawizard-cli").string()) + " presets", status);
    EXPECT_EQ(status, 0) << presets;
    EXPECT_EQ(presets,
              Shell(ShellQuote(std::string(MW_TEST_RUN_DIR) + "/mediawizard-cli") + " presets", status));
    for (const char* program : {"mediawizard", "mediawizard-cli"}) {
        const std::string version =
            Shell(ShellQuote((Prefix() / "bin" / program).string()) + " --version", status);
        EXPECT_EQ(status, 0) << version;
        EXPECT_EQ(version.rfind(std::string(program) + " ", 0), 0u) << version;
        EXPECT_EQ(version.find("edition not readable"), std::string::npos) << version;
        // The set-up installs the site extractor, so its line is there.
        EXPECT_NE(version.find("\nyt-dlp "), std::string::npos) << version;
    }
    // The window finds its edition, icon and pictures beside the executable behind the link.
    test::TTempDir config;
    EXPECT_EQ(StartAndClose((Prefix() / "bin/mediawizard").string(), config.Path(),
                            {{"QT_QPA_PLATFORM", "offscreen"}}),
              0);
}

TEST_F(Installed, DesktopFilesValidateAndIconsHaveTheirSizes) {
    ASSERT_EQ(InstallStatus, 0) << InstallLog;
    const fs::path share = Prefix() / "share";
    const fs::path desktop = share / "applications" / (AppId + ".desktop");
    const fs::path metainfo = share / "metainfo" / (AppId + ".metainfo.xml");
    int status = -1;
    std::string out = Shell("desktop-file-validate " + ShellQuote(desktop.string()), status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, "") << "desktop-file-validate has remarks";
    out = Shell("appstreamcli validate --no-net " + ShellQuote(metainfo.string()), status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out.find("\nW:"), std::string::npos) << out;
    EXPECT_EQ(DesktopKey(desktop, "Exec"), "mediawizard %F");
    EXPECT_EQ(DesktopKey(desktop, "Icon"), AppId);
    EXPECT_EQ(DesktopKey(desktop, "Categories"), "AudioVideo;Video;AudioVideoEditing;");

    EXPECT_TRUE(fs::is_regular_file(share / "icons/hicolor/scalable/apps" / (AppId + ".svg")));
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const fs::path png = share / "icons/hicolor" / (std::to_string(size) + "x" + std::to_string(size)) /
                             "apps" / (AppId + ".png");
        const QImage icon(QString::fromStdString(png.string()));
        EXPECT_EQ(icon.size(), QSize(size, size)) << png;
        EXPECT_TRUE(icon.hasAlphaChannel()) << png;
    }
    // The man pages format without a warning (what lintian checks) and hold every command.
    for (const char* page : {"mediawizard-cli.1.gz", "mediawizard.1.gz"}) {
        const fs::path file = share / "man/man1" / page;
        ASSERT_TRUE(fs::is_regular_file(file)) << file;
        out = Shell("LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z " +
                        ShellQuote(file.string()) + " >/dev/null",
                    status);
        EXPECT_EQ(status, 0) << out;
        EXPECT_EQ(out, "") << page;
    }
    const std::string cli =
        Shell("zcat " + ShellQuote((share / "man/man1/mediawizard-cli.1.gz").string()), status);
    for (const char* command : {"convert", "download", "presets", "probe", "transcode"})
        EXPECT_NE(cli.find(std::string(".SS ") + command + "\n"), std::string::npos) << command;
    EXPECT_NE(cli.find("\\-\\-json"), std::string::npos);
}

// The file manager offers "Open with" for a file by its media type: every extension of the add
// dialog whose type the shared MIME database knows must be claimed.
TEST_F(Installed, DesktopEntryClaimsEveryTypeTheAddDialogTakes) {
    ASSERT_EQ(InstallStatus, 0) << InstallLog;
    std::ifstream globs("/usr/share/mime/globs2");
    ASSERT_TRUE(globs) << "the shared MIME database (shared-mime-info)";
    std::map<std::string, std::set<std::string>> typesOf; // "*.mkv" → types
    for (std::string line; std::getline(globs, line);) {
        const size_t a = line.find(':'), b = line.find(':', a + 1);
        if (line.empty() || line[0] == '#' || b == std::string::npos) continue;
        const size_t c = line.find(':', b + 1);
        typesOf[line.substr(b + 1, c == std::string::npos ? std::string::npos : c - b - 1)].insert(
            line.substr(a + 1, b - a - 1));
    }
    std::set<std::string> claimed;
    std::istringstream list(DesktopKey(Prefix() / "share/applications" / (AppId + ".desktop"), "MimeType"));
    for (std::string type; std::getline(list, type, ';');)
        claimed.insert(type);
    const QString filter = TFilePage::OpenDialogFilter().section(";;", 0, 0); // All Supported Formats
    const QStringList patterns = filter.section('(', 1).chopped(1).split(' ');
    int known = 0;
    for (const QString& p : patterns) {
        if (p != p.toLower()) continue; // each extension once
        const auto types = typesOf.find(p.toStdString());
        if (types == typesOf.end()) continue;
        ++known;
        bool any = false;
        for (const std::string& t : types->second)
            any = any || claimed.count(t);
        EXPECT_TRUE(any) << p.toStdString() << " (" << *types->second.begin() << ")";
    }
    EXPECT_GT(known, 30);
}

// A private X server; its display number, or -1.
struct TXServer {
    pid_t Pid = -1;
    int Display = -1;
    TXServer() {
        std::fflush(stdout);
        int fds[2];
        if (pipe(fds) != 0) return;
        Pid = fork();
        if (Pid == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            freopen("/dev/null", "w", stderr);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
                   "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // The server writes the number, then a line break: closing before the break would kill it.
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        while (number.size() < 16 && poll(&p, 1, 15000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        if (c == '\n' && !number.empty()) Display = std::atoi(number.c_str());
        close(fds[0]);
    }
    ~TXServer() {
        if (Pid > 0) {
            kill(Pid, SIGTERM);
            waitpid(Pid, nullptr, 0);
        }
    }
};

TEST(Package, BuildsWithoutLintianErrorsAndRunsWhenUnpacked) {
    test::TTempDir dir;
    int status = -1;
    std::string out = Shell(ShellQuote(MW_CMAKE_COMMAND) + " -DSETTINGS=" +
                                ShellQuote(std::string(MW_TEST_BINARY_DIR) + "/packaging/DebSettings.cmake") +
                                " -DOUT_DIR=" + ShellQuote(dir.Path()) + " -P " +
                                ShellQuote(std::string(MW_TEST_SOURCE_DIR) + "/packaging/MakeDeb.cmake"),
                            status);
    ASSERT_EQ(status, 0) << out;
    std::string deb;
    for (const auto& e : fs::directory_iterator(dir.Path()))
        if (e.path().extension() == ".deb") deb = e.path().string();
    ASSERT_FALSE(deb.empty()) << out;

    // The libraries the engine opens with dlopen are dependencies too; the site extractor is a
    // recommendation; Duktape is compiled in and named as such.
    const std::string depends = Shell("dpkg-deb -f " + ShellQuote(deb) + " Depends", status);
    for (const char* lib : {"libavutil57", "libswresample4", "libswscale6", "libavcodec59", "libavformat59",
                            "libavfilter8", "libavdevice59", "libqt6widgets6", "libqt6dbus6", "libcurl4"})
        EXPECT_NE(depends.find(lib), std::string::npos) << lib << " in " << depends;
    EXPECT_EQ(Shell("dpkg-deb -f " + ShellQuote(deb) + " Recommends", status), "yt-dlp\n");
    EXPECT_EQ(Shell("dpkg-deb -f " + ShellQuote(deb) + " Built-Using", status).rfind("duktape (= ", 0), 0u);

    out = Shell("lintian --tag-display-limit 0 " + ShellQuote(deb), status);
    std::printf("lintian:\n%s", out.c_str());
    EXPECT_EQ(out.find("E: "), std::string::npos) << out;

    const std::string root = dir.Path() + "root";
    out = Shell("dpkg-deb -x " + ShellQuote(deb) + " " + ShellQuote(root), status);
    ASSERT_EQ(status, 0) << out;
    out = Shell(ShellQuote(root + "/usr/bin/mediawizard-cli") + " presets", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, Shell(ShellQuote(std::string(MW_TEST_RUN_DIR) + "/mediawizard-cli") + " presets", status));

    // The desktop program on a screen of its own; its first page is kept for a look.
    TXServer x;
    ASSERT_GE(x.Display, 0) << "Xvfb (package xvfb) did not start";
    const std::string display = ":" + std::to_string(x.Display);
    const std::string shot = std::string(MW_TEST_BINARY_DIR) + "/packaging/installed-first-page.png";
    test::TTempDir config;
    std::string grabbed;
    const int closed = StartAndClose(root + "/usr/bin/mediawizard", config.Path(),
                                     {{"DISPLAY", display}, {"QT_QPA_PLATFORM", "xcb"}}, [&] {
                                         std::this_thread::sleep_for(std::chrono::milliseconds(1500));
                                         int s = -1;
                                         const std::string xwd = config.Path() + "screen.xwd";
                                         grabbed = Shell("xwd -root -silent -display " + display + " -out " +
                                                             ShellQuote(xwd) + " && ffmpeg -v error -y -i " +
                                                             ShellQuote(xwd) + " " + ShellQuote(shot),
                                                         s);
                                         if (s != 0) grabbed += " (failed)";
                                     });
    EXPECT_EQ(closed, 0);
    const QImage screen(QString::fromStdString(shot));
    ASSERT_FALSE(screen.isNull()) << grabbed;
    // The skinned window in the middle of an otherwise black screen.
    std::set<QRgb> colours;
    for (int y = 0; y < screen.height(); y += 3)
        for (int x = 0; x < screen.width(); x += 3)
            colours.insert(screen.pixel(x, y));
    EXPECT_GT(colours.size(), 200u) << shot;
    EXPECT_EQ(screen.pixel(2, 2), qRgb(0, 0, 0)) << "only the window is drawn";
    EXPECT_NE(screen.pixel(screen.width() / 2, screen.height() / 2), qRgb(0, 0, 0));
}

} // namespace
} // namespace mw
