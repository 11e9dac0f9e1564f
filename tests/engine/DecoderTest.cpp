#include "EngineFixtures.h"
#include "engine/probe/FFDecode.h"
#include "engine/FFLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

namespace mw {
namespace {

using ::testing::StartsWith;

class DecoderTest : public ::testing::Test {
  protected:
    void SetUp() override { test::LoadEngineLibraries(); }
    TFFDecoder FDecoder;
};

TEST_F(DecoderTest, Mp3HasNoVideoStream) {
    const std::string file = test::Fixture("a.mp3");
    ASSERT_TRUE(FDecoder.LoadFile(file)) << FDecoder.LastErrorMessage();
    EXPECT_EQ(FDecoder.FirstVideoStreamIndex(), -1);
    EXPECT_EQ(FDecoder.VideoStreamCount(), 0);
    EXPECT_EQ(FDecoder.FirstAudioStreamIndex(), 0);
    TVideoStreamInfo video;
    EXPECT_FALSE(FDecoder.GetVideoStreamInfo(-1, video));
    EXPECT_EQ(FDecoder.LastErrorMessage(), "no video stream.");
    EXPECT_EQ(video.Width, -1);
    EXPECT_EQ(video.Height, -1);
    EXPECT_EQ(video.DurationUs, -1);
    EXPECT_EQ(video.DisplayAspectRatio, -1.0f);
    EXPECT_EQ(video.CodecName, "");
    EXPECT_FALSE(FDecoder.DecodeVideoFrame());
    EXPECT_EQ(FDecoder.LastErrorMessage(), "no video stream.");

    TAudioStreamInfo audio;
    ASSERT_TRUE(FDecoder.GetAudioStreamInfo(-1, audio));
    EXPECT_THAT(audio.CodecName, StartsWith("mp3"));
    EXPECT_EQ(audio.Channels, 1);
    EXPECT_EQ(audio.SampleRate, 44100);
    EXPECT_EQ(audio.BitRate, 128000);
    // The seek stream is the audio stream.
    EXPECT_TRUE(FDecoder.Seek(0, 1000000)) << FDecoder.LastErrorMessage();
}

TEST_F(DecoderTest, AviWithBothStreams) {
    const std::string file = test::Fixture("av.avi");
    ASSERT_TRUE(FDecoder.LoadFile(file)) << FDecoder.LastErrorMessage();
    EXPECT_EQ(FDecoder.FileName(), file);
    EXPECT_EQ(FDecoder.StreamCount(), 2);
    EXPECT_EQ(FDecoder.VideoStreamCount(), 1);
    EXPECT_EQ(FDecoder.AudioStreamCount(), 1);
    EXPECT_EQ(FDecoder.SubtitleStreamCount(), 0);
    EXPECT_EQ(FDecoder.FileSize(), static_cast<int64_t>(std::filesystem::file_size(file)));
    TFileStreamInfo info;
    ASSERT_TRUE(FDecoder.GetFileStreamInfo(info));
    EXPECT_NEAR(info.Duration, 2000000, 100000);
    EXPECT_GT(info.BitRate, 0);
    TVideoStreamInfo video;
    ASSERT_TRUE(FDecoder.GetVideoStreamInfo(-1, video));
    EXPECT_EQ(video.CodecName, "mpeg4(MPEG-4 part 2)");
    EXPECT_EQ(video.Width, 320);
    EXPECT_EQ(video.Height, 240);
    EXPECT_EQ(video.FrameRateNum, 25);
    EXPECT_EQ(video.FrameRateDen, 1);
    EXPECT_NEAR(video.DisplayAspectRatio, 4.0 / 3.0, 1e-4);
    EXPECT_EQ(video.PixelFormat, AV_PIX_FMT_YUV420P);
    TAudioStreamInfo audio;
    ASSERT_TRUE(FDecoder.GetAudioStreamInfo(1, audio));
    EXPECT_EQ(audio.SampleRate, 44100);
}

TEST_F(DecoderTest, StreamChoiceErrors) {
    ASSERT_TRUE(FDecoder.LoadFile(test::Fixture("av.avi")));
    const struct {
        int Index;
        bool Video;
        const char* Message;
    } cases[] = {
        {5, true, "stream index #5 is invalid."},
        {-2, false, "stream index #-2 is invalid."},
        {1, true, "stream #1 is not video stream."},
        {0, false, "stream #0 is not audio stream."},
    };
    for (const auto& c : cases) {
        TVideoStreamInfo video;
        TAudioStreamInfo audio;
        EXPECT_FALSE(c.Video ? FDecoder.GetVideoStreamInfo(c.Index, video)
                             : FDecoder.GetAudioStreamInfo(c.Index, audio));
        EXPECT_EQ(FDecoder.LastErrorMessage(), c.Message);
    }
    EXPECT_FALSE(FDecoder.DecodeVideoFrame(1));
    EXPECT_EQ(FDecoder.LastErrorMessage(), "stream #1 is not video stream.");
}

TEST_F(DecoderTest, MissingFileNamesTheFileAndTheSystemError) {
    const std::string file = "/nonexistent/folder/clip.avi";
    EXPECT_FALSE(FDecoder.LoadFile(file));
    EXPECT_EQ(FDecoder.LastErrorMessage(), file + ": No such file or directory");
    EXPECT_EQ(FDecoder.StreamCount(), -1);
    EXPECT_EQ(FDecoder.FileSize(), -1);
}

TEST_F(DecoderTest, UnknownForcedFormat) {
    EXPECT_FALSE(FDecoder.LoadFile(test::Fixture("av.avi"), "nosuchformat"));
    EXPECT_EQ(FDecoder.LastErrorMessage(), "Unknown input format: nosuchformat");
}

TEST_F(DecoderTest, CallsWithoutAFile) {
    TFileStreamInfo info;
    EXPECT_FALSE(FDecoder.GetFileStreamInfo(info));
    EXPECT_EQ(FDecoder.LastErrorMessage(), "file not loaded.");
    EXPECT_EQ(info.Duration, -1);
    EXPECT_FALSE(FDecoder.Seek(0, 0));
    EXPECT_FALSE(FDecoder.DecodeVideoFrame());
    EXPECT_EQ(FDecoder.FileName(), "");
    EXPECT_EQ(FDecoder.FirstAudioStreamIndex(), -1);
}

TEST_F(DecoderTest, BitmapBeforeDecodingIsRefused) {
    ASSERT_TRUE(FDecoder.LoadFile(test::Fixture("av.avi")));
    TBitmap bitmap;
    EXPECT_FALSE(FDecoder.GetBitmap(bitmap));
    EXPECT_EQ(FDecoder.LastErrorMessage(), "picture not ready, please decode first");
}

TEST_F(DecoderTest, SeekToZeroGivesTheFirstPicture) {
    ASSERT_TRUE(FDecoder.LoadFile(test::Fixture("av.avi")));
    ASSERT_TRUE(FDecoder.DecodeVideoFrame());
    ASSERT_TRUE(FDecoder.DecodeVideoFrame());
    EXPECT_GT(FDecoder.PictureTimeUs(), 0);
    ASSERT_TRUE(FDecoder.Seek(0, 0)) << FDecoder.LastErrorMessage();
    EXPECT_FALSE(FDecoder.PictureReady());
    ASSERT_TRUE(FDecoder.DecodeVideoFrame());
    EXPECT_EQ(FDecoder.PictureTimeUs(), 0);
    EXPECT_TRUE(FDecoder.KeyFrame());
}

TEST_F(DecoderTest, MiddlePictureBecomesABitmap) {
    for (const char* name : {"av.avi", "v.mp4"}) {
        ASSERT_TRUE(FDecoder.LoadFile(test::Fixture(name))) << name;
        TFileStreamInfo info;
        FDecoder.GetFileStreamInfo(info);
        FDecoder.Seek(0, info.Duration / 2);
        ASSERT_TRUE(FDecoder.DecodeVideoFrame(FDecoder.FirstVideoStreamIndex()))
            << FDecoder.LastErrorMessage();
        TBitmap bitmap;
        ASSERT_TRUE(FDecoder.GetBitmap(bitmap));
        TVideoStreamInfo video;
        FDecoder.GetVideoStreamInfo(-1, video);
        EXPECT_EQ(bitmap.Width(), video.Width);
        EXPECT_EQ(bitmap.Height(), video.Height);
        EXPECT_EQ(bitmap.BitsPixel(), 24);
        // The test pattern is colourful: the picture is not black.
        int bright = 0;
        for (int x = 0; x < bitmap.Width() * 3; ++x)
            bright += bitmap.ScanLine(bitmap.Height() / 4)[x] > 64;
        EXPECT_GT(bright, bitmap.Width()) << name;
    }
}

// The file list seeks forward to the middle; with no key frame after it the picture comes from the
// key frame before it instead of nothing.
TEST_F(DecoderTest, MiddleSeekPastTheLastKeyFrameStillGivesAPicture) {
    for (const char* name : {"onekey.mp4", "onekey.flv"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(FDecoder.LoadFile(test::Fixture(name)));
        TFileStreamInfo info;
        FDecoder.GetFileStreamInfo(info);
        FDecoder.Seek(0, info.Duration / 2);
        ASSERT_TRUE(FDecoder.DecodeVideoFrame()) << FDecoder.LastErrorMessage();
        EXPECT_LE(FDecoder.PictureTimeUs(), info.Duration / 2);
        TBitmap bitmap;
        EXPECT_TRUE(FDecoder.GetBitmap(bitmap));
    }
}

TEST_F(DecoderTest, CoverPictureIsTheThumbnailOfASong) {
    ASSERT_TRUE(FDecoder.LoadFile(test::Fixture("cover.mp3")));
    ASSERT_EQ(FDecoder.VideoStreamCount(), 1);
    TFileStreamInfo info;
    FDecoder.GetFileStreamInfo(info);
    FDecoder.Seek(0, info.Duration / 2);
    ASSERT_TRUE(FDecoder.DecodeVideoFrame(FDecoder.FirstVideoStreamIndex())) << FDecoder.LastErrorMessage();
    TBitmap bitmap;
    ASSERT_TRUE(FDecoder.GetBitmap(bitmap));
    EXPECT_EQ(bitmap.Width(), 64);
    EXPECT_EQ(bitmap.Height(), 48);
}

TEST_F(DecoderTest, DecodingToTheEndReportsEof) {
    ASSERT_TRUE(FDecoder.LoadFile(test::Fixture("v.mp4")));
    int pictures = 0;
    while (FDecoder.DecodeVideoFrame() && pictures < 1000)
        ++pictures;
    EXPECT_EQ(pictures, 50); // 2 s at 25 fps, the decoder's delayed pictures included
    EXPECT_EQ(FDecoder.LastErrorMessage(), "stream eof reached.");
    EXPECT_FALSE(FDecoder.DecodeVideoFrame());
    EXPECT_TRUE(FDecoder.Seek(0, 0));
    EXPECT_TRUE(FDecoder.DecodeVideoFrame());
}

TEST_F(DecoderTest, StillPictureInImage2) {
    ASSERT_TRUE(FDecoder.LoadFile(test::Fixture("still.png"), "image2")) << FDecoder.LastErrorMessage();
    EXPECT_EQ(FDecoder.ForcedFormatName(), "image2");
    EXPECT_FALSE(FDecoder.Seek(0, 0));
    EXPECT_EQ(FDecoder.LastErrorMessage(), "\"image2\" format cannot to be seeked.");
    ASSERT_TRUE(FDecoder.DecodeVideoFrame());
    EXPECT_TRUE(FDecoder.DecodeVideoFrame()); // the still picture stays
    TBitmap bitmap;
    EXPECT_TRUE(FDecoder.GetBitmap(bitmap));
    EXPECT_EQ(bitmap.Width(), 64);
}

TEST_F(DecoderTest, AttachedInputCannotBeSeeked) {
    ASSERT_TRUE(FDecoder.LoadFile(test::Fixture("av.avi")));
    TFFDecoder attached;
    attached.Attach(FDecoder.FormatContext());
    EXPECT_EQ(attached.StreamCount(), 2);
    EXPECT_EQ(attached.FirstVideoStreamIndex(), 0);
    EXPECT_THROW(attached.Seek(0, 0), std::runtime_error);
    EXPECT_EQ(attached.LastErrorMessage(), "file cannot be seeked, handle is readonly.");
    attached.CloseFile(); // must not close the owner's input
    EXPECT_TRUE(FDecoder.DecodeVideoFrame());
}

TEST_F(DecoderTest, ErrorsAreLoggedAtTheirLevel) {
    TFFLogger logger;
    logger.SetLogLevel(llDebug);
    std::vector<std::pair<TLogLevel, std::string>> lines;
    logger.OnLog = [&](const void* sender, uint32_t, TLogLevel level, const std::string& text) {
        if (sender == &FDecoder) lines.emplace_back(level, text);
    };
    FDecoder.LoadFile("/nonexistent.avi");
    ASSERT_TRUE(FDecoder.LoadFile(test::Fixture("a.mp3")));
    TVideoStreamInfo video;
    FDecoder.GetVideoStreamInfo(-1, video);
    FDecoder.CloseFile();
    FDecoder.Seek(0, 0);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], std::make_pair(llError, std::string("/nonexistent.avi: No such file or directory")));
    EXPECT_EQ(lines[1], std::make_pair(llError, std::string("no video stream.")));
    EXPECT_EQ(lines[2], std::make_pair(llWarning, std::string("file not loaded.")));
}

// Broken inputs: a clean answer, never a crash or a hang. Whether the file opens follows ffprobe.
TEST_F(DecoderTest, BadInputsAnswerCleanly) {
    for (const char* name :
         {"text.avi", "empty.avi", "truncated.avi", "truncated.mp4", "corrupted.avi", "huge.avi"}) {
        SCOPED_TRACE(name);
        const std::string file = test::Fixture(name);
        int status = 0;
        test::RunCommand("ffprobe -v quiet " + test::ShellQuote(file), status);
        const bool loaded = FDecoder.LoadFile(file);
        EXPECT_EQ(loaded, status == 0) << FDecoder.LastErrorMessage();
        if (!loaded) {
            EXPECT_THAT(FDecoder.LastErrorMessage(), StartsWith(file + ": "));
            continue;
        }
        TFileStreamInfo info;
        FDecoder.GetFileStreamInfo(info);
        FDecoder.Seek(0, info.Duration > 0 ? info.Duration / 2 : 0);
        TVideoStreamInfo video;
        FDecoder.GetVideoStreamInfo(-1, video);
        for (int i = 0; i < 100 && FDecoder.DecodeVideoFrame(); ++i) {
            TBitmap bitmap;
            EXPECT_TRUE(FDecoder.GetBitmap(bitmap));
        }
        EXPECT_FALSE(FDecoder.LastErrorMessage().empty());
        if (video.Width > 16384) {
            EXPECT_EQ(FDecoder.LastErrorMessage(), "frame size of codec is invalid.");
        }
    }
}

// A probe bounds the pictures it decodes: a small file may claim (or hold) a picture of gigabytes.
TEST_F(DecoderTest, PicturesAboveThePixelLimitAreRefusedQuickly) {
    const struct {
        const char* Name;
        int64_t Limit; // 0: the default
        bool Decodes;
        const char* Error;
    } cases[] = {
        {"av.avi", 2 * 320 * 240, true, ""}, // the libraries pad what they allocate
        {"av.avi", 320 * 240 - 1, false, "picture of 320x240 is too large to decode."},
        {"bigframe.mov", 0, false, "picture of 8200x8200 is too large to decode."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Name) + " " + std::to_string(c.Limit));
        TFFDecoder decoder;
        if (c.Limit > 0) decoder.SetMaxPicturePixels(c.Limit);
        ASSERT_TRUE(decoder.LoadFile(test::Fixture(c.Name))) << decoder.LastErrorMessage();
        TVideoStreamInfo video;
        ASSERT_TRUE(decoder.GetVideoStreamInfo(-1, video));
        EXPECT_GT(video.Width, 0); // the facts are still known
        EXPECT_EQ(decoder.DecodeVideoFrame(), c.Decodes) << decoder.LastErrorMessage();
        if (!c.Decodes) {
            EXPECT_EQ(decoder.LastErrorMessage(), c.Error);
        }
    }
}

