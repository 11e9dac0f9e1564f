// mediawizard-cli download on the extractor road: the real extractor program against the fake
// site on 127.0.0.1, and the choice of road.
#include "ExtractorSite.h"
#include "EngineFixtures.h"
#include "FakeVideoSite.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace mw {
namespace {

using test::ShellQuote;

struct TResult {
    int Status = -1;
    std::string Output;
};

TResult RunCli(const std::string& args, const std::string& env = "") {
    TResult r;
    r.Output = test::RunCommand(env + " " + ShellQuote(std::string(MW_TEST_RUN_DIR) + "/mediawizard-cli") +
                                    " download " + args + " 2>&1",
                                r.Status);
    return r;
}

class CliExtractorTest : public ::testing::Test {
  protected:
    test::TFakeVideoSite Site;
    test::TTempDir Dir;
    std::string Out() const { return Dir.Path() + "out/"; }
};

TEST_F(CliExtractorTest, DownloadsFromTheLoopbackSite) {
    ASSERT_FALSE(test::RealExtractor().empty()) << "yt-dlp is missing: run scripts/setup.sh";
    const std::string a = test::AddHlsVideo(Site, "a", "First clip");
    const std::string b = test::AddHlsVideo(Site, "b", "Second clip");
    const TResult r = RunCli("--engine extractor --folder " + ShellQuote(Out()) + " " + ShellQuote(a) + " " +
                             ShellQuote(b) + " ftp://elsewhere.example/x");
    EXPECT_EQ(r.Status, 1) << r.Output; // the ftp link is refused
    EXPECT_NE(r.Output.find("This is not a web link (http:// or https://)."), std::string::npos) << r.Output;
    EXPECT_NE(r.Output.find("Total: 3, succeeded: 2, failed: 1"), std::string::npos) << r.Output;
    EXPECT_NE(r.Output.find("Download engine: yt-dlp "), std::string::npos) << r.Output;
    const size_t saved = r.Output.find("Saved: " + Out());
    ASSERT_NE(saved, std::string::npos) << r.Output;
    const std::string path = r.Output.substr(saved + 7, r.Output.find('\n', saved) - saved - 7);
    const test::TProbeFacts f = test::ProbeFile(path);
    EXPECT_TRUE(f.Video && f.Audio) << path;
    EXPECT_EQ(f.Height, 360); // HQ18 leads the default order
}

TEST_F(CliExtractorTest, TheEngineOption) {
    test::TTempDir bin;
    const std::string stub = test::WriteScript(bin, "stub", "exit 1\n");
    const struct {
        std::string Args, Env;
        int Status;
        const char* Says;
    } cases[] = {
        {"--engine sideways http://x/", "", 2, "--engine takes auto, builtin or extractor"},
        {"--engine extractor --extractor " + bin.Path() + "missing http://x/", "", 1, "was not found at"},
        {"--engine extractor http://x/", "HOME=" + bin.Path() + " PATH=/nonexistent", 1,
         "was not found (in ~/.local/bin or on PATH)"},
        // Automatic without an extractor: the built-in road, whose site rule refuses a foreign link.
        {"--site " + Site.Domain() + " http://x.example/", "HOME=" + bin.Path() + " PATH=/nonexistent", 1,
         "This is not a YouTube video link."},
        // A stand-in that fails: the link fails with the program's own exit status.
        {"--engine extractor --extractor " + stub + " http://x.example/", "", 1, "exit status 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args);
        const TResult r = RunCli("--folder " + ShellQuote(Out()) + " " + c.Args, c.Env);
        EXPECT_EQ(r.Status, c.Status) << r.Output;
        EXPECT_NE(r.Output.find(c.Says), std::string::npos) << r.Output;
    }
}

} // namespace
} // namespace mw
