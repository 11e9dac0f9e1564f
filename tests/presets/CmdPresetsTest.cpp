// Runs the built mediawizard-cli the way a script would.
#include "TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <sys/wait.h>

namespace mw {
namespace {

struct TRun {
    int Status;
    std::string Out;
    std::string Err;
};

TRun RunCli(const std::string& args) {
    test::TTempDir dir;
    const std::string cmd = std::string("'") + MW_TEST_RUN_DIR + "/mediawizard-cli' " + args + " >'" +
                            dir.Path() + "out' 2>'" + dir.Path() + "err'";
    const int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, dir.Read("out"), dir.Read("err")};
}

TEST(CmdPresets, JsonListsTheReferenceCatalogue) {
    const TRun run = RunCli("presets --json");
    ASSERT_EQ(run.Status, 0) << run.Err;
    std::ifstream in(MW_TEST_SOURCE_DIR "/tests/presets/presets.golden.json", std::ios::binary);
    EXPECT_EQ(nlohmann::json::parse(run.Out), nlohmann::json::parse(in));
    EXPECT_EQ(run.Err, "");
}

TEST(CmdPresets, ListingMarksDefaultsAndKeepsTextsExact) {
    const TRun run = RunCli("presets");
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out.rfind("Video 0 / AVI 0 (.avi)\n", 0), 0u);
    EXPECT_NE(
        run.Out.find("\n  *  3  Video: MPEG4 (DivX, XviD), 1500 kbps, Original; Audio: MP3, 192 kbps\n"),
        std::string::npos);
    EXPECT_NE(run.Out.find(
                  "\n     1  iPod Touch High Quality (H264, 30 fps, 480x320, 2500 kbps; AAC - 160 kbps) \n"),
              std::string::npos);
    EXPECT_NE(run.Out.find("\nAudio 2 / MP2 7 (.mp2)\n  *  0  For Mobiles - MPEG layer-2"),
              std::string::npos);
}

TEST(CmdPresets, UsageErrorsAndHelp) {
    struct TCase {
        const char* Args;
        int Status;
        bool OutHasUsage;
        bool OneErrorLine;
    };
    for (const TCase& c :
         {TCase{"presets --jsn", 2, false, true}, TCase{"presets extra", 2, false, true},
          TCase{"presets --help", 0, true, false}, TCase{"presets --json -h", 0, true, false}}) {
        const TRun run = RunCli(c.Args);
        EXPECT_EQ(run.Status, c.Status) << c.Args;
        EXPECT_EQ(run.Out.rfind("Usage: mediawizard-cli presets", 0) == 0, c.OutHasUsage) << c.Args;
        if (c.OneErrorLine) {
            EXPECT_EQ(run.Err.rfind("mediawizard-cli: ", 0), 0u) << c.Args;
            EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1) << c.Args;
        }
    }
    // Output that cannot be written is a failure, not a silent success.
    const std::string full =
        std::string("'") + MW_TEST_RUN_DIR + "/mediawizard-cli' presets --json >/dev/full";
    const int raw = std::system(full.c_str());
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1);

    const TRun help = RunCli("--help");
    EXPECT_EQ(help.Status, 0);
    EXPECT_NE(help.Out.find("  presets "), std::string::npos);
}

} // namespace
} // namespace mw
