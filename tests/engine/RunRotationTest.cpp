// Pictures a display matrix turns: made upright when they are encoded (the matrix left behind, the
// output's size given to the upright picture), kept as stored with "noautorotate" or a stream copy
// (the matrix kept), and shown upright by the probe. The ffmpeg tool, which turns them when it
// decodes, is the oracle for what the picture looks like.
#include "EngineFixtures.h"
#include "RunJobFixture.h"

#include "../app/TempDir.h"
#include "engine/probe/FFDecode.h"
#include "engine/run/FFRun.h"
#include "engine/run/FFVideoOut.h"

#include <gtest/gtest.h>

namespace mw {
namespace {

using test::Fixture;
using test::Quadrants;

class RunRotation : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { test::LoadEngineLibraries(); }
    std::string Out(const std::string& name) const { return FDir.Path() + name; }
    static std::string Probe(const std::string& file, const std::string& entries) {
        return test::ProbeValue(file, "-select_streams v:0", entries);
    }
    static TRunResult Run(TTranscodeJob& job) {
        TRunResult result;
        RunJob(job, {}, result);
        return result;
    }
    test::TTempDir FDir;
};

struct TTurn {
    const char* Input;
    const char* Matrix;    // the rotation ffprobe reports for it
    const char* Displayed; // width and height as it is seen
};
const TTurn Turns[] = {
    {"turn90.mp4", "-90", "120\n160"},
    {"turn180.mp4", "-180", "160\n120"},
    {"turn270.mp4", "90", "120\n160"},
};

TEST_F(RunRotation, EncodedPicturesComeOutUprightWithoutTheMatrix) {
    for (const TTurn& t : Turns) {
        SCOPED_TRACE(t.Input);
        ASSERT_EQ(Probe(Fixture(t.Input), "stream_side_data=rotation"), t.Matrix);
        const std::string out = Out(std::string("up-") + t.Input);
        auto job = test::MakeTestJob({Fixture(t.Input)}, out, {{"vcodec", "mpeg4"}, {"acodec", "aac"}});
        const TRunResult result = Run(*job);
        ASSERT_FALSE(result.Failed) << result.ErrorText;
        EXPECT_EQ(Probe(out, "stream=width,height"), t.Displayed);
        EXPECT_EQ(Probe(out, "stream_side_data=rotation"), "");
        EXPECT_EQ(Quadrants(out), Quadrants(Fixture(t.Input)));
    }
}

// A size for the output is a box for the upright picture: without an aspect the picture keeps its
// shape through the sample aspect ratio, with a landscape one it sits between black bars.
TEST_F(RunRotation, OutputSizeIsGivenToTheUprightPicture) {
    struct TCase {
        test::TOptionList Options;
        const char* DisplayAspect;
        bool Bars;
    };
    const TCase cases[] = {
        {{{"vcodec", "mpeg4"}, {"s", "320x240"}}, "3:4", false},
        {{{"vcodec", "mpeg4"}, {"s", "320x240"}, {"aspect", "4:3"}}, "4:3", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.DisplayAspect);
        const std::string out = Out(std::string("box-") + (c.Bars ? "bars" : "shape") + ".avi");
        auto job = test::MakeTestJob({Fixture("turn90.mp4")}, out, c.Options);
        const TRunResult result = Run(*job);
        ASSERT_FALSE(result.Failed) << result.ErrorText;
        EXPECT_EQ(Probe(out, "stream=width,height,display_aspect_ratio"),
                  std::string("320\n240\n") + c.DisplayAspect);
        if (!c.Bars) {
            EXPECT_EQ(Quadrants(out), Quadrants(Fixture("turn90.mp4")));
            continue;
        }
        // A 3:4 picture in a 4:3 frame of 320x240 pixels is 180 pixels wide, from x = 70.
        EXPECT_EQ(Quadrants(out, "crop=60:240:0:0"), "0 0 0 0");
        EXPECT_EQ(Quadrants(out, "crop=60:240:260:0"), "0 0 0 0");
        EXPECT_EQ(Quadrants(out, "crop=180:240:70:0"), Quadrants(Fixture("turn90.mp4")));
    }
}

TEST_F(RunRotation, CopiesAndNoAutoRotateKeepThePicturesAndTheMatrix) {
    for (const TTurn& t : Turns) {
        SCOPED_TRACE(t.Input);
        const std::string copy = Out(std::string("copy-") + t.Input);
        auto copyJob = test::MakeTestJob({Fixture(t.Input)}, copy, {{"vcodec", "copy"}, {"an", ""}});
        const TRunResult copied = Run(*copyJob);
        ASSERT_FALSE(copied.Failed) << copied.ErrorText;
        const std::string stored = Out(std::string("stored-") + t.Input);
        auto storedJob = test::MakeCommandLineJob(
            {"-noautorotate", "-i", Fixture(t.Input), "-vcodec", "mpeg4", "-an", stored});
        const TRunResult kept = Run(*storedJob);
        ASSERT_FALSE(kept.Failed) << kept.ErrorText;
        for (const std::string& out : {copy, stored}) {
            SCOPED_TRACE(out);
            EXPECT_EQ(Probe(out, "stream=width,height"), "160\n120");
            EXPECT_EQ(Probe(out, "stream_side_data=rotation"), t.Matrix);
            EXPECT_EQ(Quadrants(out), Quadrants(Fixture(t.Input)));
        }
    }
}

// The probe reports the stored size with the turn; its pictures come out upright.
TEST_F(RunRotation, ProbeThumbnailIsUpright) {
    struct TCase {
        const char* Input;
        int Rotation;
        int Width, Height;  // the thumbnail in a 128 x 88 box
        int WhiteX, WhiteY; // a pixel inside the white quarter
    };
    const TCase cases[] = {
        {"quadrant.mp4", 0, 117, 88, 10, 10},
        {"turn90.mp4", 90, 66, 88, 55, 10},
        {"turn180.mp4", 180, 117, 88, 107, 78},
        {"turn270.mp4", 270, 66, 88, 10, 78},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Input);
        TFFDecoder decoder;
        ASSERT_TRUE(decoder.LoadFile(Fixture(c.Input))) << decoder.LastErrorMessage();
        TVideoStreamInfo info;
        ASSERT_TRUE(decoder.GetVideoStreamInfo(-1, info));
        EXPECT_EQ(info.Rotation, c.Rotation);
        EXPECT_EQ(info.Width, 160);
        ASSERT_TRUE(decoder.DecodeVideoFrame(-1)) << decoder.LastErrorMessage();
        TBitmap thumbnail;
        ASSERT_TRUE(decoder.GetThumbnail(thumbnail, 128, 88)) << decoder.LastErrorMessage();
        EXPECT_EQ(thumbnail.Width(), c.Width);
        EXPECT_EQ(thumbnail.Height(), c.Height);
        const int bytes = thumbnail.BitsPixel() / 8;
        EXPECT_GT(thumbnail.ScanLine(c.WhiteY)[c.WhiteX * bytes], 200);
        // The opposite corner is black.
        EXPECT_LT(thumbnail.ScanLine(c.Height - 1 - c.WhiteY)[(c.Width - 1 - c.WhiteX) * bytes], 50);
        TBitmap full;
        ASSERT_TRUE(decoder.GetBitmap(full));
        EXPECT_EQ(full.Width(), c.Rotation % 180 ? 120 : 160);
    }
}

