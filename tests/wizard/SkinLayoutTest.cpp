// Output page placement by the edition's flags, and the skins' table.
#include "wizard/SkinLayout.h"

#include <gtest/gtest.h>

namespace mw {
namespace {

TProductConfig WithFormats(std::array<bool, 9> video, std::array<bool, 8> device, std::array<bool, 8> audio) {
    TProductConfig c;
    c.VideoFormats = video;
    c.DeviceFormats = device;
    c.AudioFormats = audio;
    return c;
}

constexpr std::array<bool, 9> AllVideo = {true, true, true, true, true, true, true, true, true};
constexpr std::array<bool, 8> All8 = {true, true, true, true, true, true, true, true};

TEST(SkinLayout, GridCellDividesByTheCellWidthAlone) {
    // 525 wide: (525 - 10 - 2) div 62 = 8 columns, 64 apart; rows 60 apart.
    const TGridRect ninth = LayoutGridCell(525, 5, 10, 2, 3, 57, 62, 8);
    EXPECT_EQ(ninth.Left, 10);
    EXPECT_EQ(ninth.Top, 65);
    EXPECT_EQ(LayoutGridCell(525, 5, 10, 2, 3, 57, 62, 7).Left, 10 + 7 * 64);
    EXPECT_EQ(LayoutGridCell(525, 5, 10, 2, 3, 57, 62, 1).Right, 74 + 64);
    // Narrower than one cell still gives one column.
    EXPECT_EQ(LayoutGridCell(20, 0, 10, 2, 3, 57, 62, 2).Top, 120);
}

TEST(SkinLayout, FormatButtonsSkipHiddenFormats) {
    std::array<bool, 9> aviMov{};
    aviMov[0] = aviMov[7] = true;
    const TOutputPageLayout l = LayoutOutputPage(WithFormats(aviMov, All8, All8), 525, 540);
    EXPECT_TRUE(l.Formats[0][0].Visible);
    EXPECT_EQ(l.Formats[0][7].Left, 74);
    EXPECT_EQ(l.Formats[0][7].Top, 5);
    EXPECT_FALSE(l.Formats[0][1].Visible);

    const TOutputPageLayout all = LayoutOutputPage(WithFormats(AllVideo, All8, All8), 525, 540);
    EXPECT_EQ(all.Formats[0][8].Left, 10);
    EXPECT_EQ(all.Formats[0][8].Top, 65);
}

struct TClassRow {
    const char* Name;
    bool Video, Device, Audio;
    std::array<int, 3> Lefts; // -1 hidden
    int TabsTop;
};

class ClassButtons : public testing::TestWithParam<TClassRow> {};

TEST_P(ClassButtons, PlacedInOrderOfTheShownClasses) {
    const TClassRow& row = GetParam();
    const TOutputPageLayout l = LayoutOutputPage(WithFormats(row.Video ? AllVideo : std::array<bool, 9>{},
                                                             row.Device ? All8 : std::array<bool, 8>{},
                                                             row.Audio ? All8 : std::array<bool, 8>{}),
                                                 525, 540);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(l.Classes[c].Visible, row.Lefts[c] >= 0) << c;
        if (row.Lefts[c] >= 0) {
            EXPECT_EQ(l.Classes[c].Left, row.Lefts[c]) << c;
            EXPECT_EQ(l.Classes[c].Top, 135) << c;
        }
    }
    EXPECT_EQ(l.TabsTop, row.TabsTop);
}

INSTANTIATE_TEST_SUITE_P(Flags, ClassButtons,
                         testing::Values(TClassRow{"All", true, true, true, {18, 189, 360}, 172},
                                         TClassRow{"NoVideo", false, true, true, {-1, 18, 189}, 172},
                                         TClassRow{"AudioOnly", false, false, true, {-1, -1, -1}, 120}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(SkinLayout, SkinsDifferWhereTheTableSays) {
    EXPECT_FALSE(SkinLayout(3).HasMinimiseAndClose);
    EXPECT_FALSE(SkinLayout(3).TitleBold);
    EXPECT_EQ(SkinLayout(2).HelpMenuOffset - SkinLayout(0).HelpMenuOffset, 5);
    EXPECT_EQ(SkinLayout(1).Close.Left, 794);
    EXPECT_EQ(SkinLayout(1).Exit.Top, 566);
    EXPECT_EQ(SkinLayout(9).PageArea.Left, SkinLayout(0).PageArea.Left);
}

} // namespace
} // namespace mw
