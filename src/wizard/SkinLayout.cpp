#include "wizard/SkinLayout.h"

#include <algorithm>

namespace mw {

namespace {

// Minimise, close, Help, help menu offset, Log, Back, Next, Exit, page area, title line, bold
// title, promotion picture, promotion progress bar.
// clang-format off
const TSkinLayout Layouts[] = {
    {true,  {696, 4}, {728, 4}, {40, 510}, 0, {138, 510}, {426, 510}, {522, 510}, {672, 510},
     {203, 74}, {24, 43}, true, {26, 352}, {36, 416}},
    {true,  {766, 3}, {794, 3}, {25, 566}, 0, {120, 566}, {400, 566}, {495, 566}, {730, 566},
     {240, 110}, {252, 70}, true, {35, 352}, {52, 446}},
    {true,  {696, 6}, {728, 4}, {40, 513}, 5, {138, 513}, {426, 513}, {522, 513}, {672, 513},
     {198, 74}, {24, 43}, true, {26, 352}, {36, 416}},
    {false, {0, 0},   {0, 0},   {10, 515}, 0, {120, 515}, {350, 515}, {460, 515}, {665, 515},
     {203, 74}, {215, 55}, false, {25, 75}, {36, 170}},
};
// clang-format on

} // namespace

const TSkinLayout& SkinLayout(int skin) {
    return skin >= 0 && skin < static_cast<int>(std::size(Layouts)) ? Layouts[skin] : Layouts[0];
}

TGridRect LayoutGridCell(int width, int top, int left, int gapX, int gapY, int height, int cellWidth, int n) {
    const int columns = std::max(1, cellWidth > 0 ? (width - left - gapX) / cellWidth : 1);
    const int row = n / columns;
    const int column = n % columns;
    TGridRect r;
    r.Left = left + column * (cellWidth + gapX);
    r.Top = top + row * (height + gapY);
    r.Right = r.Left + cellWidth + gapX;
    r.Bottom = r.Top + height + gapY;
    return r;
}

TOutputPageLayout LayoutOutputPage(const TProductConfig& config, int tabWidth, int pageWidth) {
    TOutputPageLayout layout;
    const bool* flags[3] = {config.VideoFormats.data(), config.DeviceFormats.data(),
                            config.AudioFormats.data()};
    const int counts[3] = {9, 8, 8};
    int shownClasses = 0;
    for (int c = 0; c < 3; ++c) {
        int shown = 0;
        for (int f = 0; f < counts[c]; ++f) {
            if (!flags[c][f]) continue;
            const TGridRect r = LayoutGridCell(tabWidth, 5, 10, 2, 3, 57, 62, shown++);
            layout.Formats[c][f] = {true, r.Left, r.Top};
        }
        if (shown == 0) continue;
        const TGridRect r = LayoutGridCell(pageWidth, 135, 18, 0, 0, 32, 171, shownClasses++);
        layout.Classes[c] = {true, r.Left, r.Top};
    }
    if (shownClasses == 1) {
        layout.Classes = {};
        layout.TabsTop = 120;
    }
    return layout;
}

} // namespace mw
