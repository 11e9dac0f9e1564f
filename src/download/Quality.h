// The quality table, the user's preference order (slots 1..8 of quality codes 0..7) and the model
// of the preference dialog. Codes outside 0..7 (a hand-edited settings file) are treated as the
// default quality by the labels and give no stream address.
#pragma once

#include "download/VideoInfo.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace mw {

struct TQualityInfo {
    const char* ShortLabel;
    int Format; // the site's format number
    const char* FormatText;
    const char* Video;
    const char* Audio;
    const char* Extension;
    const char* LongLabel;
};

inline constexpr int QualityCount = 8;
using TQualityOrder = std::array<uint8_t, QualityCount>;

// Codes 0..7.
const TQualityInfo& QualityByCode(int code);
bool IsQualityCode(int code);
// HQ5, the default quality.
const TQualityInfo& DefaultQuality();

inline constexpr TQualityOrder DefaultOrder = {1, 2, 3, 0, 4, 5, 6, 7};
inline constexpr TQualityOrder BestAvailableOrder = {7, 3, 2, 1, 0, 6, 4, 5};

// Attempt 0 is HQ5; attempts 1..8 are the slots of the order.
std::string QualityShortLabel(int attempt, const TQualityOrder& slots);
std::string QualityLongLabel(const std::string& shortLabel);
std::string QualityExtension(int attempt, const TQualityOrder& slots);
std::string QualityStreamAddress(int attempt, const TQualityOrder& slots, const TStreamTable& table);
std::string PreferenceSummary(bool preferHighQuality, const TQualityOrder& slots);
// "[HQ37]" -> 7 ... "[HQ18]" -> 1; anything else 0.
uint8_t QualityCodeOfShortLabel(const std::string& shortLabel);

// The preference dialog without its widgets: rows in slot order, Up, Down, Default, Best Available, OK.
class TYouTubeHQModel {
  public:
    struct TRow {
        std::string Type, Format, Video, Audio;
    };
    // Works on the slots directly (Default and Best Available change them at once).
    explicit TYouTubeHQModel(TQualityOrder& slots);

    const std::vector<TRow>& Rows() const { return FRows; }
    int Selected() const { return FSelected; }
    void Select(int row) { FSelected = row >= 0 && row < static_cast<int>(FRows.size()) ? row : -1; }

    void Up();
    void Down();
    void Default();
    void BestAvailable();
    // Stores the rows, in list order, into the slots. A list shorter than eight rows (codes
    // outside 0..7 show no row) leaves the remaining slots as they are.
    void OK();

  private:
    void Fill();
    TQualityOrder& FSlots;
    std::vector<TRow> FRows;
    int FSelected = -1;
};

} // namespace mw
