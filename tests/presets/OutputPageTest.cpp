#include "presets/OutputPage.h"
#include "presets/PresetCatalogue.h"

#include <gtest/gtest.h>

namespace mw {
namespace {

std::string_view ShownText(const TOutputPageModel& page, int formatClass) {
    const int format = page.PressedFormat(formatClass);
    const int32_t index = page.CurrentPreset(formatClass, format);
    return index < 0 ? std::string_view() : PresetTexts(formatClass, format)[static_cast<size_t>(index)];
}

TEST(OutputPage, FirstVisitShowsTheDefaultsOfEveryClass) {
    TUserSettings settings; // class Video, every class's format 0, the default presets
    TOutputPageModel page(settings);
    page.ApplyStep2Settings();
    EXPECT_EQ(page.ActiveClass(), fcVideo);
    EXPECT_EQ(page.PressedFormat(fcVideo), 0);
    EXPECT_EQ(ShownText(page, fcVideo),
              "Video: MPEG4 (DivX, XviD), 1500 kbps, Original; Audio: MP3, 192 kbps");
    EXPECT_EQ(ShownText(page, fcDevice),
              "iPod Classic Standard Quality (H264, 24 fps, 320x240, 1000 kbps; AAC - 128 kbps)");
    EXPECT_EQ(ShownText(page, fcAudio), "HiFi Quality - PCM: 48000Hz, Stereo, 32 bits");
}

TEST(OutputPage, ClassAndFormatChoicesStayIndependent) {
    TUserSettings settings;
    TOutputPageModel page(settings);
    page.ApplyStep2Settings();
    page.SelectFormatClass(fcAudio);
    page.SelectOutputFormat(fcAudio, 6); // FLAC
    page.SelectFormatClass(fcVideo);
    EXPECT_EQ(settings.OutputSelection.OutputAudioFormat, 6);
    page.SelectOutputFormat(fcVideo, 0); // AVI
    EXPECT_EQ(settings.OutputSelection.OutputFormatClass, fcVideo);
    EXPECT_EQ(page.PressedFormat(fcAudio), 6);

    // Next visit: the Audio tab still has FLAC pressed.
    TOutputPageModel again(settings);
    again.ApplyStep2Settings();
    EXPECT_EQ(again.ActiveClass(), fcVideo);
    EXPECT_EQ(again.PressedFormat(fcAudio), 6);
}

TEST(OutputPage, FormatIsStoredAtOncePresetOnlyWithNext) {
    TUserSettings settings;
    TOutputPageModel page(settings);
    page.ApplyStep2Settings();
    page.SelectFormatClass(fcAudio);
    page.SelectOutputFormat(fcAudio, 1); // MP3, default preset 2
    page.SelectPreset(fcAudio, 1, 0);
    // Back: nothing stored but the class and the format.
    EXPECT_EQ(settings.OutputSelection.OutputFormatClass, fcAudio);
    EXPECT_EQ(settings.OutputSelection.OutputAudioFormat, 1);
    EXPECT_EQ(*settings.OutputSelection.PresetOf(fcAudio, 1), 2);

    // Entering the page again shows the stored entry, not the abandoned one.
    page.ApplyStep2Settings();
    EXPECT_EQ(page.CurrentPreset(fcAudio, 1), 2);
    page.SelectPreset(fcAudio, 1, 3);
    page.SetOutputFolder("/tmp/out");
    page.StoreStep2Settings();
    EXPECT_EQ(*settings.OutputSelection.PresetOf(fcAudio, 1), 3);
    EXPECT_EQ(settings.OutputFileDir, "/tmp/out/");
}

TEST(OutputPage, StoredPresetOutsideItsListIsStoredBackAsMinusOne) {
    TUserSettings settings;
    *settings.OutputSelection.PresetOf(fcVideo, 0) = 29; // AVI has 29 entries
    *settings.OutputSelection.PresetOf(fcAudio, 6) = -7;
    *settings.OutputSelection.PresetOf(fcDevice, 3) = 2;
    TOutputPageModel page(settings);
    page.ApplyStep2Settings();
    EXPECT_EQ(page.CurrentPreset(fcVideo, 0), -1);
    page.SelectPreset(fcDevice, 4, 3); // beyond BlackBerry's 3 entries: no current entry
    page.StoreStep2Settings();
    EXPECT_EQ(*settings.OutputSelection.PresetOf(fcVideo, 0), -1);
    EXPECT_EQ(*settings.OutputSelection.PresetOf(fcAudio, 6), -1);
    EXPECT_EQ(*settings.OutputSelection.PresetOf(fcDevice, 3), 2);
    EXPECT_EQ(*settings.OutputSelection.PresetOf(fcDevice, 4), -1);
}

TEST(OutputPage, StoredClassOrFormatOutsideNumberingSelectsNothingAndStaysStored) {
    TUserSettings settings;
    settings.OutputSelection.OutputFormatClass = 7;
    settings.OutputSelection.OutputVideoFormat = 9;
    settings.OutputSelection.OutputAudioFormat = 255;
    settings.OutputSelection.OutputDeviceFormat = 2;
    TOutputPageModel page(settings);
    page.ApplyStep2Settings();
    EXPECT_EQ(page.ActiveClass(), -1);
    EXPECT_EQ(page.PressedFormat(fcVideo), -1);
    EXPECT_EQ(page.PressedFormat(fcAudio), -1);
    EXPECT_EQ(page.PressedFormat(fcDevice), 2);
    page.SelectFormatClass(3);
    page.SelectOutputFormat(fcAudio, 8);
    page.StoreStep2Settings();
    EXPECT_EQ(settings.OutputSelection.OutputFormatClass, 7);
    EXPECT_EQ(settings.OutputSelection.OutputVideoFormat, 9);
    EXPECT_EQ(settings.OutputSelection.OutputAudioFormat, 255);
}

TEST(OutputPage, StoringBeforeTheFirstVisitKeepsStoredPresets) {
    TUserSettings settings;
    *settings.OutputSelection.PresetOf(fcVideo, 6) = 4;
    TOutputPageModel page(settings);
    page.StoreStep2Settings();
    EXPECT_EQ(*settings.OutputSelection.PresetOf(fcVideo, 6), 4);
    EXPECT_EQ(settings.OutputSelection.Presets, [] {
        TOutputSelection s;
        s.Presets[fcVideo][6] = 4;
        return s.Presets;
    }());
}

} // namespace
} // namespace mw