TEST_F(DecoderTest, ThumbnailFitsItsBoxWithTheAspectKept) {
    ASSERT_TRUE(FDecoder.LoadFile(test::Fixture("av.avi")));
    TBitmap bitmap;
    EXPECT_FALSE(FDecoder.GetThumbnail(bitmap, 128, 88));
    EXPECT_EQ(FDecoder.LastErrorMessage(), "picture not ready, please decode first");
    ASSERT_TRUE(FDecoder.DecodeVideoFrame());
    const struct {
        int BoxWidth, BoxHeight, Width, Height;
    } cases[] = {
        {128, 88, 117, 88},     // height decides
        {64, 480, 64, 48},      // width decides
        {1000, 1000, 320, 240}, // never enlarged
        {320, 240, 320, 240},   {1, 1, 1, 1},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(FDecoder.GetThumbnail(bitmap, c.BoxWidth, c.BoxHeight));
        EXPECT_EQ(bitmap.Width(), c.Width) << c.BoxWidth << "x" << c.BoxHeight;
        EXPECT_EQ(bitmap.Height(), c.Height) << c.BoxWidth << "x" << c.BoxHeight;
    }
    // The scaled picture is the same picture: its mean colour matches the full-size bitmap's.
    const auto mean = [](const TBitmap& b, int channel) {
        double sum = 0;
        for (int y = 0; y < b.Height(); ++y)
            for (int x = 0; x < b.Width(); ++x)
                sum += b.ScanLine(y)[x * 3 + channel];
        return sum / (static_cast<double>(b.Width()) * b.Height());
    };
    TBitmap full;
    ASSERT_TRUE(FDecoder.GetBitmap(full));
    ASSERT_TRUE(FDecoder.GetThumbnail(bitmap, 160, 120));
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(mean(bitmap, k), mean(full, k), 4.0) << k;
}

} // namespace
} // namespace mw
