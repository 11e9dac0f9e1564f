// The desktop program started for real from a copy of the run folder.
#include "TempDir.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace mw {
namespace {

struct TRun {
    int Status;
    std::string Output;
};

TRun RunProgram(const std::string& folder) {
    const std::string cmd = "cd '" + folder + "' && QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME='" + folder +
                            "cfg' timeout 20 ./mediawizard 2>&1";
    TRun r{-1, ""};
    FILE* p = popen(cmd.c_str(), "r");
    char buf[512];
    while (size_t n = fread(buf, 1, sizeof buf, p))
        r.Output.append(buf, n);
    const int status = pclose(p);
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
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

} // namespace
} // namespace mw
