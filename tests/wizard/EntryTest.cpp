// The desktop program started for real from a copy of the run folder.
#include "TempDir.h"
#include "app/ProductConfig.h"
#include "app/UtilFuncs.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace mw {
namespace {

struct TRun {
    int Status;
    std::string Output;
};

TRun RunShell(const std::string& cmd) {
    TRun r{-1, ""};
    FILE* p = popen(cmd.c_str(), "r");
    char buf[512];
    while (size_t n = fread(buf, 1, sizeof buf, p))
        r.Output.append(buf, n);
    const int status = pclose(p);
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

TRun RunProgram(const std::string& folder) {
    return RunShell("cd '" + folder + "' && QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME='" + folder +
                    "cfg' timeout 20 ./mediawizard 2>&1");
}

// Whether the process has a handler for the signal (its caught-signals mask in /proc).
bool CatchesSignal(pid_t pid, int sig) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (sig - 1)) & 1;
    return false;
}

TEST(Entry, MissingConfigurationOrIconEndsWithAMessage) {
    namespace fs = std::filesystem;
    test::TTempDir dir;
    const std::string run = MW_TEST_RUN_DIR;
    fs::copy_file(run + "/mediawizard", dir.Path() + "mediawizard");

    TRun r = RunProgram(dir.Path());
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Output.find("lamecore.dll"), std::string::npos) << r.Output;
    EXPECT_NE(r.Output.find("No such file or directory"), std::string::npos) << r.Output;

    fs::copy_file(run + "/lamecore.dll", dir.Path() + "lamecore.dll");
    r = RunProgram(dir.Path());
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Output.find("icon.ico"), std::string::npos) << r.Output;
    EXPECT_FALSE(fs::exists(dir.Path() + "cfg")) << "no settings may be written before the window exists";
}

// Logging out sends SIGTERM; Ctrl+C in a terminal SIGINT. Both must save like the close button.
TEST(Entry, TerminationSignalsCloseTheWindowAndSaveTheSettings) {
    const std::string run = MW_TEST_RUN_DIR;
    const std::string title = ReadProductTitle(run + "/lamecore.dll");
    for (int sig : {SIGTERM, SIGINT}) {
        test::TTempDir dir;
        const std::string settings = dir.Path() + "cfg/" + title + "/~system2.dat";
        dir.Write("cfg/.keep", "");
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            setenv("XDG_CONFIG_HOME", (dir.Path() + "cfg").c_str(), 1);
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            if (chdir(run.c_str()) == 0) execl("./mediawizard", "mediawizard", static_cast<char*>(nullptr));
            _exit(127);
        }
        // The settings file appears while the window is being created (defaults on a first start);
        // the signal is sent once the program catches it (before that it would simply end it).
        for (int i = 0; i < 300 && !(FileExists(settings) && CatchesSignal(pid, sig)); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_TRUE(CatchesSignal(pid, sig)) << "signal " << sig << " is never caught";
        kill(pid, sig);
        int status = 0;
        pid_t done = 0;
        for (int i = 0; i < 300 && done == 0; ++i) {
            done = waitpid(pid, &status, WNOHANG);
            if (done == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (done == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            FAIL() << "signal " << sig << " did not end the program";
        }
        EXPECT_TRUE(WIFEXITED(status)) << "signal " << sig << " killed the program instead of closing it";
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
        EXPECT_NE(dir.Read("cfg/" + title + "/~system2.dat").find("[Form]"), std::string::npos)
            << "the window placement is written only by the close";
    }
}

// Asked from a terminal or a script: no window system is needed and no window opens.
TEST(Entry, VersionAndHelpAnswerWithoutADisplay) {
    const std::string run = MW_TEST_RUN_DIR;
    const TIniText edition = LoadProductConfigFile(run + "/lamecore.dll");
    struct TCase {
        const char* Args;
        int Status;
        std::string Start;
    };
    const TCase cases[] = {
        {"--version", 0,
         "mediawizard " + edition.ReadString("SYSTEM", "Version") + " (" +
             edition.ReadString("SYSTEM", "Name") + ")\nlibavutil 57."},
        {"--help", 0, "Usage: mediawizard [FILE...]\n"},
        {"-platform offscreen --bogus", 2, "mediawizard: unknown option '--bogus'"},
    };
    for (const TCase& c : cases) {
        const TRun r = RunShell("cd '" + run + "' && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                                "timeout 20 ./mediawizard " + c.Args + " 2>&1");
        EXPECT_EQ(r.Status, c.Status) << c.Args << ": " << r.Output;
        EXPECT_NE(r.Output.find(c.Start), std::string::npos) << c.Args << ": " << r.Output;
    }
}

} // namespace
} // namespace mw
