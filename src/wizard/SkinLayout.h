// Where the main window's parts sit in each of the four skins, and the grid that places the
// format and class buttons of the output page. Plain data and arithmetic, no Qt.
#pragma once

#include "app/ProductConfig.h"

#include <array>

namespace mw {

struct TSkinPoint {
    int Left, Top;
};

struct TSkinLayout {
    bool HasMinimiseAndClose;
    TSkinPoint Minimise, Close, Help;
    int HelpMenuOffset;
    TSkinPoint Log, Back, Next, Exit, PageArea, TitleLine;
    bool TitleBold;
    TSkinPoint Promotion, PromotionProgress;
};

// The layout of a skin; any other value gets the designed positions (those of skin 0).
const TSkinLayout& SkinLayout(int skin);

struct TGridRect {
    int Left, Top, Right, Bottom;
};

// Cell n of a grid: columns = (W - L - GX) div CW (at least 1), cells CW + GX apart across and
// H + GY apart down. The column count divides by the cell width alone.
TGridRect LayoutGridCell(int width, int top, int left, int gapX, int gapY, int height, int cellWidth, int n);

struct TButtonPlace {
    bool Visible = false;
    int Left = 0, Top = 0;
};

struct TOutputPageLayout {
    std::array<std::array<TButtonPlace, 9>, 3> Formats; // [class][format number]
    std::array<TButtonPlace, 3> Classes;                // Video, Device, Audio
    int TabsTop = 172;
};

// Format buttons by the edition's flags on a tab of tabWidth, class buttons on a page of pageWidth.
TOutputPageLayout LayoutOutputPage(const TProductConfig& config, int tabWidth, int pageWidth);

} // namespace mw
