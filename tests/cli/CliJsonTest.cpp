// convert --json and download --json as a script reads them: every line of standard output is
// one JSON object, the last one the summary with the terminal's counts.
#include "EngineFixtures.h"
#include "FakeVideoSite.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <set>
#include <sstream>

namespace mw {
namespace {

using nlohmann::json;

std::string Cli() {
    return std::string(MW_TEST_RUN_DIR) + "/mediawizard-cli";
}

// Each line parsed; a line that is not a JSON object fails the test.
std::vector<json> JsonLines(const std::string& out) {
    std::vector<json> objects;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        const json j = json::parse(line, nullptr, false);
        EXPECT_TRUE(j.is_object() && j.contains("event")) << "not an event object: " << line;
        if (j.is_object()) objects.push_back(j);
    }
    return objects;
}

std::vector<json> Events(const std::vector<json>& all, const std::string& kind) {
    std::vector<json> some;
    for (const json& j : all)
        if (j["event"] == kind) some.push_back(j);
    return some;
}

TEST(CliJson, ConvertReportsEachFileProgressAndASummary) {
    test::TTempDir out;
    const std::string text = test::Fixture("text.avi");
    int status = -1;
    const std::string output = test::RunCommand(
        Cli() + " convert --json --class Audio --format MP3 --output " + test::ShellQuote(out.Path()) + " " +
            test::ShellQuote(test::Fixture("av.avi")) + " " + test::ShellQuote(text) + " 2>/dev/null",
        status);
    EXPECT_EQ(status, 1);
    const std::vector<json> all = JsonLines(output);
    ASSERT_FALSE(all.empty());
    const json& summary = all.back();
    EXPECT_EQ(summary["event"], "summary");
    EXPECT_EQ(summary["total"], 2);
    EXPECT_EQ(summary["succeeded"], 1);
    EXPECT_EQ(summary["failed"], 1);
    ASSERT_EQ(summary["errors"].size(), 1u) << summary;
    EXPECT_EQ(summary["errors"][0].get<std::string>().rfind("File (2): text.avi: ", 0), 0u) << summary;

    // The refused file is a log line and a failed row; the converted one goes from waiting to
    // finished.
    const auto logs = Events(all, "log");
    EXPECT_TRUE(std::any_of(logs.begin(), logs.end(), [&](const json& j) {
        return j["text"].get<std::string>().rfind("File load error: " + text + ": ", 0) == 0;
    })) << output;
    std::vector<std::string> statuses;
    for (const json& f : Events(all, "file")) {
        EXPECT_EQ(f["total"], 2);
        if (f["name"] == "text.avi") {
            EXPECT_EQ(f["index"], 2);
            EXPECT_EQ(f["status"], "Failed.");
            continue;
        }
        EXPECT_EQ(f["name"], "av.avi");
        EXPECT_EQ(f["index"], 1);
        statuses.push_back(f["status"]);
    }
    EXPECT_EQ(statuses.front(), "Waiting...") << output;
    EXPECT_EQ(statuses.back(), "Finish.") << output;
    EXPECT_EQ(std::set<std::string>(statuses.begin(), statuses.end()).size(), statuses.size())
        << "a status is reported once, when it changes:\n"
        << output;
    const auto progress = Events(all, "progress");
    ASSERT_FALSE(progress.empty()) << output;
    for (const char* key : {"overall", "progress", "elapsed", "estimated", "left", "file", "file_progress"})
        EXPECT_TRUE(progress.back().contains(key)) << key << " in " << progress.back();
    for (size_t i = 1; i < progress.size(); ++i)
        EXPECT_NE(progress[i], progress[i - 1]) << "a progress line only when something changed";
}

TEST(CliJson, DownloadReportsLinksStatusesAndWhatWasSaved) {
    test::TFakeVideoSite site;
    test::TTempDir dir;
    test::TFakeResponse stream;
    stream.Body = test::TFakeVideoSite::MakeBody(200000, 7);
    // A title with a terminal escape sequence and a byte that is not UTF-8.
    const auto good = site.AddVideo("g", "Night\x1b[31m caf\xe9", {{18, stream}});
    const auto bad = site.AddVideo("b", "Gone", {{18, stream}});
    test::TFakeResponse missing;
    missing.Status = 404;
    site.Set(site.StreamTarget("b", 18), missing);
    int status = -1;
    const std::string output = test::RunCommand(
        Cli() + " download --json --engine builtin --folder " + test::ShellQuote(dir.Path() + "out") + " --site " +
            site.Domain() + " '" + good + "' '" + bad + "' 'http://elsewhere.example/x'",
        status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(output.find('\x1b'), std::string::npos) << "no escape sequence reaches the terminal";
    const std::vector<json> all = JsonLines(output);
    ASSERT_FALSE(all.empty());
    const json& summary = all.back();
    EXPECT_EQ(summary["event"], "summary");
    EXPECT_EQ(summary["total"], 3);
    EXPECT_EQ(summary["succeeded"], 1);
    EXPECT_EQ(summary["failed"], 2);
    ASSERT_EQ(summary["saved"].size(), 1u) << summary;
    // The saved name as bytes: the JSON text itself can only carry U+FFFD for the Latin-1 byte.
    ASSERT_TRUE(summary.contains("saved_bytes")) << summary;
    std::string bytes;
    const std::string hex = summary["saved_bytes"][0];
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    EXPECT_EQ(dir.Read(bytes.substr(dir.Path().size())), stream.Body);

    EXPECT_EQ(Events(all, "link").size(), 2u) << output;
    bool finished = false;
    for (const json& s : Events(all, "status"))
        if (s["status"] == "Finish.") {
            finished = true;
            EXPECT_EQ(s["index"], 1);
            EXPECT_EQ(s["file"], summary["saved"][0]);
        }
    EXPECT_TRUE(finished) << output;
    bool refused = false;
    for (const json& l : Events(all, "log"))
        refused = refused ||
                  l["text"].get<std::string>().find("This is not a YouTube video link.") != std::string::npos;
    EXPECT_TRUE(refused) << output;
}

} // namespace
} // namespace mw
