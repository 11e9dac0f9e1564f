// mediawizard-cli probe with awkward names and thumbnail targets: what is written, what is refused.
#include "../app/TempDir.h"
#include "EngineFixtures.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace mw {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

class CliProbeTest : public ::testing::Test {
  protected:
    // Runs "probe --json ARGS" in the temporary folder; the parsed output (null when unparsable).
    json Probe(const std::string& args, int& status) const {
        const std::string cli = std::string(MW_TEST_RUN_DIR) + "/mediawizard-cli";
        const std::string out = test::RunCommand("cd " + test::ShellQuote(Dir.Path()) + " && " + cli +
                                                     " probe --json " + args + " 2>/dev/null",
                                                 status);
        return json::parse(out, nullptr, false);
    }
    std::string Copy(const std::string& fixture, const std::string& name) const {
        fs::create_directories(fs::path(Dir.Path() + name).parent_path());
        fs::copy_file(test::Fixture(fixture), Dir.Path() + name);
        return Dir.Path() + name;
    }
    // Width of a PNG (from its header), 0 when the file is not a PNG.
    int PngWidth(const std::string& name) const {
        const std::string d = Dir.Read(name);
        if (d.size() < 24 || d.compare(1, 3, "PNG") != 0) return 0;
        return (static_cast<unsigned char>(d[18]) << 8) | static_cast<unsigned char>(d[19]);
    }
    test::TTempDir Dir;
};

std::string Hex(const std::string& s) {
    static const char Digits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char c : s)
        hex += {Digits[c >> 4], Digits[c & 15]};
    return hex;
}

TEST_F(CliProbeTest, NamesThatAreNotUtf8AreReplacedAndKeptAsBytes) {
    const std::string odd = Copy("av.avi", "clip-\xFF.avi");
    Copy("a.mp3", "plain.mp3");
    fs::create_directory(Dir.Path() + "thumbs");
    const std::string missing = Dir.Path() + "gone-\xFE.avi";
    int status = 0;
    const json r = Probe(
        test::ShellQuote(odd) + " " + test::ShellQuote(missing) + " plain.mp3 --thumbnail thumbs", status);
    ASSERT_TRUE(r.is_array() && r.size() == 3) << r;
    EXPECT_EQ(status, 1); // the missing file
    EXPECT_EQ(r[0]["file"], Dir.Path() + "clip-\xEF\xBF\xBD.avi");
    EXPECT_EQ(r[0]["file_bytes"], Hex(odd));
    EXPECT_EQ(r[0]["thumbnail_bytes"], Hex("thumbs/clip-\xFF.avi.png"));
    EXPECT_EQ(PngWidth("thumbs/clip-\xFF.avi.png"), 320);
    EXPECT_EQ(r[1]["ok"], false);
    EXPECT_EQ(r[1]["file_bytes"], Hex(missing));
    EXPECT_EQ(r[1]["error"], Dir.Path() + "gone-\xEF\xBF\xBD.avi: No such file or directory");
    EXPECT_EQ(r[2]["file"], "plain.mp3");
    EXPECT_FALSE(r[2].contains("file_bytes"));
}

TEST_F(CliProbeTest, RelativeNamesWithAColonAreLocalFiles) {
    Copy("av.avi", "a:b.avi");
    int status = 0;
    const json r = Probe("a:b.avi --thumbnail c:d.png", status);
    ASSERT_TRUE(r.is_array() && r.size() == 1) << r;
    EXPECT_EQ(status, 0);
    EXPECT_EQ(r[0]["ok"], true) << r[0]["error"];
    EXPECT_EQ(r[0]["thumbnail"], "c:d.png");
    EXPECT_EQ(PngWidth("c:d.png"), 320);
}

// A thumbnail never replaces an input; an existing file only with --force; every input its own name.
TEST_F(CliProbeTest, ThumbnailsNeverReplaceInputsOrUnaskedFiles) {
    Copy("av.avi", "mine.avi");
    Copy("onekey.mp4", "other.avi");
    Copy("onekey.mp4", "z-1.avi");
    const struct {
        const char* Args;
        const char* Input; // the input the thumbnail would have replaced
    } cases[] = {
        {"mine.avi --thumbnail ./mine.avi", "./mine.avi"},
        {"mine.avi --thumbnail mine.avi --force", "mine.avi"},
        {"mine.avi z-1.avi --thumbnail z.avi --force", "z-1.avi"}, // the first picture's number
    };
    for (const auto& c : cases) {
        const std::string original = Dir.Read(c.Input);
        int status = 0;
        const json r = Probe(c.Args, status);
        ASSERT_TRUE(r.is_array()) << c.Args;
        EXPECT_EQ(status, 1) << c.Args;
        EXPECT_EQ(r[0]["thumbnail"], nullptr) << c.Args;
        EXPECT_EQ(r[0]["thumbnail_error"],
                  c.Input + std::string(": is an input file; not replaced by its thumbnail"));
        EXPECT_EQ(Dir.Read(c.Input), original) << c.Args;
    }

    Dir.Write("t-1.png", "keep");
    int status = 0;
    json r = Probe("mine.avi other.avi --thumbnail t.png", status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(Dir.Read("t-1.png"), "keep");
    EXPECT_EQ(r[0]["thumbnail_error"], "t-1.png: exists; not replaced (use --force to replace it)");
    EXPECT_EQ(r[1]["thumbnail"], "t-2.png");
    r = Probe("mine.avi other.avi --thumbnail t.png --force", status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(PngWidth("t-1.png"), 320);
    EXPECT_EQ(PngWidth("t-2.png"), 160);

    // Same file name in two folders: two thumbnails, each entry naming its own.
    Copy("av.avi", "a/x.avi");
    Copy("onekey.mp4", "b/x.avi");
    fs::create_directory(Dir.Path() + "out");
    r = Probe("a/x.avi b/x.avi --thumbnail out", status);
    EXPECT_EQ(status, 0);
    ASSERT_TRUE(r.is_array() && r.size() == 2) << r;
    EXPECT_EQ(r[0]["thumbnail"], "out/x.avi.png");
    EXPECT_EQ(r[1]["thumbnail"], "out/x.avi(2).png");
    EXPECT_EQ(PngWidth("out/x.avi.png"), 320);
    EXPECT_EQ(PngWidth("out/x.avi(2).png"), 160);
}

// A tiny file with a 67-megapixel picture: facts as usual, no thumbnail, a reason, and quickly.
TEST_F(CliProbeTest, HugePictureGetsNoThumbnail) {
    Copy("bigframe.mov", "big.mov");
    int status = 0;
    const json r = Probe("big.mov --thumbnail big.png", status);
    ASSERT_TRUE(r.is_array() && r.size() == 1) << r;
    EXPECT_EQ(status, 0);
    EXPECT_EQ(r[0]["video"]["width"], 8200);
    EXPECT_EQ(r[0]["thumbnail"], nullptr);
    EXPECT_EQ(r[0]["thumbnail_error"], "picture of 8200x8200 is too large to decode.");
    EXPECT_FALSE(fs::exists(Dir.Path() + "big.png"));
}

} // namespace
} // namespace mw
