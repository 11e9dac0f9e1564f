// mediawizard-cli --version: the edition beside the program and the libraries it finds, checked
// against what ffprobe reports for the same libraries.
#include "EngineFixtures.h"
#include "TempDir.h"
#include "app/ProductConfig.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

namespace mw {
namespace {

// "libavcodec" → "59.37.100" from ffprobe's "libavcodec     59. 37.100 / 59. 37.100" (the run-time one).
std::map<std::string, std::string> FfprobeLibraries() {
    int status = 0;
    const std::string text = test::RunCommand("ffprobe -version", status);
    std::map<std::string, std::string> found;
    static const std::regex Line(R"((lib\w+)\s+\d+\.\s*\d+\.\s*\d+ / +(\d+)\.\s*(\d+)\.\s*(\d+))");
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (std::regex_search(line, m, Line) && m[1] != "libpostproc") // the engine does not use it
            found[m[1]] = m[2].str() + "." + m[3].str() + "." + m[4].str();
    }
    return found;
}

TEST(CliVersion, NamesTheEditionAndTheLibrariesFoundAtRunTime) {
    const std::string run = MW_TEST_RUN_DIR;
    const TIniText edition = LoadProductConfigFile(run + "/lamecore.dll");
    int status = -1;
    const std::string out = test::RunCommand(run + "/mediawizard-cli --version", status);
    EXPECT_EQ(status, 0) << out;
    const std::string first = out.substr(0, out.find('\n'));
    EXPECT_EQ(first, "mediawizard-cli " + edition.ReadString("SYSTEM", "Version") + " (" +
                         edition.ReadString("SYSTEM", "Name") + ")");
    const auto expected = FfprobeLibraries();
    ASSERT_EQ(expected.size(), 7u) << "ffprobe -version lists the seven libraries";
    for (const auto& [name, version] : expected) {
        const std::regex line("\n" + name + " " + std::regex_replace(version, std::regex(R"(\.)"), R"(\.)") +
                              " \\(/[^\n]*" + name + "\\.so[^\n]*\\)\n");
        EXPECT_TRUE(std::regex_search(out, line)) << name << " " << version << " in\n" << out;
    }
}

// Copied away from its edition and its engine folder: the version query still answers, with the reason.
TEST(CliVersion, WithoutAnEditionItSaysWhyAndFails) {
    test::TTempDir dir;
    std::filesystem::copy_file(std::string(MW_TEST_RUN_DIR) + "/mediawizard-cli",
                               dir.Path() + "mediawizard-cli");
    int status = -1;
    const std::string out =
        test::RunCommand(test::ShellQuote(dir.Path() + "mediawizard-cli") + " --version", status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out.rfind("mediawizard-cli (edition not readable: ", 0), 0u) << out;
    EXPECT_NE(out.find("lamecore.dll"), std::string::npos) << out;
    EXPECT_NE(out.find("\nlibavformat 59."), std::string::npos) << "the system's libraries are still found:\n"
                                                                << out;
}

} // namespace
} // namespace mw
