#include "app/UserSettings.h"
#include "TempDir.h"
#include "app/ProfileFile.h"
#include "app/UtilFuncs.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace mw {
namespace {

class UserSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("HOME", (Dir.Path() + "home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (Dir.Path() + "config").c_str(), 1);
        Dir.Write("home/Documents/.keep", "");
        Dir.Write("config/.keep", "");
    }
    test::TTempDir Dir;
};

TEST_F(UserSettingsTest, FirstStartWritesEveryKeyInFileOrder) {
    TProductConfig config;
    config.DefaultClass = 2;
    config.DefaultAudio = 5;
    TUserSettings s = DefaultUserSettings(config);
    const std::string file = SettingsFilePath(FormSettingsFolder("Example"));
    EXPECT_FALSE(LoadUserSettings(s, file));
    const std::string docs = Dir.Path() + "home/Documents";
    const std::string expected =
        "[System]\nLastOpenDir=" + docs + "\nOutputFileDir=" + docs + "\nOutputURLDir=" + docs +
        "\nOutputFormatClass=2\nOutputAudioFormat=5\nOutputVideoFormat=0\nOutputDeviceFormat=0\n"
        "OutputWAVPreset=3\nOutputMP3Preset=2\nOutputWMAPreset=1\nOutputOGGPreset=3\nOutputM4APreset=0\n"
        "OutputAACPreset=3\nOutputFLACPreset=5\nOutputMP2Preset=0\n"
        "OutputAVIPreset=3\nOutputMP4Preset=3\nOutputFLVPreset=1\nOutputSWFPreset=1\nOutputMPEGPreset=5\n"
        "OutputRMPreset=1\nOutputWMVPreset=16\nOutputMOVPreset=7\nOutput3GPPreset=2\n"
        "OutputiPodPreset=5\nOutputiPhonePreset=1\nOutputAppleTVPreset=1\nOutputPSPPreset=1\n"
        "OutputBlackBerryPreset=1\nOutputMobilePhonePreset=1\nOutputiPadPreset=0\nOutputAndroidPreset=0\n"
        "PlayASoundWhenFinished=0\nShutDownWhenFinished=0\nPreferYouTubeQuality=1\n"
        "PreferYouTube1=1\nPreferYouTube2=2\nPreferYouTube3=3\nPreferYouTube4=0\nPreferYouTube5=4\n"
        "PreferYouTube6=5\nPreferYouTube7=6\nPreferYouTube18=7\nDownloadEngine=0\nExtractorPath=\n"
        "ParallelTasks=0\n";
    EXPECT_EQ(Dir.Read("config/Example/~system2.dat"), expected);
    // The second start finds the file.
    TUserSettings again = DefaultUserSettings(config);
    EXPECT_TRUE(LoadUserSettings(again, file));
}

TEST_F(UserSettingsTest, StoredValuesOverrideDefaultsKeyByKey) {
    const std::string file =
        Dir.Write("s.dat", "[system]\noutputwmvpreset=0x10\nOutputAVIPreset=abc\n"
                           "OutputMP4Preset=9\nOutputVideoFormat=265\nPreferYouTube18=3\n"
                           "PlayASoundWhenFinished=2\nLastOpenDir=/media/x/\n"
                           "OutputFileDir=\nDownloadEngine=2\nExtractorPath=/opt/x/yt-dlp\n");
    TProductConfig config;
    config.DefaultVideo = 4;
    TUserSettings s = DefaultUserSettings(config);
    s.OutputSelection.Presets[fcVideo][6] = 1;
    ASSERT_TRUE(LoadUserSettings(s, file));
    EXPECT_EQ(*s.OutputSelection.PresetOf(fcVideo, 6), 16);
    EXPECT_EQ(*s.OutputSelection.PresetOf(fcVideo, 0), 3); // junk keeps the default
    EXPECT_EQ(*s.OutputSelection.PresetOf(fcVideo, 1), 9);
    EXPECT_EQ(s.OutputSelection.OutputVideoFormat, 9); // low byte of 265
    EXPECT_EQ(s.PreferYouTube[7], 3);
    EXPECT_TRUE(s.PlayASoundWhenFinished);
    EXPECT_EQ(s.LastOpenDir, "/media/x/");
    EXPECT_EQ(s.OutputFileDir, "");
    EXPECT_EQ(s.OutputURLDir, Dir.Path() + "home/Documents"); // absent: default
    EXPECT_EQ(s.DownloadEngine, deExtractor);
    EXPECT_EQ(s.ExtractorPath, "/opt/x/yt-dlp");
}

TEST_F(UserSettingsTest, JunkFilesGiveDefaultsAndAreRewrittenCleanly) {
    const std::string cases[] = {
        std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16),            // binary
        "[System]\nOutputMP3Preset=4\nOutputWAVPre",                 // truncated mid-key
        "[System]\n" + std::string(TProfileFile::MaxFileBytes, 'x'), // huge
    };
    for (const std::string& content : cases) {
        const std::string file = Dir.Write("junk.dat", content);
        TUserSettings s = DefaultUserSettings(TProductConfig{});
        ASSERT_TRUE(LoadUserSettings(s, file));
        const int32_t mp3 = *s.OutputSelection.PresetOf(fcAudio, 1);
        EXPECT_TRUE(mp3 == 2 || mp3 == 4);
        EXPECT_EQ(*s.OutputSelection.PresetOf(fcAudio, 0), 3);
        SaveUserSettings(s, file);
        TUserSettings reread;
        reread.OutputSelection.Presets = {};
        ASSERT_TRUE(LoadUserSettings(reread, file));
        EXPECT_EQ(reread.OutputSelection.Presets, s.OutputSelection.Presets);
        EXPECT_EQ(reread.LastOpenDir, s.LastOpenDir);
    }
}

