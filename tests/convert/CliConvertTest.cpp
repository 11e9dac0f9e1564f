// mediawizard-cli convert end to end: real files through the real transcoder.
#include "../app/TempDir.h"
#include "../engine/EngineFixtures.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace mw {
namespace {

std::string Cli() {
    return std::string(MW_TEST_RUN_DIR) + "/mediawizard-cli";
}

TEST(CliConvert, SummaryCountsEveryFileGivenAndTheStatusSaysWhetherAllConverted) {
    test::TTempDir out;
    const std::string text = test::Fixture("text.avi");
    int status = 0;
    const std::string output = test::RunCommand(
        Cli() + " convert --class audio --format MP3 --parallel 2 --output " + test::ShellQuote(out.Path()) +
            " " + test::ShellQuote(test::Fixture("av.avi")) + " " + test::ShellQuote(test::Fixture("a.mp3")) +
            " " + test::ShellQuote(text) + " 2>/dev/null",
        status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(output.find("Total files: 3\nSuccessed: 2\nFailed: 1\n"), std::string::npos) << output;
    EXPECT_NE(output.find("File load error: " + text), std::string::npos) << output;
    // a.mp3 exists in no output folder yet, so both keep their names.
    EXPECT_TRUE(std::filesystem::file_size(out.Path() + "av.mp3") > 0);
    EXPECT_TRUE(std::filesystem::file_size(out.Path() + "a.mp3") > 0);
}

TEST(CliConvert, JoinWritesOneOutput) {
    test::TTempDir out;
    int status = 0;
    const std::string output =
        test::RunCommand(Cli() + " convert --class 0 --format avi --join --output " +
                             test::ShellQuote(out.Path()) + " " + test::ShellQuote(test::Fixture("av.avi")) +
                             " " + test::ShellQuote(test::Fixture("av.avi")) + " 2>/dev/null",
                         status);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("Total files: 1\nSuccessed: 1\nFailed: 0\n"), std::string::npos) << output;
    const std::string duration =
        test::RunCommand("ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 " +
                             test::ShellQuote(out.Path() + "Output_Merge.avi"),
                         status);
    EXPECT_NEAR(std::stod(duration), 4.0, 0.3);
}

TEST(CliConvert, UsageErrors) {
    const char* const cases[] = {
        "convert --class Cartoon --format AVI x.avi",
        "convert --class Video --format MP3 x.avi",
        "convert --class Video --format AVI --preset 99 x.avi",
        "convert --class Video --format AVI",
        "convert --class Video --format AVI --parallel 0 x.avi",
    };
    for (const char* args : cases) {
        int status = 0;
        test::RunCommand(Cli() + " " + args + " 2>&1", status);
        EXPECT_EQ(status, 2) << args;
    }
}

} // namespace
} // namespace mw
