#include "download/Quality.h"

#include <cstdio>

namespace mw {

namespace {

constexpr TQualityInfo HQ5 = {"HQ5",
                              5,
                              "FLV",
                              "400 x 240",
                              "Mono 44KHz MP3",
                              ".flv",
                              "[Default Quality - HQ5 - (FLV, 400 x 240, Mono 44KHz MP3)]"};

constexpr std::array<TQualityInfo, QualityCount> Qualities = {{
    {"[HQ6]", 6, "FLV", "480 x 360", "Mono 44KHz MP3", ".flv", "[HQ6] - (FLV, 480 x 360, Mono 44KHz MP3)"},
    {"[HQ18]", 18, "MP4(H.264)", "640 x 360", "Stereo 44KHz AAC", ".mp4",
     "[HQ18] - (MP4(H.264), 640 x 360, Stereo 44KHz AAC)"},
    {"[HQ35]", 35, "FLV", "854 x 480", "Stereo 44KHz AAC", ".flv",
     "[HQ35] - (FLV, 854 x 480, Stereo 44KHz AAC)"},
    {"[HQ22]", 22, "MP4(H.264)", "1280x720", "Stereo 44KHz AAC", ".mp4",
     "[HQ22] - (MP4(H.264), 1280 x 720, Stereo 44KHz AAC)"},
    {"[HQ13]", 13, "3GP", "176x144", "Stereo 8KHz", ".3gp", "[HQ13] - (3GP, 176 x 144, Stereo 8KHz)"},
    {"[HQ17]", 17, "3GP", "176x144", "Stereo 44KHz AAC", ".3gp",
     "[HQ17] - (3GP, 176 x 144, Stereo 44KHz AAC)"},
    {"[HQ34]", 34, "FLV", "640 x 360", "Stereo 44KHz AAC", ".flv",
     "[HQ34] - (FLV, 640 x 360, Stereo 44KHz AAC)"},
    {"[HQ37]", 37, "MP4(H.264)", "1920x1080", "Stereo 44KHz AAC", ".mp4",
     "[HQ37] - (MP4(H.264), 1920 x 1080, Stereo 44KHz AAC)"},
}};

// The slot's code for attempts 1..8; -1 for attempt 0 or anything outside.
int CodeOfAttempt(int attempt, const TQualityOrder& slots) {
    if (attempt < 1 || attempt > QualityCount) return -1;
    return slots[static_cast<size_t>(attempt - 1)];
}

} // namespace

const TQualityInfo& QualityByCode(int code) {
    return IsQualityCode(code) ? Qualities[static_cast<size_t>(code)] : HQ5;
}
bool IsQualityCode(int code) {
    return code >= 0 && code < QualityCount;
}
const TQualityInfo& DefaultQuality() {
    return HQ5;
}

std::string QualityShortLabel(int attempt, const TQualityOrder& slots) {
    const int code = CodeOfAttempt(attempt, slots);
    return IsQualityCode(code) ? Qualities[static_cast<size_t>(code)].ShortLabel : HQ5.LongLabel;
}

std::string QualityLongLabel(const std::string& shortLabel) {
    for (const auto& q : Qualities)
        if (shortLabel == q.ShortLabel) return q.LongLabel;
    return HQ5.LongLabel;
}

std::string QualityExtension(int attempt, const TQualityOrder& slots) {
    const int code = CodeOfAttempt(attempt, slots);
    return IsQualityCode(code) ? Qualities[static_cast<size_t>(code)].Extension : HQ5.Extension;
}

std::string QualityStreamAddress(int attempt, const TQualityOrder& slots, const TStreamTable& table) {
    if (attempt == 0) return table.Get(HQ5.Format);
    const int code = CodeOfAttempt(attempt, slots);
    return IsQualityCode(code) ? table.Get(Qualities[static_cast<size_t>(code)].Format) : "";
}

std::string PreferenceSummary(bool preferHighQuality, const TQualityOrder& slots) {
    if (!preferHighQuality) return HQ5.LongLabel;
    std::string text = "Prefer: ";
    for (int i = 1; i <= QualityCount; ++i) {
        if (i > 1) text += " > ";
        text += QualityShortLabel(i, slots);
    }
    return text;
}

uint8_t QualityCodeOfShortLabel(const std::string& shortLabel) {
    for (int code = QualityCount - 1; code >= 1; --code)
        if (shortLabel == Qualities[static_cast<size_t>(code)].ShortLabel) return static_cast<uint8_t>(code);
    return 0;
}

TYouTubeHQModel::TYouTubeHQModel(TQualityOrder& slots) : FSlots(slots) {
    Fill();
}

void TYouTubeHQModel::Fill() {
    FRows.clear();
    for (uint8_t code : FSlots) {
        if (!IsQualityCode(code)) continue;
        const auto& q = Qualities[code];
        FRows.push_back({q.ShortLabel, q.FormatText, q.Video, q.Audio});
    }
    if (FSelected >= static_cast<int>(FRows.size())) FSelected = -1;
}

void TYouTubeHQModel::Up() {
    if (FSelected <= 0) return;
    std::swap(FRows[static_cast<size_t>(FSelected)], FRows[static_cast<size_t>(FSelected - 1)]);
    --FSelected;
}

void TYouTubeHQModel::Down() {
    if (FSelected < 0 || FSelected + 1 >= static_cast<int>(FRows.size())) return;
    std::swap(FRows[static_cast<size_t>(FSelected)], FRows[static_cast<size_t>(FSelected + 1)]);
    ++FSelected;
}

void TYouTubeHQModel::Default() {
    FSlots = DefaultOrder;
    Fill();
}

void TYouTubeHQModel::BestAvailable() {
    FSlots = BestAvailableOrder;
    Fill();
}

void TYouTubeHQModel::OK() {
    for (size_t i = 0; i < FRows.size() && i < FSlots.size(); ++i)
        FSlots[i] = QualityCodeOfShortLabel(FRows[i].Type);
}

} // namespace mw
