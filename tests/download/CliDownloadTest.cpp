#include "FakeVideoSite.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

namespace mw {
namespace {

using test::TFakeResponse;
using test::TFakeVideoSite;

struct TResult {
    int Status = -1;
    std::string Output;
};

TResult RunCli(const std::string& args) {
    TResult r;
    const std::string command = std::string(MW_TEST_RUN_DIR) + "/mediawizard-cli download " + args + " 2>&1";
    FILE* p = popen(command.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.Output.append(buf, n);
    const int status = pclose(p);
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

TFakeResponse Stream(size_t size, unsigned seed) {
    TFakeResponse r;
    r.Body = TFakeVideoSite::MakeBody(size, seed);
    return r;
}

class CliDownloadTest : public ::testing::Test {
  protected:
    TFakeVideoSite Site;
    test::TTempDir Dir;
    // The built-in road, also where the extractor program is installed.
    std::string Common() const {
        return "--engine builtin --folder '" + Dir.Path() + "out' --site " + Site.Domain() + " ";
    }
};

TEST_F(CliDownloadTest, SavesTheRightFilesAndCountsTruly) {
    const auto a = Site.AddVideo("a", "Clip: one", {{18, Stream(300000, 1)}});
    const auto b = Site.AddVideo("b", "Broken", {{18, Stream(1000, 2)}});
    TFakeResponse missing;
    missing.Status = 404;
    Site.Set(Site.StreamTarget("b", 18), missing);
    const auto c = Site.AddVideo("c", "Three &amp; more", {{35, Stream(200000, 3)}});
    const TResult r = RunCli(Common() + "'" + a + "' '" + b + "' '" + c + "'");
    EXPECT_EQ(r.Status, 1) << r.Output;
    EXPECT_NE(r.Output.find("Total: 3, succeeded: 2, failed: 1"), std::string::npos) << r.Output;
    EXPECT_NE(r.Output.find("[HQ18] failed, try next: [HQ35]"), std::string::npos) << r.Output;
    EXPECT_EQ(Dir.Read("out/Clip_ one.mp4"), TFakeVideoSite::MakeBody(300000, 1));
    EXPECT_EQ(Dir.Read("out/Three & more.flv"), TFakeVideoSite::MakeBody(200000, 3));
    EXPECT_NE(r.Output.find("Saved: " + Dir.Path() + "out/Clip_ one.mp4"), std::string::npos) << r.Output;
}

TEST_F(CliDownloadTest, WithoutHighQualityTheDefaultStreamIsSavedAndAllSucceed) {
    const auto a = Site.AddVideo("d", "Default", {{5, Stream(5000, 5)}, {18, Stream(100, 18)}});
    const TResult r = RunCli(Common() + "--no-hq '" + a + "' '" + a + "'"); // the same link twice: once
    EXPECT_EQ(r.Status, 0) << r.Output;
    EXPECT_NE(r.Output.find("Total: 1, succeeded: 1, failed: 0"), std::string::npos) << r.Output;
    EXPECT_EQ(Dir.Read("out/Default.flv"), TFakeVideoSite::MakeBody(5000, 5));
    EXPECT_NE(r.Output.find("This video is already in the download list."), std::string::npos) << r.Output;
    EXPECT_EQ(Site.CountRequests("/watch"), 1);
}

TEST_F(CliDownloadTest, UsageErrorsAndRefusedLinks) {
    EXPECT_EQ(RunCli("").Status, 2);
    EXPECT_EQ(RunCli("--bogus x").Status, 2);
    const TResult r = RunCli(Common() + "http://elsewhere.example/watch?v=1");
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Output.find("This is not a YouTube video link."), std::string::npos) << r.Output;
}

} // namespace
} // namespace mw
