#include "app/UtilFuncs.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace mw {
namespace {

TEST(UtilFuncs, TrailingSeparatorIsAddedOnce) {
    EXPECT_EQ(AddTrailingBackslash("/home/video"), "/home/video/");
    EXPECT_EQ(AddTrailingBackslash("/home/video/"), "/home/video/");
    EXPECT_EQ(AddTrailingBackslash(""), "");
}

TEST(UtilFuncs, StripFileExtTouchesOnlyTheLastComponent) {
    const std::pair<const char*, const char*> cases[] = {
        {"/a/clip.mp4", "/a/clip"},   {"/a/clip.tar.gz", "/a/clip.tar"},
        {"/a.b/noext", "/a.b/noext"}, {"noext", "noext"},
        {"/a/.hidden", "/a/"},        {"", ""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(StripFileExt(in), out) << in;
}

TEST(UtilFuncs, UniqueNameCountsPastExistingFiles) {
    test::TTempDir dir;
    EXPECT_EQ(MakeUniqueFileName("a.mp3", dir.Path()), "a.mp3");
    dir.Write("a.mp3", "x");
    dir.Write("a(1).mp3", "x");
    EXPECT_EQ(MakeUniqueFileName("a.mp3", dir.Path()), "a(2).mp3");
    dir.Write("noext", "x");
    EXPECT_EQ(MakeUniqueFileName("noext", dir.Path()), "noext(1)");
    // The folder may come without its trailing separator; the name's own characters stay literal.
    dir.Write("100%(x).avi", "x");
    std::string folder = dir.Path();
    folder.pop_back();
    EXPECT_EQ(MakeUniqueFileName("100%(x).avi", folder), "100%(x)(1).avi");
}

// Whatever is at the path takes the name: writing there would follow a link or fail on a folder.
TEST(UtilFuncs, UniqueNameTreatsFoldersAndLinksAsTaken) {
    test::TTempDir dir;
    dir.Write("elsewhere/real.txt", "x");
    ASSERT_EQ(mkdir((dir.Path() + "folder.mp4").c_str(), 0700), 0);
    ASSERT_EQ(symlink("elsewhere/new.txt", (dir.Path() + "dangling.mp3").c_str()), 0);
    ASSERT_EQ(symlink("elsewhere/real.txt", (dir.Path() + "link.avi").c_str()), 0);
    const std::pair<const char*, const char*> cases[] = {
        {"folder.mp4", "folder(1).mp4"}, {"dangling.mp3", "dangling(1).mp3"}, {"link.avi", "link(1).avi"}};
    for (const auto& [name, unique] : cases)
        EXPECT_EQ(MakeUniqueFileName(name, dir.Path()), unique) << name;
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "elsewhere/new.txt"));
}

TEST(UtilFuncs, SafeNameReplacesTheNineForbiddenCharacters) {
    EXPECT_EQ(MakeSafeFileName("What? A/B"), "What_ A_B");
    EXPECT_EQ(MakeSafeFileName("a\\b:c*d\"e<f>g|h"), "a_b_c_d_e_f_g_h");
    EXPECT_EQ(MakeSafeFileName("Plain name (1).mp4"), "Plain name (1).mp4");
    EXPECT_EQ(MakeSafeFileName(""), "");
}

TEST(UtilFuncs, MediaExtensionsIgnoreCase) {
    for (const char* ext : {".MP3", ".mp3", ".Rmvb", ".swf", ".ts", ".cda"})
        EXPECT_TRUE(IsMediaFileExt(ext)) << ext;
    for (const char* ext : {".mpeg", ".webm", "mp3", "", ".txt"})
        EXPECT_FALSE(IsMediaFileExt(ext)) << ext;
}

TEST(UtilFuncs, MicrosecondTexts) {
    const std::pair<int64_t, const char*> cases[] = {
        {0, "00:00:00.000"},        {3723004000LL, "01:02:03.004"},
        {999, "00:00:00.000"},      {360000000000LL, "100:00:00.000"}, // hours do not wrap at 24
        {59999999, "00:00:59.999"},
    };
    for (const auto& [us, text] : cases)
        EXPECT_EQ(FormatMicroseconds(us), text) << us;
}

TEST(UtilFuncs, TimeSpanTextsWrapOnlyWhenAsked) {
    const struct {
        int64_t Ms;
        bool Wrap;
        int HourDigits;
        bool Millis;
        const char* Text;
    } cases[] = {
        {25 * 3600000LL + 61000, true, 1, false, "1:01:01"},
        {25 * 3600000LL + 61000, false, 1, false, "25:01:01"},
        {3723004, false, 2, true, "01:02:03.004"},
        {-5000, false, 2, false, "-00:00:05"},
        {0, true, 1, true, "0:00:00.000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TimeSpanText(c.Ms, c.Wrap, c.HourDigits, c.Millis), c.Text) << c.Ms;
}

TEST(UtilFuncs, PictureTimes) {
    const std::pair<int64_t, const char*> cases[] = {
        {3725500000LL, "01:02:05.500"},
        {0, "00:00:00.000"},
        {-1500000, "-00:00:01.500"}, // a picture before the stream's start
        {-999, "00:00:00.000"},
        {std::numeric_limits<int64_t>::min(), "N/A"},
        {std::numeric_limits<int64_t>::min() + 1, "-2562047788:00:54.775"},
    };
    for (const auto& [us, text] : cases)
        EXPECT_EQ(FormatPictureTime(us), text) << us;
}

TEST(UtilFuncs, SplitKeepsInnerAndLeadingEmptyPiecesOnly) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitByDelimiter("a,,b,", ","), (V{"a", "", "b"}));
    EXPECT_EQ(SplitByDelimiter(",a", ","), (V{"", "a"}));
    EXPECT_EQ(SplitByDelimiter("", ","), V{});
    EXPECT_EQ(SplitByDelimiter("one&&two", "&&"), (V{"one", "two"}));
    EXPECT_EQ(SplitByDelimiter("whole", ","), V{"whole"});
}

TEST(UtilFuncs, TextBetweenTakesTheFirstEndAfterTheStart) {
    EXPECT_EQ(TextBetween("x=[1];y", "[", "]"), "1");
    EXPECT_EQ(TextBetween("]a[b]c]", "[", "]"), "b");
    EXPECT_EQ(TextBetween("x=[1", "[", "]"), "");
}

TEST(UtilFuncs, ShellFoldersFollowXdg) {
    test::TTempDir dir;
    const std::string home = dir.Path() + "home";
    dir.Write("home/.config/user-dirs.dirs", "# comment\nXDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n");
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(GetShellFolderPath("AppData"), home + "/.config");
    EXPECT_EQ(GetShellFolderPath("Personal"), home + "/Docs");
    setenv("XDG_CONFIG_HOME", (dir.Path() + "cfg").c_str(), 1);
    EXPECT_EQ(GetShellFolderPath("AppData"), dir.Path() + "cfg");
    // Without a user-dirs entry or a Documents folder, home is the documents folder.
    EXPECT_EQ(GetShellFolderPath("Personal"), home);
    EXPECT_EQ(GetShellFolderPath("Unknown"), "/");
}

} // namespace
} // namespace mw
