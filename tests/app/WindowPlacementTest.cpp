#include "app/WindowPlacement.h"
#include "TempDir.h"

#include <climits>
#include <cstdint>
#include <gtest/gtest.h>

namespace mw {
namespace {

struct TFakeWindow : IPlacementWindow {
    TWindowBounds B{100, 100, 780, 560};
    bool Max = false;
    TScreenSize S{1920, 1080};
    TWindowBounds Bounds() const override { return B; }
    bool IsMaximized() const override { return Max; }
    TScreenSize Screen() const override { return S; }
    void MoveTo(int32_t l, int32_t t) override { B.Left = l, B.Top = t; }
    void SetMaximized(bool m) override { Max = m; }
};

TEST(WindowPlacement, ClampingKeepsTheWindowOnScreen) {
    struct TCase {
        TWindowBounds In;
        int32_t Left, Top;
    } cases[] = {
        {{5000, 10, 780, 560}, 1140, 10},
        {{10, -40, 780, 560}, 10, 0},
        {{-300, 900, 780, 560}, 0, 520},
        {{500, 0, 4000, 560}, 0, 0}, // wider than the screen: placed at the left edge
        // Sizes from a damaged file: below the minimum (200x100), or sums past 32 bits.
        {{100000, 100000, -200000, -200000}, 1720, 980},
        {{100000, 10, 0, 560}, 1720, 10},
        {{INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX}, 0, 0},
        {{INT32_MAX - 10, INT32_MIN, 300, INT32_MIN}, 1620, 0},
        {{INT32_MIN, 10, INT32_MIN, 560}, 0, 10},
    };
    for (const TCase& c : cases) {
        const TWindowBounds b = ClampPlacement(c.In, {1920, 1080}, {200, 100});
        EXPECT_EQ(b.Left, c.Left) << c.In.Left << " " << c.In.Width;
        EXPECT_EQ(b.Top, c.Top) << c.In.Top << " " << c.In.Height;
        // On the screen in both directions.
        EXPECT_LE(int64_t{b.Left} + b.Width, 1920);
        EXPECT_LE(int64_t{b.Top} + b.Height, 1080);
    }
    const TWindowBounds centred = CenteredPlacement({0, 0, 781, 560}, {1920, 1080});
    EXPECT_EQ(centred.Left, 569);
    EXPECT_EQ(centred.Top, 260);
}

TEST(WindowPlacement, RoundTripThroughTheSettingsFile) {
    test::TTempDir dir;
    const std::string file = dir.Path() + "s.dat";
    TFakeWindow w;
    w.B = {300, 200, 780, 560};
    w.Max = true;
    SaveWindowPlacement("Form", w, file);
    EXPECT_EQ(dir.Read("s.dat"), "[Form]\nx=300\ny=200\nheight=560\nwidth=780\nmaximized=1\n");

    TFakeWindow restored;
    RestoreWindowPlacement("Form", restored, file);
    EXPECT_EQ(restored.B.Left, 300);
    EXPECT_EQ(restored.B.Top, 200);
    EXPECT_TRUE(restored.Max);

    // A stored size larger than the window's serves the clamping only; the window keeps its size.
    dir.Write("s.dat", "[FormLog]\nx=5000\ny=-5\nwidth=3000\nheight=560\n");
    TFakeWindow log;
    RestoreWindowPlacement("FormLog", log, file);
    EXPECT_EQ(log.B.Left, 0);
    EXPECT_EQ(log.B.Top, 0);
    EXPECT_EQ(log.B.Width, 780);
    EXPECT_FALSE(log.Max);

    // Nothing stored: the window stays where it is.
    TFakeWindow fresh;
    RestoreWindowPlacement("Other", fresh, file);
    EXPECT_EQ(fresh.B.Left, 100);
}

} // namespace
} // namespace mw
