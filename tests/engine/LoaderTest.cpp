#include "../app/TempDir.h"
#include "EngineFixtures.h"
#include "engine/probe/FFDecode.h"
#include "engine/FFEntries.h"
#include "engine/FFLoad.h"
#include "engine/FFLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

namespace mw {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

const char* SystemLibraryFolder() {
    return "/usr/lib/x86_64-linux-gnu/";
}

// A folder with every library of the set linked in, except those in `broken`, written as text.
std::string MakeEngineFolder(const test::TTempDir& dir, TLibrarySet broken) {
    for (int i = 0; i < LibraryCount; ++i) {
        const std::string name = TFFLoader::LibraryFileName(i);
        if (broken & (1u << i))
            dir.Write(name, "not a shared object\n");
        else
            std::filesystem::create_symlink(std::string(SystemLibraryFolder()) + name, dir.Path() + name);
    }
    return dir.Path();
}

class LoaderTest : public ::testing::Test {
  protected:
    void TearDown() override {
        for (int i = 0; i < LibraryCount; ++i)
            FFLoader().SetFileNameOverride(i, "");
        FFLoader().UnloadSet(AllLibraries);
    }
};

TEST_F(LoaderTest, LibraryFileNamesCarryTheMajorVersions) {
    const char* expected[] = {"libavutil.so.57",  "libswresample.so.4", "libswscale.so.6",
                              "libavcodec.so.59", "libavformat.so.59",  "libavfilter.so.8",
                              "libavdevice.so.59"};
    for (int i = 0; i < LibraryCount; ++i)
        EXPECT_EQ(TFFLoader::LibraryFileName(i), expected[i]);
}

TEST_F(LoaderTest, LoadsTheEncoderSetAndLoadingTwiceIsHarmless) {
    std::string error;
    ASSERT_TRUE(LoadLibraries("", error)) << error;
    EXPECT_TRUE(LibrariesLoaded());
    EXPECT_FALSE(FFLoader().Loaded(libAVDevice));
    ASSERT_NE(FFApi.avcodec_version, nullptr);
    const unsigned version = FFApi.avcodec_version();
    ASSERT_TRUE(LoadLibraries("", error)) << error;
    EXPECT_EQ(FFApi.avcodec_version(), version);
    EXPECT_EQ(version >> 16, 59u);
}

TEST_F(LoaderTest, LoadsFromAnEngineFolderHoldingEveryLibrary) {
    test::TTempDir dir;
    std::string error;
    ASSERT_TRUE(LoadLibraries(MakeEngineFolder(dir, 0), error)) << error;
    EXPECT_TRUE(LibrariesLoaded());
}

TEST_F(LoaderTest, FolderWithOneBrokenLibraryRollsTheSetBack) {
    test::TTempDir dir;
    const std::string folder = MakeEngineFolder(dir, 1u << libSwScale);
    std::string error;
    EXPECT_FALSE(LoadLibraries(folder, error));
    EXPECT_THAT(error, StartsWith("Load library " + folder + "libswscale.so.6 error: "));
    EXPECT_THAT(error, HasSubstr("libswscale.so.6: ")); // the system's own message follows
    for (int i = 0; i < LibraryCount; ++i)
        EXPECT_FALSE(FFLoader().Loaded(i)) << i;
    EXPECT_EQ(FFApi.avutil_version, nullptr);
    EXPECT_EQ(FFApi.avcodec_open2, nullptr);
}

TEST_F(LoaderTest, MissingEntryPointNamesFunctionAndLibrary) {
    // A real library that lacks the entry points of the row it stands in for.
    FFLoader().SetFileNameOverride(libAVDevice, "libavutil.so.57");
    EXPECT_FALSE(FFLoader().Load(libAVDevice));
    EXPECT_THAT(FFLoader().LastError(), StartsWith("Load function avdevice_version@libavutil.so.57 error: "));
    EXPECT_FALSE(FFLoader().Loaded(libAVDevice));
    EXPECT_EQ(FFApi.avdevice_version, nullptr);
}

TEST_F(LoaderTest, DecoderRefusesToWorkWithoutLibraries) {
    FFLoader().UnloadSet(AllLibraries);
    TFFDecoder decoder;
    try {
        decoder.LoadFile("/nonexistent.avi");
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "LibAVCodec not loaded.");
    }
}

TEST_F(LoaderTest, LevelSetBeforeLoadingTakesEffectAtLoad) {
    TFFLogger logger;
    logger.SetLogLevel(llError);
    ASSERT_TRUE(FFLoader().LoadSet(EncoderLibraries));
    EXPECT_EQ(FFApi.av_log_get_level(), AV_LOG_ERROR);
    logger.SetLogLevel(llDebug);
    EXPECT_EQ(FFApi.av_log_get_level(), AV_LOG_DEBUG);
}

TEST_F(LoaderTest, CodecMutexIsCreatedWithAvcodecAndDestroyedWithIt) {
    TFFLogger logger;
    logger.SetLogLevel(llDebug);
    std::vector<std::string> lines;
    logger.OnLog = [&](const void*, uint32_t, TLogLevel level, const std::string& text) {
        if (level == llDebug && text.find("codec mutex") != std::string::npos) lines.push_back(text);
    };
    ASSERT_TRUE(FFLoader().LoadSet(EncoderLibraries));
    { TCodecLockGuard lock; }
    FFLoader().Unload(libAVCodec);
    EXPECT_EQ(CodecLock(clObtain), -1);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_THAT(lines[0], ::testing::MatchesRegex("create codec mutex \\[[0-9]+\\]\\."));
    EXPECT_THAT(lines[1], StartsWith("obtain codec mutex ["));
    EXPECT_THAT(lines[2], StartsWith("release codec mutex ["));
    EXPECT_THAT(lines[3], StartsWith("destory codec mutex ["));
}

} // namespace
} // namespace mw
