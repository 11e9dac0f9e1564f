#include "presets/OutputPage.h"

#include "app/UtilFuncs.h"
#include "presets/PresetCatalogue.h"

namespace mw {

namespace {

bool IsKnownFormat(int formatClass, int format) {
    return FindFormat(formatClass, format) != nullptr;
}

// The list entry a stored index makes current: none for an index outside the list.
int32_t ListEntryFor(int formatClass, int format, int32_t index) {
    const TFormatInfo* info = FindFormat(formatClass, format);
    return info && index >= 0 && index < info->PresetCount ? index : -1;
}

} // namespace

TOutputPageModel::TOutputPageModel(TUserSettings& settings) : FSettings(settings) {
    // The lists hold the stored entries from the start, so storing before the first visit keeps them.
    for (auto& row : FCurrentPreset)
        row.fill(-1);
    for (const TFormatInfo& f : Formats())
        SelectPreset(f.Class, f.Number, *settings.OutputSelection.PresetOf(f.Class, f.Number));
}

void TOutputPageModel::SelectFormatClass(int formatClass) {
    if (!FindFormatClass(formatClass)) return;
    FActiveClass = formatClass;
    FSettings.OutputSelection.OutputFormatClass = static_cast<uint8_t>(formatClass);
}

void TOutputPageModel::SelectOutputFormat(int formatClass, int format) {
    if (!IsKnownFormat(formatClass, format)) return;
    FPressedFormat[static_cast<size_t>(formatClass)] = format;
    *FSettings.OutputSelection.FormatOfClass(formatClass) = static_cast<uint8_t>(format);
}

void TOutputPageModel::SelectPreset(int formatClass, int format, int32_t index) {
    if (!IsKnownFormat(formatClass, format)) return;
    FCurrentPreset[static_cast<size_t>(formatClass)][static_cast<size_t>(format)] =
        ListEntryFor(formatClass, format, index);
}

void TOutputPageModel::ApplyStep2Settings() {
    TOutputSelection& selection = FSettings.OutputSelection;
    FOutputFolder = FSettings.OutputFileDir;
    SelectFormatClass(selection.OutputFormatClass);
    SelectOutputFormat(fcAudio, selection.OutputAudioFormat);
    SelectOutputFormat(fcVideo, selection.OutputVideoFormat);
    SelectOutputFormat(fcDevice, selection.OutputDeviceFormat);
    for (const TFormatInfo& f : Formats())
        SelectPreset(f.Class, f.Number, *selection.PresetOf(f.Class, f.Number));
}

void TOutputPageModel::StoreStep2Settings() {
    FSettings.OutputFileDir = AddTrailingBackslash(FOutputFolder);
    for (const TFormatInfo& f : Formats())
        *FSettings.OutputSelection.PresetOf(f.Class, f.Number) = CurrentPreset(f.Class, f.Number);
}

int TOutputPageModel::PressedFormat(int formatClass) const {
    return FindFormatClass(formatClass) ? FPressedFormat[static_cast<size_t>(formatClass)] : -1;
}

int32_t TOutputPageModel::CurrentPreset(int formatClass, int format) const {
    if (!IsKnownFormat(formatClass, format)) return -1;
    return FCurrentPreset[static_cast<size_t>(formatClass)][static_cast<size_t>(format)];
}

} // namespace mw
