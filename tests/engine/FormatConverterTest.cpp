#include "engine/probe/FormatConverter.h"
#include "EngineFixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <vector>

namespace mw {
namespace {

class FormatConverterTest : public ::testing::Test {
  protected:
    void SetUp() override { test::LoadEngineLibraries(); }
};

// A packed BGR picture whose pixel (x, y) is (x, y, x ^ y) in bytes.
struct TBgrPicture {
    TBgrPicture(int width, int height, int lineSize) : Bytes(static_cast<size_t>(lineSize) * height) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint8_t* p = Bytes.data() + y * lineSize + 3 * x;
                p[0] = static_cast<uint8_t>(x);
                p[1] = static_cast<uint8_t>(y);
                p[2] = static_cast<uint8_t>(x ^ y);
            }
        Data[0] = Bytes.data();
        LineSize[0] = lineSize;
    }
    std::vector<uint8_t> Bytes;
    uint8_t* Data[4] = {};
    int LineSize[4] = {};
};

TEST_F(FormatConverterTest, PictureInBitmapLayoutIsUsedWithoutScaling) {
    TBgrPicture picture(640, 480, 1920);
    TFormatConverter converter;
    ASSERT_TRUE(converter.ToBitmap(picture.Data, picture.LineSize, AV_PIX_FMT_BGR24, true, 480, 640));
    EXPECT_EQ(converter.PictureData(), picture.Data[0]);
    const TBitmap& bitmap = converter.Bitmap();
    EXPECT_EQ(bitmap.Width(), 640);
    EXPECT_EQ(bitmap.Height(), 480);
    EXPECT_EQ(bitmap.BytesPerScanLine(), 1920);
    EXPECT_EQ(std::memcmp(bitmap.ScanLine(479), picture.Data[0] + 479 * 1920, 1920), 0);
}

TEST_F(FormatConverterTest, OddWidthIsScaledIntoPaddedRows) {
    TBgrPicture picture(641, 480, 641 * 3);
    TFormatConverter converter;
    ASSERT_TRUE(converter.ToBitmap(picture.Data, picture.LineSize, AV_PIX_FMT_BGR24, true, 480, 641));
    EXPECT_NE(converter.PictureData(), picture.Data[0]);
    const TBitmap& bitmap = converter.Bitmap();
    EXPECT_EQ(bitmap.BytesPerScanLine(), 1924); // 641 * 3 rounded up to 32 bits
    const uint8_t* p = bitmap.ScanLine(100) + 3 * 200;
    EXPECT_NEAR(p[0], 200, 1);
    EXPECT_NEAR(p[1], 100, 1);
    EXPECT_NEAR(p[2], 200 ^ 100, 1);
}

TEST_F(FormatConverterTest, EveryDepthGetsItsLayout) {
    // A mid-grey YUV picture of 33 x 20.
    const int w = 33, h = 20;
    std::vector<uint8_t> y(w * h, 128), u((w + 1) / 2 * (h / 2), 128), v((w + 1) / 2 * (h / 2), 128);
    const uint8_t* data[4] = {y.data(), u.data(), v.data(), nullptr};
    const int lineSize[4] = {w, (w + 1) / 2, (w + 1) / 2, 0};
    const struct {
        int Bits;
        int Stride;
    } cases[] = {{8, 36}, {15, 68}, {16, 68}, {24, 100}, {32, 132}};
    for (const auto& c : cases) {
        TFormatConverter converter;
        converter.SetBitsPixel(c.Bits);
        ASSERT_TRUE(converter.ToBitmap(data, lineSize, AV_PIX_FMT_YUV420P, true, h, w)) << c.Bits;
        EXPECT_EQ(converter.Bitmap().BitsPixel(), c.Bits);
        EXPECT_EQ(converter.Bitmap().BytesPerScanLine(), c.Stride) << c.Bits;
        if (c.Bits >= 24) {
            const uint8_t* p = converter.Bitmap().ScanLine(10) + (c.Bits / 8) * 16;
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(p[k], 128, 3) << c.Bits;
        }
    }
}

TEST_F(FormatConverterTest, BitmapGoesBackToAPicture) {
    const int w = 32, h = 16;
    std::vector<uint8_t> y(w * h, 128), u(w / 2 * h / 2, 128), v(w / 2 * h / 2, 128);
    const uint8_t* data[4] = {y.data(), u.data(), v.data(), nullptr};
    const int lineSize[4] = {w, w / 2, w / 2, 0};
    TFormatConverter converter;
    ASSERT_TRUE(converter.ToBitmap(data, lineSize, AV_PIX_FMT_YUV420P, true, h, w));
    // Paint the bitmap white and convert it back: luma must follow.
    TBitmap& bitmap = converter.Bitmap();
    for (int r = 0; r < h; ++r)
        std::memset(bitmap.ScanLine(r), 255, static_cast<size_t>(bitmap.BytesPerScanLine()));
    converter.BitmapBack();
    std::vector<uint8_t> ty(w * h), tu(w / 2 * h / 2), tv(w / 2 * h / 2);
    uint8_t* target[4] = {ty.data(), tu.data(), tv.data(), nullptr};
    ASSERT_TRUE(converter.FromRGB(target, lineSize, AV_PIX_FMT_YUV420P, h, w));
    EXPECT_NEAR(ty[5 * w + 7], 235, 2); // white in limited-range luma
    EXPECT_NEAR(tu[3], 128, 2);
}

TEST_F(FormatConverterTest, RefusesUnknownDepthsAndSizes) {
    TFormatConverter converter;
    EXPECT_THAT([&] { converter.SetBitsPixel(12); },
                ::testing::ThrowsMessage<std::invalid_argument>(::testing::StrEq("Invalid BitsPixel 12")));
    EXPECT_EQ(converter.BitsPixel(), 24);
    uint8_t byte = 0;
    const uint8_t* data[4] = {&byte, nullptr, nullptr, nullptr};
    const int lineSize[4] = {1, 0, 0, 0};
    EXPECT_FALSE(converter.ToBitmap(data, lineSize, AV_PIX_FMT_BGR24, true, 100000, 100000));
    EXPECT_FALSE(converter.LastError().empty());
}

} // namespace
} // namespace mw
