#include "presets/PresetCatalogue.h"

#include "app/ProductConfig.h"

#include <algorithm>

namespace mw {

namespace {

constexpr TFormatClassInfo FormatClassTable[] = {
    {fcVideo, "Video", "ButtonToFormatVideo", "TabSheetToFormatVideo", "Video", {.DisableVideo = false}},
    {fcDevice, "Device", "ButtonToFormatDevice", "TabSheetToFormatDevice", "Device", {}},
    {fcAudio, "Audio", "ButtonToFormatAudio", "TabSheetToFormatAudio", "Audio", {.DisableVideo = true}},
};

// clang-format off
constexpr TFormatInfo FormatTable[] = {
    {fcVideo, 0, "AVI", "AVI", "ButtonFormatAVI", "ImageComboBoxAVIPresets", 29, 3, ".avi", {}},
    {fcVideo, 1, "MP4", "MP4", "ButtonFormatMP4", "ImageComboBoxMP4Presets", 19, 3, ".mp4", {}},
    {fcVideo, 2, "FLV", "FLV", "ButtonFormatFLV", "ImageComboBoxFLVPresets", 5, 1, ".flv", {}},
    {fcVideo, 3, "SWF", "SWF", "ButtonFormatSWF", "ImageComboBoxSWFPresets", 5, 1, ".swf", {}},
    {fcVideo, 4, "MPEG", "MPEG", "ButtonFormatMPEG", "ImageComboBoxMPEGPresets", 14, 5, ".mpg", {}},
    {fcVideo, 5, "RM", "RM", "ButtonFormatRM", "ImageComboBoxRMPresets", 5, 1, ".rm", {}},
    {fcVideo, 6, "WMV", "WMV", "ButtonFormatWMV", "ImageComboBoxWMVPresets", 18, 16, ".wmv", {}},
    {fcVideo, 7, "MOV", "MOV", "ButtonFormatMOV", "ImageComboBoxMOVPresets", 10, 7, ".mov", {}},
    {fcVideo, 8, "3GP", "3GP", "ButtonFormat3GP", "ImageComboBox3GPPresets", 5, 2, ".3gp", {}},
    {fcDevice, 0, "iPod", "IPOD", "ButtonFormatiPod", "ImageComboBoxiPodPresets", 10, 5, ".mp4", {.AudioCodec = "libfaac", .VideoCodec = "libx264", .ExtOptions = H264StandardOptions}},
    {fcDevice, 1, "iPhone", "IPHONE", "ButtonFormatiPhone", "ImageComboBoxiPhonePresets", 3, 1, ".mp4", {.AudioCodec = "libfaac", .VideoCodec = "libx264", .ExtOptions = H264StandardOptions}},
    {fcDevice, 2, "AppleTV", "APPLETV", "ButtonFormatAppleTV", "ImageComboBoxAppleTVPresets", 3, 1, ".mp4", {.AudioCodec = "libfaac", .VideoCodec = "libx264", .ExtOptions = H264StandardOptions}},
    {fcDevice, 3, "PSP", "PSP", "ButtonFormatPSP", "ImageComboBoxPSPPresets", 3, 1, ".mp4", {.FileFormat = "psp", .AudioCodec = "libfaac", .VideoCodec = "libx264", .ExtOptions = H264PspOptions}},
    {fcDevice, 4, "BlackBerry", "BLACKBERRY", "ButtonFormatBlackBerry", "ImageComboBoxBlackBerryPresets", 3, 1, ".mp4", {}},
    {fcDevice, 5, "MobilePhone", "MOBILEPHONE", "ButtonFormatMobilePhone", "ImageComboBoxMobilePhonePresets", 4, 1, ".mp4", {}},
    {fcDevice, 6, "iPad", "IPAD", "ButtonFormatiPad", "ImageComboBoxiPadPresets", 3, 0, ".mp4", {.AudioCodec = "libfaac", .VideoCodec = "libx264", .ExtOptions = H264StandardOptions}},
    {fcDevice, 7, "Android", "ANDROID", "ButtonFormatAndroid", "ImageComboBoxAndroidPresets", 3, 0, ".mp4", {.AudioCodec = "libfaac", .VideoCodec = "libx264", .ExtOptions = H264StandardOptions}},
    {fcAudio, 0, "WAV", "WAV", "ButtonFormatWAV", "ImageComboBoxWAVPresets", 5, 3, ".wav", {}},
    {fcAudio, 1, "MP3", "MP3", "ButtonFormatMP3", "ImageComboBoxMP3Presets", 4, 2, ".mp3", {.AudioCodec = "libmp3lame"}},
    {fcAudio, 2, "WMA", "WMA", "ButtonFormatWMA", "ImageComboBoxWMAPresets", 5, 1, ".wma", {.AudioCodec = "wmav2"}},
    {fcAudio, 3, "OGG", "OGG", "ButtonFormatOGG", "ImageComboBoxOGGPresets", 5, 3, ".ogg", {.AudioCodec = "libvorbis", .VideoCodec = "libtheora"}},
    {fcAudio, 4, "AAC", "AAC", "ButtonFormatAAC", "ImageComboBoxAACPresets", 5, 3, ".aac", {.AudioCodec = "libfaac"}},
    {fcAudio, 5, "M4A", "M4A", "ButtonFormatM4A", "ImageComboBoxM4APresets", 2, 0, ".m4a", {}},
    {fcAudio, 6, "FLAC", "FLAC", "ButtonFormatFLAC", "ImageComboBoxFLACPresets", 9, 5, ".flac", {.AudioCodec = "flac"}},
    {fcAudio, 7, "MP2", "MP2", "ButtonFormatMP2", "ImageComboBoxMP2Presets", 3, 0, ".mp2", {}},
};

constexpr TPresetRow PresetTable[] = {
    // AVI
    {fcVideo, 0, 0, "HD Video 720p: MPEG4 (DivX, XviD), 4500 kbps; Audio: MP3, 192 kbps",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000, .VideoCodec = "mpeg4", .FrameSize = "1280x720", .FrameAspectRatio = "16:9", .VideoBitrate = 4500000, .VideoTag = "XVID"}},
    {fcVideo, 0, 1, "HD Video 1080p: H.264/AVC, 4200 kbps; Audio: MP3, 256 kbps",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 256000, .VideoCodec = "libx264", .VideoPreset = "libx264-default", .FrameSize = "1920x1080", .FrameAspectRatio = "16:9", .VideoBitrate = 4200000}},
    {fcVideo, 0, 2, "Video: MPEG4 (DivX, XviD), 2500 kbps, Original; Audio: MP3, 256 kbps",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 256000, .VideoCodec = "mpeg4", .VideoBitrate = 2500000, .VideoTag = "XVID"}},
    {fcVideo, 0, 3, "Video: MPEG4 (DivX, XviD), 1500 kbps, Original; Audio: MP3, 192 kbps",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000, .VideoCodec = "mpeg4", .VideoBitrate = 1500000, .VideoTag = "XVID"}},
    {fcVideo, 0, 4, "Video: MPEG4 (DivX, XviD), 768 kbps, Original; Audio: MP3, 96 kbps",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000, .VideoCodec = "mpeg4", .VideoBitrate = 768000, .VideoTag = "XVID"}},
    {fcVideo, 0, 5, "Video: MPEG4 (DivX, XviD), 2500 kbps, 720x540; Audio: MP3, 256 kbps",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 256000, .VideoCodec = "mpeg4", .FrameSize = "720x540", .VideoBitrate = 2500000, .VideoTag = "XVID"}},
    {fcVideo, 0, 6, "Video: MPEG4 (DivX, XviD), 1500 kbps, 512x384; Audio: MP3, 192 kbps",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000, .VideoCodec = "mpeg4", .FrameSize = "512x384", .VideoBitrate = 1500000, .VideoTag = "XVID"}},
    {fcVideo, 0, 7, "Video: MPEG4 (DivX, XviD), 768 kbps, 320x240; Audio: MP3, 96 kbps",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000, .VideoCodec = "mpeg4", .FrameSize = "320x240", .VideoBitrate = 768000, .VideoTag = "XVID"}},
    {fcVideo, 0, 8, "Video: H.264/AVC, 1200 kbps; Audio: MP3, 192 kbps",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000, .VideoCodec = "libx264", .VideoPreset = "libx264-default", .VideoBitrate = 1200000}},
    {fcVideo, 0, 9, "Video: H.264/AVC, 768 kbps; Audio: MP3, 96 kbps",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000, .VideoCodec = "libx264", .VideoPreset = "libx264-default", .VideoBitrate = 768000}},
    {fcVideo, 0, 10, "BlackBerry 81xx - (MPEG4, 560 kbps, 320x240)",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000, .VideoCodec = "mpeg4", .FrameSize = "320x240", .VideoBitrate = 460000, .VideoTag = "FMP4"}},
    {fcVideo, 0, 11, "BlackBerry 8xxx - (MPEG4, 420 kbps, 240x180)",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000, .VideoCodec = "mpeg4", .FrameSize = "240x180", .VideoBitrate = 324000, .VideoTag = "FMP4"}},
    {fcVideo, 0, 12, "Archos AV500/700; 4-series (704,604,504,404) - (MPEG4, 1800 kbps, Original)",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000, .VideoCodec = "mpeg4", .VideoBitrate = 1600000, .VideoTag = "XVID"}},
    {fcVideo, 0, 13, "Archos AV500/700; 4-series (704,604,504,404) - (MPEG4, 900 kbps, 480x272)",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "mpeg4", .FrameSize = "480x272", .VideoBitrate = 760000, .VideoTag = "XVID"}},
    {fcVideo, 0, 14, "Creative Zen Vision W - (MPEG4, 1800 kbps, 720x480)",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000, .VideoCodec = "mpeg4", .FrameSize = "720x480", .VideoBitrate = 1400000, .VideoTag = "XVID"}},
    {fcVideo, 0, 15, "Creative Zen Vision - (MPEG4, 1200 kbps, 640x480)",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000, .VideoCodec = "mpeg4", .FrameSize = "640x480", .VideoBitrate = 1000000, .VideoTag = "XVID"}},
    {fcVideo, 0, 16, "Creative Zen Vision M - (MPEG4, 720 kbps, 320x240)",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "mpeg4", .FrameSize = "320x240", .VideoBitrate = 600000, .VideoTag = "XVID"}},
    {fcVideo, 0, 17, "Epson P3000/P4500/P5000 - (MPEG4, 2 mbps, 720x480, 30 fps)",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 705000, .VideoCodec = "mpeg4", .FrameRate = "30", .FrameSize = "720x480", .VideoBitrate = 1200000, .VideoTag = "XVID"}},
    {fcVideo, 0, 18, "iRiver U20(Clix) - (MPEG4, 320 kbps, 320x240, 15 fps)",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000, .VideoCodec = "mpeg4", .FrameRate = "15", .FrameSize = "320x240", .VideoBitrate = 224000, .VideoTag = "XVID"}},
    {fcVideo, 0, 19, "iRiver U10 Clix - (MPEG4, 560 kbps, 320x240, 15 fps)",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000, .VideoCodec = "mpeg4", .FrameRate = "15", .FrameSize = "320x240", .VideoBitrate = 460000, .VideoTag = "XVID"}},
    {fcVideo, 0, 20, "iAudio X5 - Optimized for hardware - (MPEG4, 600 kbps, 160x120, 15 fps)",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "mpeg4", .FrameRate = "15", .FrameSize = "160x120", .VideoBitrate = 480000, .VideoTag = "XVID"}},
    {fcVideo, 0, 21, "Nindendo Wii Clip",
     {.AudioCodec = "pcm_s16le", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 1411000, .VideoCodec = "mjpeg", .FrameSize = "640x480", .VideoBitrate = 4096000}},
    {fcVideo, 0, 22, "SanDisk Sansa View - Hight Quality - (MPEG4, 640x480; MP3, 128kbps)",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "mpeg4", .FrameRate = "25", .FrameSize = "640x480", .VideoBitrate = 1500000, .VideoTag = "XVID"}},
    {fcVideo, 0, 23, "SanDisk Sansa View - Normal Quality - (MPEG4, 320x240; MP3, 96kbps)",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000, .VideoCodec = "mpeg4", .FrameRate = "30", .FrameSize = "320x240", .VideoBitrate = 768000, .VideoTag = "XVID"}},
    {fcVideo, 0, 24, "Video for Google Video",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "mpeg4", .FrameRate = "30", .FrameSize = "640x480", .VideoBitrate = 2000000, .VideoTag = "XVID"}},
    {fcVideo, 0, 25, "Video for YouTube",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "mpeg4", .FrameSize = "320x240", .VideoBitrate = 2700000, .VideoTag = "XVID"}},
    {fcVideo, 0, 26, "Video for Myspace",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "mpeg4", .FrameRate = "25", .FrameSize = "320x240", .VideoBitrate = 1000000, .VideoTag = "XVID"}},
    {fcVideo, 0, 27, "Video: DivX; Audio: MP3, 192 kbps",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000, .VideoCodec = "mpeg4", .VideoBitrate = 1200000, .VideoTag = "DIVX"}},
    {fcVideo, 0, 28, "Video: Uncompressed, Original; Audio: PCM",
     {.AudioCodec = "pcm_s16le", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 1411000, .VideoCodec = "rawvideo"}},
    // MP4
    {fcVideo, 1, 0, "Apple iPod - (H.264, 320x240)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "libx264", .FrameRate = "30", .FrameSize = "320x240", .VideoBitrate = 640000, .ExtOptions = H264StandardOptions}},
    {fcVideo, 1, 1, "Apple iPod - (H.264, 640x480)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "libx264", .FrameRate = "30", .FrameSize = "640x480", .VideoBitrate = 640000, .ExtOptions = H264StandardOptions}},
    {fcVideo, 1, 2, "Apple iPod - (MPEG4, 320x240)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "mpeg4", .FrameRate = "30", .FrameSize = "320x240", .VideoBitrate = 600000}},
    {fcVideo, 1, 3, "Apple iPhone/iTouch - (H.264,640x420)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "libx264", .FrameRate = "30", .FrameSize = "640x420", .VideoBitrate = 640000, .ExtOptions = H264StandardOptions}},
    {fcVideo, 1, 4, "Microsoft XBox360 - Normal HD Quality 480p - (H.264, 29.97 fps, 848x480)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 256000, .VideoCodec = "libx264", .VideoPreset = "libx264-default", .FrameRate = "30000/1001", .FrameSize = "848x480", .FrameAspectRatio = "16:9", .VideoBitrate = 2600000}},
    {fcVideo, 1, 5, "Sony PS3 - Normal HD Quality 480p - (H.264, 29.97 fps, 848x480)",
     {.FileFormat = "psp", .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 256000, .VideoCodec = "libx264", .FrameRate = "30000/1001", .FrameSize = "848x480", .FrameAspectRatio = "16:9", .VideoBitrate = 2600000, .ExtOptions = H264PspOptions}},
    {fcVideo, 1, 6, "Sony PS3 - Normal HD Quality 480p, Surround - (H.264, 29.97 fps, 848x480)",
     {.FileFormat = "psp", .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 768000, .VideoCodec = "libx264", .FrameRate = "30000/1001", .FrameSize = "848x480", .FrameAspectRatio = "16:9", .VideoBitrate = 2600000, .ExtOptions = H264PspOptions}},
    {fcVideo, 1, 7, "Sony PSP - Normal - (H.264, 29.97 fps, 368x208)",
     {.FileFormat = "psp", .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 128000, .VideoCodec = "libx264", .FrameRate = "30000/1001", .FrameSize = "368x208", .FrameAspectRatio = "16:9", .VideoBitrate = 520000, .ExtOptions = H264PspOptions}},
    {fcVideo, 1, 8, "Sony PSP - High Resolution - (H264, 29.97 fps, 480x272)",
     {.FileFormat = "psp", .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 128000, .VideoCodec = "libx264", .FrameRate = "30000/1001", .FrameSize = "480x272", .FrameAspectRatio = "16:9", .VideoBitrate = 720000, .ExtOptions = H264PspOptions}},
    {fcVideo, 1, 9, "Epson P2000/P4000 - High Quality - (MPEG4, 640x480)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 24000, .AudioBitrate = 96000, .VideoCodec = "mpeg4", .FrameSize = "640x480", .VideoBitrate = 1200000}},
    {fcVideo, 1, 10, "Epson P2000/P4000 - Economy Quality - (MPEG4, 320x240)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 22050, .AudioBitrate = 64000, .VideoCodec = "mpeg4", .FrameSize = "320x240", .VideoBitrate = 640000}},
    {fcVideo, 1, 11, "Epson P3000/P4500/P5000 - Best Quality - (MPEG4, 720x480)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 96000, .VideoCodec = "mpeg4", .FrameSize = "720x480", .VideoBitrate = 1200000}},
    {fcVideo, 1, 12, "Mobile - Standard Quality - (MPEG4, 176x144, 15 fps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000, .VideoCodec = "mpeg4", .FrameRate = "15", .FrameSize = "176x144", .VideoBitrate = 120000}},
    {fcVideo, 1, 13, "Mobile - Economy Quality - (MPEG4, 128x96, 12 fps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 22050, .AudioBitrate = 56000, .VideoCodec = "mpeg4", .FrameRate = "12", .FrameSize = "128x96", .VideoBitrate = 56000}},
    {fcVideo, 1, 14, "PC - High Quality - (MPEG4, 2500 kbps, Original Size, 25 fps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 256000, .VideoCodec = "mpeg4", .FrameRate = "25", .VideoBitrate = 2500000}},
    {fcVideo, 1, 15, "PC - Standard Quality - (MPEG4, 1200 kbps, Original Size, 25 fps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 192000, .VideoCodec = "mpeg4", .FrameRate = "25", .VideoBitrate = 1200000}},
    {fcVideo, 1, 16, "PC - Economy Quality - (MPEG4, 700 kbps, Original Size, 25 fps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 128000, .VideoCodec = "mpeg4", .FrameRate = "25", .VideoBitrate = 700000}},
    {fcVideo, 1, 17, "SanDisk Sansa View - Hight Quality - (MPEG4, 640x480; MPEG2/4 Audio, 128kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 128000, .VideoCodec = "mpeg4", .FrameRate = "24", .FrameSize = "640x480", .VideoBitrate = 1500000}},
    {fcVideo, 1, 18, "SanDisk Sansa View - Normal Quality - (MPEG4, 320x240; MPEG2/4 Audio, 96kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 96000, .VideoCodec = "mpeg4", .FrameRate = "30", .FrameSize = "320x240", .VideoBitrate = 768000}},
    // FLV
    {fcVideo, 2, 0, "FLV - Best Quality - (H.264, 1200 kbps, Original; MP3, 160 kbps)",
     {.AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 160000, .VideoCodec = "libx264", .VideoPreset = "libx264-default", .VideoBitrate = 1200000}},
    {fcVideo, 2, 1, "FLV - Normal Quality - (H.264, 920 kbps, Original size, 20 fps; MP3, 112 kbps)",
     {.AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 160000, .VideoCodec = "libx264", .VideoPreset = "libx264-default", .FrameRate = "20", .VideoBitrate = 930000}},
    {fcVideo, 2, 2, "FLV - Optimal Quality - (H.263, 780 kbps, 352x288, 15 fps; MP3, 64 kbps)",
     {.AudioChannels = 2, .AudioSampleRate = 22050, .AudioBitrate = 64000, .FrameRate = "15", .FrameSize = "352x288", .VideoBitrate = 780000}},
    {fcVideo, 2, 3, "FLV - Low Quality - (H.263, 640 kbps, 320x240, 15 fps; MP3, 48 kbps)",
     {.AudioChannels = 2, .AudioSampleRate = 11025, .AudioBitrate = 48000, .FrameRate = "15", .FrameSize = "320x240", .VideoBitrate = 640000}},
    {fcVideo, 2, 4, "FLV - Least Quality - (H.263, 480 kbps, 176x144, 15 fps; MP3, 24 kbps)",
     {.AudioChannels = 1, .AudioSampleRate = 11025, .AudioBitrate = 24000, .FrameRate = "15", .FrameSize = "276x144", .VideoBitrate = 480000}},
    // SWF
    {fcVideo, 3, 0, "SWF - Best Quality - (H.263, Original; MP3, 160 kbps)",
     {.AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 160000, .FrameRate = "25", .VideoBitrate = 1200000}},
    {fcVideo, 3, 1, "SWF - Normal Quality - (H.263, 920 kbps, Original size, 20 fps; MP3, 112 kbps)",
     {.AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 112000, .FrameRate = "25", .VideoBitrate = 920000}},
    {fcVideo, 3, 2, "SWF - Optimal Quality - (H.263, 780 kbps, 352x288, 15 fps; MP3, 64 kbps)",
     {.AudioChannels = 2, .AudioSampleRate = 22050, .AudioBitrate = 64000, .FrameRate = "15", .FrameSize = "352x288", .VideoBitrate = 780000}},
    {fcVideo, 3, 3, "SWF - Low Quality - (H.263, 640 kbps, 320x240, 15 fps; MP3, 48 kbps)",
     {.AudioChannels = 2, .AudioSampleRate = 11025, .AudioBitrate = 48000, .FrameRate = "25", .FrameSize = "320x240", .VideoBitrate = 640000}},
    {fcVideo, 3, 4, "SWF - Least Quality - (H.263, 480 kbps, 176x144, 15 fps; MP3, 24 kbps)",
     {.AudioChannels = 1, .AudioSampleRate = 11025, .AudioBitrate = 24000, .FrameRate = "15", .FrameSize = "176x144", .VideoBitrate = 480000}},
    // MPEG
    {fcVideo, 4, 0, "HD Video 1080p - (MPEG2, 15000 kbps, 1920x1080, 29.97 fps)",
     {.AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 224000, .VideoCodec = "mpeg2video", .FrameRate = "30000/1001", .FrameSize = "1920x1080", .FrameAspectRatio = "4:3", .VideoBitrate = 15000000, .VideoMaxRate = 15000000, .VideoMinRate = 15000000, .VideoBufSize = 6881000}},
    {fcVideo, 4, 1, "HD Video 720p - (MPEG2, 9000 kbps, 1280x720, 29.97 fps)",
     {.AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 224000, .VideoCodec = "mpeg2video", .FrameRate = "30000/1001", .FrameSize = "1280x720", .FrameAspectRatio = "4:3", .VideoBitrate = 9000000}},
    {fcVideo, 4, 2, "DVD NTSC compatible - (MPEG2, 4000 kbps, 720x480, 29.97 fps)",
     {.AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 224000, .FrameRate = "30000/1001", .FrameAspectRatio = "4:3", .VideoBitrate = 4000000, .TargetType = 3, .TargetNorm = 2}},
    {fcVideo, 4, 3, "DVD PAL compatible - (MPEG2, 4000 kbps, 720x576, 25 fps)",
     {.AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 224000, .FrameRate = "25", .FrameAspectRatio = "4:3", .VideoBitrate = 4000000, .TargetType = 3, .TargetNorm = 1}},
    {fcVideo, 4, 4, "Video: MPEG1, 4000 kbps, Original size, 29.97 fps; Audio: 224 kbps",
     {.AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 224000, .VideoCodec = "mpeg1video", .FrameRate = "30000/1001", .VideoBitrate = 4000000, .VideoMaxRate = 4000000, .VideoMinRate = 4000000, .VideoBufSize = 1835000}},
    {fcVideo, 4, 5, "Video: MPEG2, 4000 kbps, Original size, 29.97 fps; Audio: 224 kbps",
     {.AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 224000, .VideoCodec = "mpeg2video", .FrameRate = "30000/1001", .VideoBitrate = 4000000, .VideoMaxRate = 4000000, .VideoMinRate = 4000000, .VideoBufSize = 1835000}},
    {fcVideo, 4, 6, "Creative ZEN Vision W - Best Quality - (MPEG1, 1150 kbps, 720x480, 29.97 fps)",
     {.AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "mpeg1video", .FrameRate = "30000/1001", .FrameSize = "720x480", .VideoBitrate = 1150000, .VideoMaxRate = 1150000, .VideoMinRate = 1150000, .VideoBufSize = 527000}},
    {fcVideo, 4, 7, "Creative ZEN Vision - Standard Quality - (MPEG1, 860 kbps, 480x360, 29.97 fps)",
     {.AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "mpeg1video", .FrameRate = "30000/1001", .FrameSize = "720x480", .VideoBitrate = 860000, .VideoMaxRate = 860000, .VideoMinRate = 860000, .VideoBufSize = 394000}},
    {fcVideo, 4, 8, "Creative ZEN Vision M - Normal Quality - (MPEG1, 780 kbps, 320x240, 29.97 fps)",
     {.AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 112000, .VideoCodec = "mpeg1video", .FrameRate = "30000/1001", .FrameSize = "320x240", .VideoBitrate = 780000, .VideoMaxRate = 780000, .VideoMinRate = 780000, .VideoBufSize = 357000}},
    {fcVideo, 4, 9, "Epson P3000/P4500/P5000 - (MPEG2, 2000 kbps, 720x480, 30 fps)",
     {.AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000, .VideoCodec = "mpeg1video", .FrameRate = "30", .FrameSize = "720x480", .VideoBitrate = 2000000, .VideoMaxRate = 2000000, .VideoMinRate = 2000000, .VideoBufSize = 917000}},
    {fcVideo, 4, 10, "SVCD NTSC compatible - (MPEG2, 2376 kbps, 480x480, 29.97 fps)",
     {.AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 224000, .FrameRate = "30000/1001", .FrameAspectRatio = "4:3", .VideoBitrate = 2376000, .TargetType = 2, .TargetNorm = 2}},
    {fcVideo, 4, 11, "SVCD PAL compatible - (MPEG2, 2376 kbps, 480x576, 25 fps)",
     {.AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 224000, .FrameRate = "25", .FrameAspectRatio = "4:3", .VideoBitrate = 2376000, .TargetType = 2, .TargetNorm = 1}},
    {fcVideo, 4, 12, "VCD NTSC compatible - (MPEG1, 1150 kbps, 352x240, 29.97 fps)",
     {.AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 224000, .FrameRate = "30000/1001", .FrameAspectRatio = "4:3", .VideoBitrate = 1150000, .TargetType = 1, .TargetNorm = 2}},
    {fcVideo, 4, 13, "VCD PAL compatible - (MPEG1, 1150 kbps, 352x288, 25 fps)",
     {.AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 224000, .FrameRate = "25", .FrameAspectRatio = "4:3", .VideoBitrate = 1150000, .TargetType = 1, .TargetNorm = 1}},
    // RM
    {fcVideo, 5, 0, "RM - Best Quality - (1024 kbps, Original)",
     {.VideoCodec = "rv20", .VideoBitrate = 1024000}},
    {fcVideo, 5, 1, "RM - Normal Quality - (750 kbps, Original)",
     {.VideoCodec = "rv20", .VideoBitrate = 750000}},
    {fcVideo, 5, 2, "RM - Optimal Quality - (512 kbps, Original)",
     {.VideoCodec = "rv20", .VideoBitrate = 512000}},
    {fcVideo, 5, 3, "RM - Low Quality  - (256 kbps, Original)",
     {.VideoCodec = "rv20", .VideoBitrate = 256000}},
    {fcVideo, 5, 4, "RM - Least Quality  - (128 kbps, Original)",
     {.VideoCodec = "rv20", .VideoBitrate = 128000}},
    // WMV
    {fcVideo, 6, 0, "HD Video 1080p: WMV 9, 9000 kbps; Audio: WMA Pro, 384kbps",
     {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 384000, .VideoCodec = "wmv2", .FrameRate = "30000/1001", .FrameSize = "1920x1080", .VideoBitrate = 9000000}},
    {fcVideo, 6, 1, "HD Video 720p: WMV 9, 7000 kbps; Audio: WMA Pro, 384kbps",
     {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 384000, .VideoCodec = "wmv2", .FrameRate = "30000/1001", .FrameSize = "1280x720", .VideoBitrate = 7000000}},
    {fcVideo, 6, 2, "Microsoft Zune - Best Quality - (1112 kbps, 320x240, 25 fps)",
     {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000, .VideoCodec = "wmv2", .FrameRate = "25", .FrameSize = "320x240", .VideoBitrate = 1112000}},
    {fcVideo, 6, 3, "Microsoft Zune - Normal Quality - (568 kbps, 320x240, 25 fps)",
     {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "wmv2", .FrameRate = "25", .FrameSize = "320x240", .VideoBitrate = 568000}},
    {fcVideo, 6, 4, "Video for Pocket PCs/PDAs",
     {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 32000, .AudioBitrate = 48000, .VideoCodec = "wmv2", .FrameRate = "20", .FrameSize = "192x144", .VideoBitrate = 176000}},
    {fcVideo, 6, 5, "Archos AV500/700; 4-series (704,604,504,404) - Highest Available Quality",
     {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "wmv2", .FrameRate = "25", .FrameSize = "352x288", .VideoBitrate = 920000}},
    {fcVideo, 6, 6, "Archos AV500/700; 4-series (704,604,504,404) - Good Quality",
     {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "wmv2", .FrameRate = "25", .FrameSize = "320x240", .VideoBitrate = 600000}},
    {fcVideo, 6, 7, "Archos AV500/700; 4-series (704,604,504,404) - Low Quality",
     {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000, .VideoCodec = "wmv2", .FrameRate = "25", .FrameSize = "352x288", .VideoBitrate = 400000}},
    {fcVideo, 6, 8, "Creative ZEN Vision W - Highest Available Quality",
     {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000, .VideoCodec = "wmv2", .FrameRate = "25", .FrameSize = "480x272", .VideoBitrate = 700000}},
    {fcVideo, 6, 9, "Creative ZEN Vision - Good Quality",
     {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "wmv2", .FrameRate = "25", .FrameSize = "320x240", .VideoBitrate = 720000}},
    {fcVideo, 6, 10, "Creative ZEN Vision M - Normal Quality",
     {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "wmv2", .FrameRate = "25", .FrameSize = "320x240", .VideoBitrate = 480000}},
    {fcVideo, 6, 11, "Epson Multimedia Storage Viewer P3000/P5000",
     {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "wmv2", .FrameRate = "24", .FrameSize = "352x288", .VideoBitrate = 768000}},
    {fcVideo, 6, 12, "SanDisk Sansa View",
     {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 128000, .VideoCodec = "wmv2", .FrameRate = "30", .FrameSize = "320x240", .VideoBitrate = 768000}},
    {fcVideo, 6, 13, "Palm Treo series",
     {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "wmv2", .FrameRate = "25", .FrameSize = "320x240", .VideoBitrate = 380000}},
    {fcVideo, 6, 14, "HP iPaq series",
     {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000, .VideoCodec = "wmv2", .FrameRate = "25", .FrameSize = "320x240", .VideoBitrate = 220000}},
    {fcVideo, 6, 15, "Windows Media Video 9 High Quality",
     {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 196000, .VideoCodec = "wmv2", .FrameRate = "25", .FrameSize = "320x240", .VideoBitrate = 2500000}},
    {fcVideo, 6, 16, "Windows Media Video 9 Standard Quality",
     {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "wmv2", .FrameRate = "25", .FrameSize = "320x240", .VideoBitrate = 720000}},
    {fcVideo, 6, 17, "Windows Media Video 9 Low Quality",
     {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000, .VideoCodec = "wmv2", .FrameRate = "25", .FrameSize = "320x240", .VideoBitrate = 480000}},
    // MOV
    {fcVideo, 7, 0, "Apple TV - Best Quality - (H.264, Original; MP2/4 (AAC), 320 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 320000, .VideoCodec = "libx264", .VideoPreset = "libx264-default", .VideoBitrate = 1200000}},
    {fcVideo, 7, 1, "Quick Time - HD Quality 480p - (H.264, 848x480; MP2/4 (AAC), 320 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 320000, .VideoCodec = "libx264", .VideoPreset = "libx264-default", .FrameSize = "848x480", .VideoBitrate = 1200000}},
    {fcVideo, 7, 2, "Quick Time - DVD Quality - (H.264, 720x576; MP2/4 (AAC), 320 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 320000, .VideoCodec = "libx264", .VideoPreset = "libx264-default", .FrameSize = "720x576", .VideoBitrate = 1200000}},
    {fcVideo, 7, 3, "Quick Time - Photo Quality - (Photo Jpeg, Original; MP3, 256 kbps)",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 256000, .VideoCodec = "mjpeg", .VideoBitrate = 16384000}},
    {fcVideo, 7, 4, "Quick Time - Optimal Quality - (H.263, 352x288; MP3, 128 kbps)",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "h263", .FrameSize = "352x288", .VideoBitrate = 6144000}},
    {fcVideo, 7, 5, "Quick Time - Highest Available Quality - (MPEG4, Original; MP3, 192 kbps)",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000, .VideoCodec = "mpeg4", .VideoBitrate = 921600}},
    {fcVideo, 7, 6, "Quick Time - Standard Quality - (H.263, 176x144; MP3, 128 kbps)",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "h263", .FrameSize = "176x144", .VideoBitrate = 4014080}},
    {fcVideo, 7, 7, "Quick Time - Balanced Quality - (MPEG4, Original; MP3, 96 kbps)",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000, .VideoCodec = "mpeg4", .VideoBitrate = 614400}},
    {fcVideo, 7, 8, "Quick Time - Economy Quality - (Sorenson Video; MP3, 96 kbps)",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000, .VideoCodec = "svq1", .VideoBitrate = 921600}},
    {fcVideo, 7, 9, "Quick Time - Economy Quality - (Sorenson Video; IMA ADPCM)",
     {.AudioCodec = "adpcm_ima_qt", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 352000, .VideoCodec = "svq1", .VideoBitrate = 921600}},
    // 3GP
    {fcVideo, 8, 0, "3GPP - Extended Mobile Support - (H.263, 240 kbps, 176x144, 12 fps; AMR)",
     {.AudioChannels = 1, .AudioSampleRate = 8000, .AudioBitrate = 12200, .VideoCodec = "h263", .FrameRate = "12", .FrameSize = "176x144", .VideoBitrate = 240000}},
    {fcVideo, 8, 1, "3GPP - Mobile Highest Available Quality - (MPEG4, 104 kbps, 176x144, 15 fps; AAC)",
     {.AudioCodec = "libfaac", .AudioChannels = 1, .AudioSampleRate = 32000, .AudioBitrate = 64000, .VideoCodec = "mpeg4", .FrameRate = "15", .FrameSize = "176x144", .VideoBitrate = 104000}},
    {fcVideo, 8, 2, "3GPP - Mobile Standard Quality - (MPEG4, 64 kbps, 176x144, 12 fps; AMR)",
     {.AudioChannels = 1, .AudioSampleRate = 8000, .AudioBitrate = 12200, .VideoCodec = "mpeg4", .FrameRate = "12", .FrameSize = "176x144", .VideoBitrate = 64000}},
    {fcVideo, 8, 3, "3GPP - Mobile Balanced Quality - (H.263, 140 kbps, 128x96, 10 fps; AMR)",
     {.AudioChannels = 1, .AudioSampleRate = 8000, .AudioBitrate = 10200, .VideoCodec = "h263", .FrameRate = "10", .FrameSize = "128x96", .VideoBitrate = 140000}},
    {fcVideo, 8, 4, "3GPP - Mobile Smallest Size with Audio - (MPEG4, 44 kbps, 128x96, 10 fps; AMR)",
     {.AudioChannels = 1, .AudioSampleRate = 8000, .AudioBitrate = 6700, .VideoCodec = "mpeg4", .FrameRate = "10", .FrameSize = "128x96", .VideoBitrate = 44000}},
    // iPod
    {fcDevice, 0, 0, "iPod Highest Quality (H264, 30 fps, 640x480, 2500 kbps; AAC - 160 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 160000, .VideoCodec = "libx264", .FrameRate = "30", .FrameSize = "640x480", .VideoBitrate = 2500000, .ExtOptions = H264StandardOptions}},
    {fcDevice, 0, 1, "iPod Touch High Quality (H264, 30 fps, 480x320, 2500 kbps; AAC - 160 kbps) ",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 160000, .VideoCodec = "libx264", .FrameRate = "30", .FrameSize = "480x320", .VideoBitrate = 2500000, .ExtOptions = H264StandardOptions}},
    {fcDevice, 0, 2, "iPod Touch Standard Quality (H264, 24 fps, 480x320, 1300 kbps; AAC - 128 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "libx264", .FrameRate = "24", .FrameSize = "480x320", .VideoBitrate = 1300000, .ExtOptions = H264StandardOptions}},
    {fcDevice, 0, 3, "iPod Touch Economy Quality (H264, 15 fps, 320x240, 500 kbps; AAC - 128 kbps) ",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "libx264", .FrameRate = "15", .FrameSize = "320x240", .VideoBitrate = 500000, .ExtOptions = H264StandardOptions}},
    {fcDevice, 0, 4, "iPod Classic High Quality (H264, 30 fps, 320x240, 2500 kbps; AAC - 160 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 160000, .VideoCodec = "libx264", .FrameRate = "30", .FrameSize = "320x240", .VideoBitrate = 2500000, .ExtOptions = H264StandardOptions}},
    {fcDevice, 0, 5, "iPod Classic Standard Quality (H264, 24 fps, 320x240, 1000 kbps; AAC - 128 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "libx264", .FrameRate = "24", .FrameSize = "320x240", .VideoBitrate = 1000000, .ExtOptions = H264StandardOptions}},
    {fcDevice, 0, 6, "iPod Classic Economy Quality (H264, 15 fps, 320x240, 500 kbps; AAC - 128 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "libx264", .FrameRate = "15", .FrameSize = "320x240", .VideoBitrate = 500000, .ExtOptions = H264StandardOptions}},
    {fcDevice, 0, 7, "iPod Nano High Quality (H264, 30 fps, 320x240, 2500 kbps; AAC - 160 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 160000, .VideoCodec = "libx264", .FrameRate = "30", .FrameSize = "320x240", .VideoBitrate = 2500000, .ExtOptions = H264StandardOptions}},
    {fcDevice, 0, 8, "iPod Nano Standard Quality (H264, 24 fps, 320x240, 1000 kbps; AAC - 128 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "libx264", .FrameRate = "24", .FrameSize = "320x240", .VideoBitrate = 1000000, .ExtOptions = H264StandardOptions}},
    {fcDevice, 0, 9, "iPod Nano Economy Quality (H264, 15 fps, 320x240, 500 kbps; AAC - 128 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "libx264", .FrameRate = "15", .FrameSize = "320x240", .VideoBitrate = 500000, .ExtOptions = H264StandardOptions}},
    // iPhone
    {fcDevice, 1, 0, "iPhone High Quality (H264, 30 fps, 640x480, 2500 kbps; AAC - 160 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 160000, .VideoCodec = "libx264", .FrameRate = "30", .FrameSize = "640x480", .VideoBitrate = 2500000, .ExtOptions = H264StandardOptions}},
    {fcDevice, 1, 1, "iPhone Standard Quality (H264, 24 fps, 480x320, 1300 kbps; AAC - 128 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "libx264", .FrameRate = "30", .FrameSize = "480x320", .VideoBitrate = 1300000, .ExtOptions = H264StandardOptions}},
    {fcDevice, 1, 2, "iPhone Economy Quality (H264, 15 fps, 320x240, 500 kbps; AAC - 128 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "libx264", .FrameRate = "15", .FrameSize = "320x240", .VideoBitrate = 500000, .ExtOptions = H264StandardOptions}},
    // AppleTV
    {fcDevice, 2, 0, "AppleTV High Quality (H264, 24 fps, 1280x720, 5000 kbps; AAC - 160 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 160000, .VideoCodec = "libx264", .FrameRate = "24", .FrameSize = "640x480", .VideoBitrate = 5000000, .ExtOptions = H264StandardOptions}},
    {fcDevice, 2, 1, "AppleTV Standard Quality (H264, 24 fps, 720x540, 2000 kbps; AAC - 128 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "libx264", .FrameRate = "24", .FrameSize = "720x540", .VideoBitrate = 2000000, .ExtOptions = H264StandardOptions}},
    {fcDevice, 2, 2, "AppleTV Economy Quality (H264, 24 fps, 480x360, 1000 kbps; AAC - 128 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "libx264", .FrameRate = "24", .FrameSize = "480x360", .VideoBitrate = 1000000, .ExtOptions = H264StandardOptions}},
    // PSP
    {fcDevice, 3, 0, "PSP Highest Quality (H264, 30 fps, 480x272, 1500 kbps; AAC - 160 kbps)",
     {.FileFormat = "psp", .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 160000, .VideoCodec = "libx264", .FrameRate = "30", .FrameSize = "480x272", .VideoBitrate = 1500000, .ExtOptions = H264PspOptions}},
    {fcDevice, 3, 1, "PSP Optimal Quality (H264, 24 fps, 368x208, 1000 kbps; AAC - 128 kbps)",
     {.FileFormat = "psp", .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "libx264", .FrameRate = "24", .FrameSize = "368x208", .VideoBitrate = 1000000, .ExtOptions = H264PspOptions}},
    {fcDevice, 3, 2, "PSP Economy Quality (H264, 15 fps, 368x208, 500 kbps; AAC - 128 kbps)",
     {.FileFormat = "psp", .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "libx264", .FrameRate = "15", .FrameSize = "368x208", .VideoBitrate = 500000, .ExtOptions = H264PspOptions}},
    // BlackBerry
    {fcDevice, 4, 0, "BlackBerry High Quality (H264, 30 fps, 640x480, 2500 kbps; AAC - 160 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 160000, .VideoCodec = "libx264", .VideoPreset = "libx264-default", .FrameRate = "30", .FrameSize = "640x480", .VideoBitrate = 2500000}},
    {fcDevice, 4, 1, "BlackBerry Standard Quality (H264, 24 fps, 480x320, 1300 kbps; AAC - 128 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "libx264", .VideoPreset = "libx264-default", .FrameRate = "30", .FrameSize = "480x320", .VideoBitrate = 1300000}},
    {fcDevice, 4, 2, "BlackBerry Economy Quality (H264, 15 fps, 320x240, 500 kbps; AAC - 128 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "libx264", .VideoPreset = "libx264-default", .FrameRate = "15", .FrameSize = "320x240", .VideoBitrate = 500000}},
    // MobilePhone
    {fcDevice, 5, 0, "Mobile MP4 High Quality (MPEG4, 15 fps, 320x240, 600 kbps; AAC - 192 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 192000, .VideoCodec = "mpeg4", .FrameRate = "15", .FrameSize = "320x240", .VideoBitrate = 600000}},
    {fcDevice, 5, 1, "Mobile MP4 Standard Quality (MPEG4, 15 fps, 176x144, 256 kbps; AAC - 128 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "mpeg4", .FrameRate = "15", .FrameSize = "176x144", .VideoBitrate = 256000}},
    {fcDevice, 5, 2, "Mobile MP4 Balanced Quality (MPEG4, 12 fps, 176x144, 146 kbps; AAC - 96 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 32000, .AudioBitrate = 96000, .VideoCodec = "mpeg4", .FrameRate = "12", .FrameSize = "176x144", .VideoBitrate = 146000}},
    {fcDevice, 5, 3, "Mobile MP4 Economy Quality (MPEG4, 10 fps, 128x96, 119 kbps; AAC - 64 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 22050, .AudioBitrate = 64000, .VideoCodec = "mpeg4", .FrameRate = "10", .FrameSize = "128x96", .VideoBitrate = 119000}},
    // iPad
    {fcDevice, 6, 0, "iPad High Quality (H264, 30 fps, 640x480, 2500 kbps; AAC - 160 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 160000, .VideoCodec = "libx264", .FrameRate = "30", .FrameSize = "640x480", .VideoBitrate = 2500000, .ExtOptions = H264StandardOptions}},
    {fcDevice, 6, 1, "iPad Standard Quality (H264, 24 fps, 480x320, 1300 kbps; AAC - 128 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "libx264", .FrameRate = "30", .FrameSize = "480x320", .VideoBitrate = 1300000, .ExtOptions = H264StandardOptions}},
    {fcDevice, 6, 2, "iPad Economy Quality (H264, 15 fps, 320x240, 500 kbps; AAC - 128 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "libx264", .FrameRate = "15", .FrameSize = "320x240", .VideoBitrate = 500000, .ExtOptions = H264StandardOptions}},
    // Android
    {fcDevice, 7, 0, "Android High Quality (H264, 30 fps, 640x480, 2500 kbps; AAC - 160 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 160000, .VideoCodec = "libx264", .FrameRate = "30", .FrameSize = "640x480", .VideoBitrate = 2500000, .ExtOptions = H264StandardOptions}},
    {fcDevice, 7, 1, "Android Standard Quality (H264, 24 fps, 480x320, 1300 kbps; AAC - 128 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "libx264", .FrameRate = "30", .FrameSize = "480x320", .VideoBitrate = 1300000, .ExtOptions = H264StandardOptions}},
    {fcDevice, 7, 2, "Android Economy Quality (H264, 15 fps, 320x240, 500 kbps; AAC - 128 kbps)",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .VideoCodec = "libx264", .FrameRate = "15", .FrameSize = "320x240", .VideoBitrate = 500000, .ExtOptions = H264StandardOptions}},
    // WAV
    {fcAudio, 0, 0, "For Mobiles - PCM: 11025 Hz, Mono, 16 bits",
     {.AudioCodec = "pcm_s16le", .AudioChannels = 1, .AudioSampleRate = 11025}},
    {fcAudio, 0, 1, "AM Radio Quality - PCM: 22050 Hz, Mono, 16 bits",
     {.AudioCodec = "pcm_s16le", .AudioChannels = 1, .AudioSampleRate = 22050}},
    {fcAudio, 0, 2, "FM Radio Quality - PCM: 22050 Hz, Sterro, 24 bits",
     {.AudioCodec = "pcm_s24le", .AudioChannels = 2, .AudioSampleRate = 22050}},
    {fcAudio, 0, 3, "HiFi Quality - PCM: 48000Hz, Stereo, 32 bits",
     {.AudioCodec = "pcm_s32le", .AudioChannels = 2, .AudioSampleRate = 48000}},
    {fcAudio, 0, 4, "Uncompressed (CD Audio Quality)",
     {.AudioCodec = "pcm_s16le", .AudioChannels = 2, .AudioSampleRate = 44000}},
    // MP3
    {fcAudio, 1, 0, "For Mobile - MP3: 44100 Hz, Stereo, 112 kbps",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 112000}},
    {fcAudio, 1, 1, "For Media Player - MP3: 48000 Hz, Stereo, 128 kbps",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 128000}},
    {fcAudio, 1, 2, "Normal Quality - MP3: 48000 Hz, Stereo, 256 kbps",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 256000}},
    {fcAudio, 1, 3, "Best Quality - MP3: 48000 Hz, Stereo, 320 kbps",
     {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 320000}},
    // WMA
    {fcAudio, 2, 0, "For Media Player Best Quality",
     {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 192000}},
    {fcAudio, 2, 1, "For Media Player Economy Quality",
     {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000}},
    {fcAudio, 2, 2, "For Pocket PCs/PDAs Normal Quality",
     {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000}},
    {fcAudio, 2, 3, "For PC Normal Quality",
     {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000}},
    {fcAudio, 2, 4, "WMA Losslesss Audio",
     {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrateFromSource = true}},
    // OGG
    {fcAudio, 3, 0, "Telephone Quality - Ogg Vorbis: Quality - 4.97; 11025 Hz, Mono",
     {.AudioCodec = "libvorbis", .AudioSampleRate = 11025, .VideoCodec = "libtheora", .ExtOptions = "aq=4.97"}},
    {fcAudio, 3, 1, "AM Radio Quality - Ogg Vorbis: Quality - 4.97; 22050 Hz, Mono",
     {.AudioCodec = "libvorbis", .AudioSampleRate = 22050, .VideoCodec = "libtheora", .ExtOptions = "aq=4.97"}},
    {fcAudio, 3, 2, "FM Radio Quality - Ogg Vorbis: Quality - 4.97; 22050 Hz, Stereo",
     {.AudioCodec = "libvorbis", .AudioSampleRate = 22050, .VideoCodec = "libtheora", .ExtOptions = "aq=4.97"}},
    {fcAudio, 3, 3, "CD Quality - Ogg Vorbis: Quality - 4.97; 44100 Hz, Stereo",
     {.AudioCodec = "libvorbis", .AudioSampleRate = 44100, .VideoCodec = "libtheora", .ExtOptions = "aq=4.97"}},
    {fcAudio, 3, 4, "HiFi Quality - Ogg Vorbis: Quality - 8.05; 48000 Hz, Stereo",
     {.AudioCodec = "libvorbis", .AudioSampleRate = 48000, .VideoCodec = "libtheora", .ExtOptions = "aq=8.05"}},
    // AAC
    {fcAudio, 4, 0, "For Mobiles - MPEG2/4 LC: 16000 Hz, Mono, 96 kbps",
     {.AudioCodec = "libfaac", .AudioChannels = 1, .AudioSampleRate = 16000, .AudioBitrate = 96000}},
    {fcAudio, 4, 1, "AM Quality - MPEG2/4 LC: 22500 Hz, Mono, 112 kbps",
     {.AudioCodec = "libfaac", .AudioChannels = 1, .AudioSampleRate = 22500, .AudioBitrate = 112000}},
    {fcAudio, 4, 2, "FM Quality - MPEG2/4 LC: 22500 Hz, Stereo, 224 kbps",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 22500, .AudioBitrate = 224000}},
    {fcAudio, 4, 3, "CD Quality - MPEG2/4 LC: 44100 Hz, Stereo, 256 kbps",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 256000}},
    {fcAudio, 4, 4, "HiFi Quality - MPEG2/4 LC: 48000 Hz, Stereo, 256 kbps",
     {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 256000}},
    // M4A
    {fcAudio, 5, 0, "Normal Quality - MPEG2/4 LC: 44100 Hz, Stereo, 96 kbps",
     {.AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000}},
    {fcAudio, 5, 1, "Best Quality - MPEG2/4 LC: 48000 Hz, Stereo, 256 kbps",
     {.AudioChannels = 2, .AudioSampleRate = 44800, .AudioBitrate = 256000}},
    // FLAC
    {fcAudio, 6, 0, "Compression Level 0",
     {.AudioCodec = "flac", .ExtOptions = "compression_level=0"}},
    {fcAudio, 6, 1, "Compression Level 1",
     {.AudioCodec = "flac", .ExtOptions = "compression_level=1"}},
    {fcAudio, 6, 2, "Compression Level 2",
     {.AudioCodec = "flac", .ExtOptions = "compression_level=2"}},
    {fcAudio, 6, 3, "Compression Level 3",
     {.AudioCodec = "flac", .ExtOptions = "compression_level=3"}},
    {fcAudio, 6, 4, "Compression Level 4",
     {.AudioCodec = "flac", .ExtOptions = "compression_level=4"}},
    {fcAudio, 6, 5, "Compression Level 5 (Default)",
     {.AudioCodec = "flac", .ExtOptions = "compression_level=5"}},
    {fcAudio, 6, 6, "Compression Level 6",
     {.AudioCodec = "flac", .ExtOptions = "compression_level=6"}},
    {fcAudio, 6, 7, "Compression Level 7",
     {.AudioCodec = "flac", .ExtOptions = "compression_level=7"}},
    {fcAudio, 6, 8, "Compression Level 8",
     {.AudioCodec = "flac", .ExtOptions = "compression_level=8"}},
    // MP2
    {fcAudio, 7, 0, "For Mobiles - MPEG layer-2: 22050 Hz, Mono, 96 kbps",
     {.AudioChannels = 1, .AudioSampleRate = 22050, .AudioBitrate = 96000}},
    {fcAudio, 7, 1, "AM Quality - MPEG layer-2: 22050 Hz, Mono, 112 kbps",
     {.AudioChannels = 1, .AudioSampleRate = 22050, .AudioBitrate = 112000}},
    {fcAudio, 7, 2, "FM Quality - MPEG layer-2: 22050 Hz, Stereo, 128 kbps",
     {.AudioChannels = 2, .AudioSampleRate = 22050, .AudioBitrate = 128000}},
};
// clang-format on

constexpr std::string_view FormatFlagKey(uint8_t formatClass, uint8_t number) {
    switch (formatClass) {
    case fcVideo:
        return VideoFormatKeys[number];
    case fcDevice:
        return DeviceFormatKeys[number];
    default:
        return AudioFormatKeys[number];
    }
}

// The tables must agree with the numbering, the settings' defaults and the product flag keys,
// and every format's rows must be complete and in index order: checked once, at compile time.
constexpr bool TablesAreConsistent() {
    size_t row = 0;
    size_t format = 0;
    for (uint8_t c = 0; c < FormatClassCount; ++c) {
        if (FormatClassTable[c].Value != c) return false;
        for (uint8_t n = 0; n < FormatCountOfClass[c]; ++n, ++format) {
            const TFormatInfo& f = FormatTable[format];
            if (f.Class != c || f.Number != n) return false;
            if (f.DefaultPreset != DefaultPresetIndex[c][n]) return false;
            if (f.DefaultPreset < 0 || f.DefaultPreset >= f.PresetCount) return false;
            if (f.FlagKey != FormatFlagKey(c, n)) return false;
            for (int32_t i = 0; i < f.PresetCount; ++i, ++row) {
                if (row >= std::size(PresetTable)) return false;
                const TPresetRow& r = PresetTable[row];
                if (r.Class != c || r.Format != n || r.Index != i) return false;
            }
        }
    }
    return format == std::size(FormatTable) && row == std::size(PresetTable);
}
static_assert(TablesAreConsistent());
static_assert(std::size(FormatTable) == 25 && std::size(PresetTable) == 180);
static_assert(H264StandardOptions.size() == 237 && H264PspOptions.size() == 297);

} // namespace

std::span<const TFormatClassInfo> FormatClasses() {
    return FormatClassTable;
}
std::span<const TFormatInfo> Formats() {
    return FormatTable;
}
std::span<const TPresetRow> PresetRows() {
    return PresetTable;
}

const TFormatClassInfo* FindFormatClass(int formatClass) {
    if (formatClass < 0 || formatClass >= FormatClassCount) return nullptr;
    return &FormatClassTable[formatClass];
}

const TFormatInfo* FindFormat(int formatClass, int format) {
    const auto it = std::find_if(std::begin(FormatTable), std::end(FormatTable), [&](const TFormatInfo& f) {
        return f.Class == formatClass && f.Number == format;
    });
    return it == std::end(FormatTable) ? nullptr : &*it;
}

const TPresetRow* FindPreset(int formatClass, int format, int32_t index) {
    const auto it = std::find_if(std::begin(PresetTable), std::end(PresetTable), [&](const TPresetRow& r) {
        return r.Class == formatClass && r.Format == format && r.Index == index;
    });
    return it == std::end(PresetTable) ? nullptr : &*it;
}

std::vector<std::string_view> PresetTexts(int formatClass, int format) {
    std::vector<std::string_view> texts;
    for (const TPresetRow& r : PresetTable)
        if (r.Class == formatClass && r.Format == format) texts.push_back(r.Text);
    return texts;
}

} // namespace mw