TEST(PictureFit, KeepsTheShapeInsideTheFrame) {
    struct TCase {
        int SrcW, SrcH;
        AVRational SrcSar;
        int W, H;
        AVRational Sar;
        TPictureFit Fit;
    };
    const TCase cases[] = {
        {120, 160, {1, 1}, 160, 120, {1, 1}, {90, 120, 34, 0}},    // portrait in landscape: pillars
        {320, 240, {1, 1}, 240, 320, {1, 1}, {240, 180, 0, 70}},   // landscape in portrait: bars
        {320, 240, {1, 1}, 160, 120, {1, 1}, {160, 120, 0, 0}},    // same shape: the whole frame
        {640, 480, {1, 1}, 640, 420, {7, 8}, {640, 420, 0, 0}},    // same shape through the aspect
        {720, 576, {16, 15}, 320, 240, {0, 0}, {320, 240, 0, 0}},  // within 1 %: no bars
        {1920, 1080, {1, 1}, 320, 240, {1, 1}, {320, 180, 0, 30}}, // wide film in a 4:3 frame
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.SrcW) + "x" + std::to_string(c.SrcH) + " in " + std::to_string(c.W) +
                     "x" + std::to_string(c.H));
        const TPictureFit fit = FitPictureInside(c.SrcW, c.SrcH, c.SrcSar, c.W, c.H, c.Sar, 2, 2);
        EXPECT_EQ(fit.Width, c.Fit.Width);
        EXPECT_EQ(fit.Height, c.Fit.Height);
        EXPECT_EQ(fit.X, c.Fit.X);
        EXPECT_EQ(fit.Y, c.Fit.Y);
    }
}

TEST(BitmapRotation, QuarterTurnsMovePixelsClockwise) {
    TBitmap b;
    b.SetFormat(3, 2, 8); // pixels 1 2 3 / 4 5 6
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            b.ScanLine(y)[x] = static_cast<uint8_t>(1 + y * 3 + x);
    struct TCase {
        int Degrees;
        std::vector<std::vector<int>> Rows;
    };
    const TCase cases[] = {
        {90, {{4, 1}, {5, 2}, {6, 3}}},
        {180, {{6, 5, 4}, {3, 2, 1}}},
        {270, {{3, 6}, {2, 5}, {1, 4}}},
        {45, {{1, 2, 3}, {4, 5, 6}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Degrees);
        const TBitmap turned = RotatedBitmap(b, c.Degrees);
        ASSERT_EQ(turned.Height(), int(c.Rows.size()));
        ASSERT_EQ(turned.Width(), int(c.Rows[0].size()));
        for (int y = 0; y < turned.Height(); ++y)
            for (int x = 0; x < turned.Width(); ++x)
                EXPECT_EQ(turned.ScanLine(y)[x], c.Rows[y][x]) << x << "," << y;
    }
}

} // namespace
} // namespace mw
