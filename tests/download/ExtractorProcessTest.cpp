// Running the extractor program: no shell, its own process group ended as a whole, bounded in
// time and output, and where it is found.
#include "download/ExtractorProcess.h"
#include "download/ExtractorProgram.h"
#include "app/UserSettings.h"

#include "ExtractorSite.h"
#include "TempDir.h"
#include "TestPump.h"

#include <gtest/gtest.h>

#include <fstream>
#include <cstdlib>
#include <sys/stat.h>

namespace mw {
namespace {

using test::TTempDir;
using test::WriteScript;

using test::ProcessGroupGone;

struct TRun {
    TQueueDispatcher D;
    TExtractorProcess P{&D};
    std::vector<std::string> Lines;
    bool Ended = false;
    TProcessOutcome Outcome;
    TRun() {
        P.OnLine = [this](const std::string& l) { Lines.push_back(l); };
        P.OnExit = [this](const TProcessOutcome& o) {
            Outcome = o;
            Ended = true;
        };
    }
    bool Run(const std::vector<std::string>& argv, const TProcessLimits& limits, int timeoutMs = 10000) {
        Ended = false;
        Lines.clear();
        if (!P.Start(argv, limits)) return false;
        return test::PumpUntil(D, [&] { return Ended; }, timeoutMs);
    }
};

TEST(ExtractorProcess, ArgumentsArriveVerbatimWithoutAShell) {
    TTempDir dir;
    const std::string echo = WriteScript(dir, "echo-args", "for a in \"$@\"; do printf '<%s>\\n' \"$a\"; done\n");
    const std::vector<std::string> args = {"two words", "$(touch pwned)", "; rm -rf x", "*", "-o", "'\"", ""};
    std::vector<std::string> argv = {echo};
    argv.insert(argv.end(), args.begin(), args.end());
    TRun r;
    ASSERT_TRUE(r.Run(argv, {}));
    EXPECT_TRUE(r.Outcome.Succeeded());
    std::vector<std::string> expected;
    for (const auto& a : args)
        expected.push_back("<" + a + ">");
    EXPECT_EQ(r.Lines, expected);
    EXPECT_FALSE(std::ifstream(dir.Path() + "pwned").good());
}

TEST(ExtractorProcess, LimitsEndTheWholeGroup) {
    TTempDir dir;
    // A child of its own keeps running unless the group is ended.
    const std::string hang = WriteScript(dir, "hang", "sleep 30 &\necho started\nsleep 30\n");
    const std::string quiet = WriteScript(dir, "quiet", "echo one\nsleep 30\n");
    const std::string flood = WriteScript(dir, "flood", "yes 0123456789\n");
    const std::string wide = WriteScript(dir, "wide", "head -c 300000 /dev/zero | tr '\\0' x\necho\necho after\n");
    const struct {
        const char* Name;
        std::string Program;
        TProcessLimits Limits;
        bool Collect;
        bool TimedOut, Stalled, TooLarge;
    } cases[] = {
        {"time limit", hang, {400, 0}, false, true, false, false},
        {"stall limit", quiet, {0, 400}, false, false, true, false},
        {"output limit", flood, {0, 0, 1u << 20}, true, false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TRun r;
        r.P.CollectStdout = c.Collect;
        ASSERT_TRUE(r.Run({c.Program}, c.Limits));
        EXPECT_EQ(r.Outcome.TimedOut, c.TimedOut);
        EXPECT_EQ(r.Outcome.Stalled, c.Stalled);
        EXPECT_EQ(r.Outcome.OutputTooLarge, c.TooLarge);
        EXPECT_FALSE(r.Outcome.Succeeded());
        EXPECT_LE(r.Outcome.Stdout.size(), 1u << 20);
        EXPECT_TRUE(ProcessGroupGone(r.P.LastPid()));
    }
    // A line longer than the bound is cut; the next line is whole.
    TRun r;
    TProcessLimits limits;
    limits.MaxLineBytes = 1000;
    ASSERT_TRUE(r.Run({wide}, limits));
    ASSERT_EQ(r.Lines.size(), 2u);
    EXPECT_EQ(r.Lines[0], std::string(1000, 'x'));
    EXPECT_EQ(r.Lines[1], "after");
}

TEST(ExtractorProcess, KillEndsTheGroupAndReportsIt) {
    TTempDir dir;
    const std::string hang = WriteScript(dir, "hang", "sleep 30 &\necho started\nsleep 30\n");
    TRun r;
    ASSERT_TRUE(r.P.Start({hang}, {}));
    ASSERT_TRUE(test::PumpUntil(r.D, [&] { return !r.Lines.empty(); }));
    EXPECT_FALSE(r.P.Start({hang}, {})); // one run at a time
    r.P.Kill();
    ASSERT_TRUE(test::PumpUntil(r.D, [&] { return r.Ended; }, 5000));
    EXPECT_TRUE(r.Outcome.Killed);
    EXPECT_TRUE(ProcessGroupGone(r.P.LastPid()));
    // Destroying a running one ends it too.
    int pid = 0;
    {
        TQueueDispatcher d;
        TExtractorProcess p(&d);
        ASSERT_TRUE(p.Start({hang}, {}));
        ASSERT_TRUE(test::PumpUntil(d, [&] { return p.LastPid() != 0; }));
        pid = p.LastPid();
    }
    EXPECT_TRUE(ProcessGroupGone(pid));
}

TEST(ExtractorProcess, ProgressLinesAreThinnedAndOrdered) {
    TTempDir dir;
    const std::string chatty = WriteScript(
        dir, "chatty", "i=0\nwhile [ $i -lt 3000 ]; do echo \"[p] $i\"; i=$((i+1)); done\necho done\n");
    TRun r;
    r.P.ProgressPrefix = "[p] ";
    ASSERT_TRUE(r.Run({chatty}, {}));
    ASSERT_GE(r.Lines.size(), 2u);
    EXPECT_LT(r.Lines.size(), 300u);
    EXPECT_EQ(r.Lines[r.Lines.size() - 2], "[p] 2999"); // the latest progress comes before the next line
    EXPECT_EQ(r.Lines.back(), "done");
}

TEST(ExtractorProcess, StartErrorsStandardInputAndErrorOutput) {
    TTempDir dir;
    TRun missing;
    ASSERT_TRUE(missing.Run({dir.Path() + "no-such-program"}, {}));
    EXPECT_FALSE(missing.Outcome.StartError.empty());
    // Standard input is empty: a program reading it ends at once.
    const std::string reader =
        WriteScript(dir, "reader", "cat\nhead -c 50000 /dev/zero | tr '\\0' e >&2\necho tail >&2\nexit 3\n");
    TProcessLimits limits;
    limits.MaxStderrBytes = 100;
    const TProcessOutcome o = RunProgram({reader}, limits);
    EXPECT_EQ(o.ExitCode, 3);
    EXPECT_EQ(o.Stderr.size(), 100u);
    EXPECT_EQ(o.Stderr.substr(95), "tail\n");
}

// The program is the configured one, else the user's own copy, else the one on PATH.
TEST(ExtractorProgram, FoundWhereTheUserKeepsIt) {
    TTempDir dir;
    const char* oldHome = std::getenv("HOME");
    const char* oldPath = std::getenv("PATH");
    const std::string savedHome = oldHome ? oldHome : "", savedPath = oldPath ? oldPath : "";
    const std::string configured = WriteScript(dir, "opt/yt-dlp", "echo 2026.11.01\n");
    const std::string own = WriteScript(dir, "home/.local/bin/yt-dlp", "echo 2026.10.01\n");
    const std::string system = WriteScript(dir, "bin/yt-dlp", "echo 2023.03.04\n");
    const std::string plain = dir.Write("plain/yt-dlp", "not executable");
    setenv("HOME", (dir.Path() + "home").c_str(), 1);
    setenv("PATH", ("relative:" + dir.Path() + "plain:" + dir.Path() + "bin").c_str(), 1);
    EXPECT_EQ(FindExtractorPath(configured), configured);
    EXPECT_EQ(FindExtractorPath(plain), "");      // a configured path must be a program
    EXPECT_EQ(FindExtractorPath("opt/yt-dlp"), ""); // and absolute
    EXPECT_EQ(FindExtractorPath(""), own);
    const TExtractorProgram p = FindExtractor("");
    EXPECT_EQ(p.Version, "2026.10.01");
    EXPECT_TRUE(p.UserOwned);
    ::unlink(own.c_str());
    EXPECT_EQ(FindExtractorPath(""), system);
    setenv("PATH", "/nonexistent", 1);
    EXPECT_FALSE(FindExtractor("").Found());
    setenv("HOME", savedHome.c_str(), 1);
    setenv("PATH", savedPath.c_str(), 1);
    EXPECT_FALSE(IsUserOwnedProgram("/usr/bin/env"));
}

TEST(ExtractorProgram, TheSettingChoosesTheRoad) {
    const struct {
        uint8_t Engine;
        bool Found;
        TDownloadRoad Road;
    } cases[] = {
        {deAutomatic, true, TDownloadRoad::Extractor},   {deAutomatic, false, TDownloadRoad::Builtin},
        {deBuiltin, true, TDownloadRoad::Builtin},       {deExtractor, true, TDownloadRoad::Extractor},
        {deExtractor, false, TDownloadRoad::ExtractorMissing}, {77, true, TDownloadRoad::Extractor},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseDownloadRoad(c.Engine, c.Found), c.Road) << int(c.Engine) << " " << c.Found;
}

} // namespace
} // namespace mw
