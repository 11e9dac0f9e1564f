#include "engine/options/FFOptionTable.h"

#include "engine/options/FFOptionHandlers.h"
#include "engine/options/FFOptionState.h"

namespace mw {

namespace {

using K = TOptionKind;
using S = TOptionScope;
using O = TOptionState;

constexpr TOptionTarget Int(int O::*field) {
    return {.Int = field};
}
constexpr TOptionTarget Float(float O::*field) {
    return {.Float = field};
}
constexpr TOptionTarget Bool(bool O::*field) {
    return {.Bool = field};
}
constexpr TOptionTarget Text(std::string O::*field) {
    return {.Text = field};
}

// Built on first use, so other files' static initialisers (the help text) may read it.
const std::vector<TOptionDef>& Rows() {
    static const std::vector<TOptionDef> Table = {
        // Accepted and ignored.
        {"L", K::None, S::Ignored, HandleIgnored, "show license (ignored)"},
        {"h", K::None, S::Ignored, HandleIgnored, "show help (ignored)"},
        {"version", K::None, S::Ignored, HandleIgnored, "show version (ignored)"},
        {"formats", K::None, S::Ignored, HandleIgnored, "show available formats (ignored)"},
        {"codecs", K::None, S::Ignored, HandleIgnored, "show available codecs (ignored)"},
        {"bsfs", K::None, S::Ignored, HandleIgnored, "show available bit stream filters (ignored)"},
        {"protocols", K::None, S::Ignored, HandleIgnored, "show available protocols (ignored)"},
        {"filters", K::None, S::Ignored, HandleIgnored, "show available filters (ignored)"},
        {"i", K::Text, S::Ignored, HandleIgnored, "input file name (the position names the input)"},
        {"y", K::None, S::Ignored, HandleIgnored, "overwrite output files (checked by the tool)"},
        {"benchmark", K::None, S::Ignored, HandleIgnored, "add timings for benchmarking (ignored)"},

        // Job-wide.
        {"loglevel", K::Text, S::Global, HandleLogLevel, "set the log level (quiet ... debug, or a number)"},
        {"v", K::Integer, S::Global, HandleInteger, "set the verbosity", Int(&O::Verbosity)},
        {"timelimit", K::Integer, S::Global, HandleTimeLimit, "set max runtime in seconds (not implemented)"},
        {"threads", K::Integer, S::Global, HandleThreads, "thread count"},
        {"map", K::Text, S::Global, HandleMap, "set input stream mapping: file.stream[:syncfile.syncstream]"},
        {"map_meta_data", K::Text, S::Global, HandleMapMetaData,
         "set metadata information of outfile from infile: outfile[,type[index]]:infile[,type[index]]"},
        {"map_chapters", K::Text, S::Global, HandleMapChapters, "set chapters mapping: outfile:infile"},
        {"t", K::Time, S::Output, HandleDuration, "record or transcode \"duration\" seconds of audio/video"},
        {"fs", K::Integer, S::Output, HandleFileSize, "set the limit file size in bytes"},
        {"timestamp", K::Time, S::Output, HandleTimestamp, "set the recording timestamp"},
        {"metadata", K::Text, S::Output, HandleMetadata, "add metadata: key=value"},
        {"dframes", K::Integer, S::Output, HandleFrames, "set the number of data frames to record", {}, 2},
        {"vframes", K::Integer, S::Output, HandleFrames, "set the number of video frames to record", {}, 0},
        {"aframes", K::Integer, S::Output, HandleFrames, "set the number of audio frames to record", {}, 1},
        {"target", K::Text, S::Output, HandleTarget,
         "specify target file type (\"vcd\", \"svcd\", \"dvd\", \"dv\", \"dv50\", \"pal-vcd\", "
         "\"ntsc-svcd\", "
         "...)"},
        {"dump", K::Switch, S::Global, HandleSwitch, "dump each input packet", Bool(&O::DumpPackets)},
        {"hex", K::Switch, S::Global, HandleSwitch, "when dumping packets, also dump the payload",
         Bool(&O::HexDump)},
        {"re", K::Switch, S::Global, HandleSwitch, "read input at native frame rate", Bool(&O::RateEmu)},
        {"loop_input", K::Switch, S::Input, HandleSwitch, "loop (current only works with images)",
         Bool(&O::LoopInput)},
        {"loop_output", K::Integer, S::Output, HandleInteger,
         "number of times to loop output in formats that support looping (0 loops forever)",
         Int(&O::LoopOutput)},
        {"vsync", K::Integer, S::Global, HandleInteger, "video sync method", Int(&O::VideoSyncMethod)},
        {"async", K::Integer, S::Global, HandleInteger, "audio sync method", Int(&O::AudioSyncMethod)},
        {"adrift_threshold", K::Float, S::Global, HandleFloat, "audio drift threshold",
         Float(&O::AudioDriftThreshold)},
        {"copyts", K::Switch, S::Global, HandleSwitch, "copy timestamps", Bool(&O::CopyTs)},
        {"copytb", K::Switch, S::Global, HandleSwitch, "copy input stream time base when stream copying",
         Bool(&O::CopyTb)},
        {"shortest", K::Switch, S::Global, HandleSwitch, "finish encoding within shortest input",
         Bool(&O::Shortest)},
        {"dts_delta_threshold", K::Float, S::Global, HandleFloat, "timestamp discontinuity delta threshold",
         Float(&O::DtsDeltaThreshold)},
        {"programid", K::Integer, S::Input, HandleProgramId, "desired program number"},
        {"xerror", K::Switch, S::Global, HandleSwitch, "exit on error", Bool(&O::ExitOnError)},
        {"copyinkf", K::Integer, S::Global, HandleInteger, "copy initial non-keyframes",
         Int(&O::CopyInitialNonKeyframes)},
        {"isync", K::Switch, S::Global, HandleSwitch, "sync read on input", Bool(&O::InputSync)},
        {"muxdelay", K::Float, S::Output, HandleFloat, "set the maximum demux-decode delay",
         Float(&O::MuxMaxDelay)},
        {"muxpreload", K::Float, S::Output, HandleFloat, "set the initial demux-decode delay",
         Float(&O::MuxPreload)},
        {"fpre", K::Text, S::Output, HandlePreset, "set options from indicated preset file", {}, 'f'},

        // Per input.
        {"f", K::Text, S::Input, HandleText, "force format", Text(&O::ForcedFormat)},
        {"ss", K::Time, S::Input, HandleDuration, "set the start time offset"},
        {"itsoffset", K::Time, S::Input, HandleDuration, "set the input ts offset"},
        {"itsscale", K::Text, S::Input, HandleItsScale, "set the input ts scale: stream:scale"},
        {"vc", K::Integer, S::Input, HandleInteger, "set video grab channel (DV1394 only)",
         Int(&O::VideoChannel)},
        {"tvstd", K::Text, S::Input, HandleText, "set television standard (NTSC, PAL (SECAM))",
         Text(&O::VideoStandard)},
        {"noautorotate", K::Switch, S::Input, HandleSwitch, "keep rotated pictures as they are stored",
         Bool(&O::NoAutoRotate)},

        // Video.
        {"b", K::Text, S::Stream, HandleBitRate, "set bitrate (in bits/s)"},
        {"vb", K::Text, S::Stream, HandleBitRate, "set video bitrate (in bits/s)"},
        {"r", K::Text, S::Stream, HandleFrameRate, "set frame rate (Hz value, fraction or abbreviation)"},
        {"s", K::Text, S::Stream, HandleFrameSize, "set frame size (WxH or abbreviation)"},
        {"aspect", K::Text, S::Stream, HandleAspect, "set aspect ratio (4:3, 16:9 or 1.3333, 1.7777)"},
        {"pix_fmt", K::Text, S::Stream, HandlePixelFormat, "set pixel format, 'list' as argument shows all"},
        {"croptop", K::Integer, S::Stream, HandleRemovedCrop, "removed, use the crop filter instead"},
        {"cropbottom", K::Integer, S::Stream, HandleRemovedCrop, "removed, use the crop filter instead"},
        {"cropleft", K::Integer, S::Stream, HandleRemovedCrop, "removed, use the crop filter instead"},
        {"cropright", K::Integer, S::Stream, HandleRemovedCrop, "removed, use the crop filter instead"},
        {"padtop", K::Integer, S::Stream, HandleRemovedPad, "removed, use the pad filter instead"},
        {"padbottom", K::Integer, S::Stream, HandleRemovedPad, "removed, use the pad filter instead"},
        {"padleft", K::Integer, S::Stream, HandleRemovedPad, "removed, use the pad filter instead"},
        {"padright", K::Integer, S::Stream, HandleRemovedPad, "removed, use the pad filter instead"},
        {"padcolor", K::Text, S::Stream, HandleRemovedPad, "removed, use the pad filter instead"},
        {"intra", K::Switch, S::Stream, HandleSwitch, "use only intra frames", Bool(&O::IntraOnly)},
        {"vn", K::Switch, S::Stream, HandleDisable, "disable video", {}, skVideo},
        {"vdt", K::Integer, S::Stream, HandleInteger, "discard threshold", Int(&O::VideoDiscard)},
        {"qscale", K::Float, S::Stream, HandleQScale, "use fixed video quantizer scale (VBR)"},
        {"rc_override", K::Text, S::Stream, HandleText, "rate control override for specific intervals",
         Text(&O::RcOverride)},
        {"vcodec", K::Text, S::Stream, HandleCodec, "force video codec ('copy' to copy stream)", {}, skVideo},
        {"me_threshold", K::Integer, S::Stream, HandleInteger, "motion estimaton threshold",
         Int(&O::MeThreshold)},
        {"sameq", K::Switch, S::Stream, HandleSwitch, "use same video quality as source (implies VBR)",
         Bool(&O::SameQuality)},
        {"pass", K::Integer, S::Stream, HandlePass, "select the pass number (1 or 2)"},
        {"passlogfile", K::Text, S::Stream, HandleText, "select two pass log file name prefix",
         Text(&O::PassLogFileName)},
        {"deinterlace", K::Switch, S::Stream, HandleSwitch, "deinterlace pictures", Bool(&O::Deinterlace)},
        {"psnr", K::Switch, S::Stream, HandleSwitch, "calculate PSNR of compressed frames", Bool(&O::Psnr)},
        {"vstats", K::Switch, S::Global, HandleVStats, "dump video coding statistics to file"},
        {"vstats_file", K::Text, S::Global, HandleText, "dump video coding statistics to file",
         Text(&O::VStatsFileName)},
        {"vhook", K::Text, S::Global, HandleVHook, "insert video processing module (plug-in|args...)"},
        {"vfilters", K::Text, S::Stream, HandleText, "video filters", Text(&O::VideoFilters)},
        {"vf", K::Text, S::Stream, HandleText, "video filters", Text(&O::VideoFilters)},
        {"intra_matrix",
         K::Text,
         S::Stream,
         HandleMatrix,
         "specify intra matrix coeffs (64, comma-separated)",
         {},
         0},
        {"inter_matrix",
         K::Text,
         S::Stream,
         HandleMatrix,
         "specify inter matrix coeffs (64, comma-separated)",
         {},
         1},
        {"top", K::Integer, S::Stream, HandleInteger, "top=1/bottom=0/auto=-1 field first",
         Int(&O::TopFieldFirst)},
        {"dc", K::Integer, S::Stream, HandleInteger, "intra_dc_precision", Int(&O::IntraDcPrecision)},
        {"vtag", K::Text, S::Stream, HandleTag, "force video tag/fourcc", {}, skVideo},
        {"newvideo",
         K::None,
         S::Output,
         HandleNewStream,
         "add a new video stream to the current output stream",
         {},
         skVideo},
        {"vlang",
         K::Text,
         S::Stream,
         HandleLanguage,
         "set the ISO 639 language code (3 letters) of the current video stream",
         {},
         skVideo},
        {"qphist", K::Switch, S::Global, HandleSwitch, "show QP histogram", Bool(&O::QpHist)},
        {"force_fps", K::Switch, S::Stream, HandleSwitch,
         "force the selected framerate, disable the best supported framerate selection", Bool(&O::ForceFps)},
        {"streamid", K::Text, S::Output, HandleStreamId, "set the value of an outfile streamid: index:value"},
        {"force_key_frames", K::Text, S::Stream, HandleForceKeyFrames,
         "force key frames at specified timestamps"},
        {"vglobal", K::Integer, S::Stream, HandleInteger, "video global header storage type",
         Int(&O::UseGlobalHeaders)},

        // Audio.
        {"ab", K::Text, S::Stream, HandleBitRate, "set audio bitrate (in bits/s)"},
        {"aq", K::Float, S::Stream, HandleFloat, "set audio quality (codec-specific)",
         Float(&O::AudioQScale)},
        {"ar", K::Integer, S::Stream, HandlePositiveInteger, "set audio sampling rate (in Hz)",
         Int(&O::AudioSampleRate)},
        {"ac", K::Integer, S::Stream, HandlePositiveInteger, "set number of audio channels",
         Int(&O::AudioChannels)},
        {"an", K::Switch, S::Stream, HandleDisable, "disable audio", {}, skAudio},
        {"acodec", K::Text, S::Stream, HandleCodec, "force audio codec ('copy' to copy stream)", {}, skAudio},
        {"vol", K::Integer, S::Stream, HandleInteger, "change audio volume (256=normal)",
         Int(&O::AudioVolume)},
        {"newaudio",
         K::None,
         S::Output,
         HandleNewStream,
         "add a new audio stream to the current output stream",
         {},
         skAudio},
        {"alang",
         K::Text,
         S::Stream,
         HandleLanguage,
         "set the ISO 639 language code (3 letters) of the current audio stream",
         {},
         skAudio},
        {"atag", K::Text, S::Stream, HandleTag, "force audio tag/fourcc", {}, skAudio},
        {"sample_fmt", K::Text, S::Stream, HandleSampleFormat,
         "set sample format, 'list' as argument shows all"},

        // Subtitles.
        {"sn", K::Switch, S::Stream, HandleDisable, "disable subtitle", {}, skSubtitle},
        {"scodec",
         K::Text,
         S::Stream,
         HandleCodec,
         "force subtitle codec ('copy' to copy stream)",
         {},
         skSubtitle},
        {"newsubtitle",
         K::None,
         S::Output,
         HandleNewStream,
         "add a new subtitle stream to the current output stream",
         {},
         skSubtitle},
        {"slang",
         K::Text,
         S::Stream,
         HandleLanguage,
         "set the ISO 639 language code (3 letters) of the current subtitle stream",
         {},
         skSubtitle},
        {"stag", K::Text, S::Stream, HandleTag, "force subtitle tag/fourcc", {}, skSubtitle},

        // Bitstream filters and presets.
        {"absf", K::Text, S::Stream, HandleBsf, "audio bitstream filter", {}, skAudio},
        {"vbsf", K::Text, S::Stream, HandleBsf, "video bitstream filter", {}, skVideo},
        {"sbsf", K::Text, S::Stream, HandleBsf, "subtitle bitstream filter", {}, skSubtitle},
        {"apre", K::Text, S::Stream, HandlePreset, "set the audio options to the indicated preset", {}, 'a'},
        {"vpre", K::Text, S::Stream, HandlePreset, "set the video options to the indicated preset", {}, 'v'},
        {"spre",
         K::Text,
         S::Stream,
         HandlePreset,
         "set the subtitle options to the indicated preset",
         {},
         's'},

        // Old x264 names, translated to today's options (flags2 and partitions values are translated too).
        {"directpred", K::Integer, S::Stream, HandleGeneric, "old name of direct-pred"},
        {"deblockalpha", K::Integer, S::Stream, HandleGeneric, "old loop filter alpha, part of deblock"},
        {"deblockbeta", K::Integer, S::Stream, HandleGeneric, "old loop filter beta, part of deblock"},
        {"aq_mode", K::Integer, S::Stream, HandleGeneric, "old name of aq-mode"},
        {"aq_strength", K::Float, S::Stream, HandleGeneric, "old name of aq-strength"},
        {"rc_lookahead", K::Integer, S::Stream, HandleGeneric, "old name of rc-lookahead"},
        {"psy_rd", K::Text, S::Stream, HandleGeneric, "old name of psy-rd"},
        {"cqp", K::Integer, S::Stream, HandleGeneric, "old name of qp"},
    };
    return Table;
}

} // namespace

const std::vector<TOptionDef>& OptionTable() {
    return Rows();
}

const TOptionDef* FindOptionDef(const std::string& name) {
    for (const auto& row : Rows())
        if (row.Handler && name == row.Name) return &row;
    return nullptr;
}

} // namespace mw