TEST_F(UserSettingsTest, FolderWithLineBreakIsRefusedAndTheRestIsSaved) {
    const std::string file = Dir.Write("s.dat", "[System]\nLastOpenDir=/old/\nOutputFileDir=/out/\n");
    TUserSettings s = DefaultUserSettings(TProductConfig{});
    ASSERT_TRUE(LoadUserSettings(s, file));
    s.LastOpenDir = "/tmp/a\nOutputFileDir=/etc/";
    s.OutputFileDir = "/new/";
    s.PlayASoundWhenFinished = true;
    EXPECT_THROW(SaveUserSettings(s, file), EProfileValueError);
    TUserSettings reread = DefaultUserSettings(TProductConfig{});
    ASSERT_TRUE(LoadUserSettings(reread, file));
    EXPECT_EQ(reread.LastOpenDir, "/old/");
    EXPECT_EQ(reread.OutputFileDir, "/new/");
    EXPECT_TRUE(reread.PlayASoundWhenFinished);
}

// A hand-edited count never reaches the run out of range, and is stored back in range.
TEST_F(UserSettingsTest, ParallelTasksIsClampedWhenReadAndWritten) {
    const struct {
        const char* Stored;
        int32_t Read;
    } cases[] = {
        {"2", 2},   {"0x3", 3}, {"-4", 0}, {"99", MaxParallelTasks}, {"2147483647", MaxParallelTasks},
        {"abc", 5}, {"", 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Stored);
        const std::string file =
            Dir.Write("p.dat", std::string("[System]\nParallelTasks=") + c.Stored + "\n");
        TUserSettings s = DefaultUserSettings(TProductConfig{});
        s.ParallelTasks = 5; // the value before reading: kept when the stored one is no number
        ASSERT_TRUE(LoadUserSettings(s, file));
        EXPECT_EQ(s.ParallelTasks, c.Read);
    }
    for (const auto& [inMemory, written] : {std::pair{-1, "0"}, {40, "16"}, {3, "3"}}) {
        TUserSettings s = DefaultUserSettings(TProductConfig{});
        s.ParallelTasks = inMemory;
        const std::string file = Dir.Path() + "w.dat";
        SaveUserSettings(s, file);
        EXPECT_NE(Dir.Read("w.dat").find(std::string("\nParallelTasks=") + written + "\n"), std::string::npos)
            << inMemory;
    }
}

TEST_F(UserSettingsTest, SettingsFolderFromTitle) {
    const std::string appData = Dir.Path() + "config/";
    EXPECT_EQ(FormSettingsFolder("A/B Tool"), appData + "A B Tool/");
    EXPECT_TRUE(DirectoryExists(appData + "A B Tool"));
    EXPECT_EQ(FormSettingsFolder(""), appData);
    // Cannot be created (a file stands in the way): the configuration folder itself.
    Dir.Write("config/Blocked", "file");
    EXPECT_EQ(FormSettingsFolder("Blocked"), appData);
}

// A new account: neither the home's configuration folder nor its parents exist yet.
TEST(UserSettingsFreshAccount, FirstStartCreatesTheConfigurationFolder) {
    struct TCase {
        const char* Home;
        const char* ConfigHome; // nullptr: unset, the home's ".config" is used
        const char* AppData;
    } cases[] = {
        {"home", "home/deep/cfg", "home/deep/cfg/"},
        {"empty", nullptr, "empty/.config/"},
    };
    for (const TCase& c : cases) {
        test::TTempDir dir;
        setenv("HOME", (dir.Path() + c.Home).c_str(), 1);
        if (c.ConfigHome)
            setenv("XDG_CONFIG_HOME", (dir.Path() + c.ConfigHome).c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        TUserSettings s = DefaultUserSettings(TProductConfig{});
        const std::string folder = FormSettingsFolder("Example");
        EXPECT_EQ(folder, dir.Path() + c.AppData + "Example/");
        EXPECT_FALSE(LoadUserSettings(s, SettingsFilePath(folder)));
        const std::vector<std::string> lines =
            SplitTextLines(dir.Read(std::string(c.AppData) + "Example/~system2.dat"));
        ASSERT_EQ(lines.size(), 47u) << c.AppData; // the section line and 46 keys
        EXPECT_EQ(lines[0], "[System]");
        EXPECT_EQ(lines[43], "PreferYouTube18=7");
        EXPECT_EQ(lines[45], "ExtractorPath=");
        struct stat st {};
        ASSERT_EQ(stat((dir.Path() + c.AppData).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
    }
}

TEST(OutputSelection, OutOfRangeLookUpsFindNothing) {
    TOutputSelection s;
    EXPECT_EQ(s.FormatOfClass(3), nullptr);
    EXPECT_EQ(s.PresetOf(0, 9), nullptr);
    EXPECT_EQ(s.PresetOf(1, 8), nullptr);
    EXPECT_EQ(s.PresetOf(-1, 0), nullptr);
    ASSERT_NE(s.PresetOf(2, 7), nullptr);
    EXPECT_EQ(*s.PresetOf(2, 7), 0);
}

} // namespace
} // namespace mw
