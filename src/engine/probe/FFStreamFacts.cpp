// The probe decoder's facts about the loaded file: counts, first streams, and the file and stream
// records (TFileStreamInfo, TVideoStreamInfo, TAudioStreamInfo).
#include "engine/probe/FFDecode.h"

#include <algorithm>
#include <climits>
#include <sys/stat.h>

namespace mw {

namespace {

int32_t ClampInt32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

std::string MetadataValue(AVDictionary* metadata, std::initializer_list<const char*> keys) {
    for (const char* key : keys) {
        const AVDictionaryEntry* e = FFApi.av_dict_get(metadata, key, nullptr, 0);
        if (e && e->value) return e->value;
    }
    return std::string();
}

// Decoder name with its long name, else what is known of the codec or its tag.
std::string CodecDescription(const AVCodecParameters* par) {
    if (const AVCodec* decoder = FFApi.avcodec_find_decoder(par->codec_id)) {
        std::string text = decoder->name;
        if (decoder->long_name && *decoder->long_name) text += std::string("(") + decoder->long_name + ")";
        return text;
    }
    if (par->codec_id == AV_CODEC_ID_MPEG2TS) return "mpeg2ts";
    if (par->codec_id != AV_CODEC_ID_NONE) return FFApi.avcodec_get_name(par->codec_id);
    const uint32_t tag = par->codec_tag;
    const char c[4] = {static_cast<char>(tag & 0xFF), static_cast<char>((tag >> 8) & 0xFF),
                       static_cast<char>((tag >> 16) & 0xFF), static_cast<char>((tag >> 24) & 0xFF)};
    if (std::all_of(c, c + 4, [](char ch) { return ch >= 32 && ch <= 126; }))
        return FormatText("%c%c%c%c / 0x%04X", c[0], c[1], c[2], c[3], tag);
    return FormatText("0x%04x", tag);
}

int64_t ToMicroseconds(int64_t value, AVRational timeBase) {
    return value == AV_NOPTS_VALUE ? -1 : FFApi.av_rescale_q(value, timeBase, AVRational{1, AV_TIME_BASE});
}

} // namespace

void TCustomDecoder::ComputeFacts() {
    FFileSize = FStreamCount = FProgramCount = -1;
    FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = -1;
    FFirstAudioStream = FFirstVideoStream = FFirstSubtitleStream = -1;
    if (!FContext) return;
    const int64_t containerSize = FContext->pb ? FFApi.avio_size(FContext->pb) : -1;
    FFileSize = containerSize;
    if (containerSize <= 0) {
        struct stat st;
        const std::string name = WideFileName(FContext->url ? FContext->url : "");
        if (::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode)) FFileSize = st.st_size;
    }
    FStreamCount = static_cast<int>(FContext->nb_streams);
    FProgramCount = static_cast<int>(FContext->nb_programs);
    FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = 0;
    for (int i = 0; i < FStreamCount; ++i) {
        switch (FContext->streams[i]->codecpar->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            if (FVideoStreamCount++ == 0) FFirstVideoStream = i;
            break;
        case AVMEDIA_TYPE_AUDIO:
            if (FAudioStreamCount++ == 0) FFirstAudioStream = i;
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            if (FSubtitleStreamCount++ == 0) FFirstSubtitleStream = i;
            break;
        default:
            break;
        }
    }
}

bool TFFDecoder::GetFileStreamInfo(TFileStreamInfo& info) {
    info = TFileStreamInfo();
    if (!FContext) {
        Report(llWarning, "file not loaded.");
        return false;
    }
    info.StartTime = FContext->start_time == AV_NOPTS_VALUE ? -1 : FContext->start_time;
    info.Duration = FContext->duration == AV_NOPTS_VALUE ? -1 : FContext->duration;
    info.BitRate = ClampInt32(FContext->bit_rate);
    AVDictionary* md = FContext->metadata;
    const std::string created = MetadataValue(md, {"creation_time", "date"});
    int64_t when = 0;
    if (!created.empty() && FFApi.av_parse_time(&when, created.c_str(), 0) == 0) info.Timestamp = when;
    const std::string year = MetadataValue(md, {"year", "date"});
    if (year.size() >= 4 && std::all_of(year.begin(), year.begin() + 4, ::isdigit))
        info.Year = std::stoi(year.substr(0, 4));
    const std::string track = MetadataValue(md, {"track"});
    if (!track.empty() && ::isdigit(static_cast<unsigned char>(track[0])))
        info.Track = std::atoi(track.c_str());
    info.Title = MetadataValue(md, {"title"});
    info.Author = MetadataValue(md, {"author", "artist"});
    info.Copyright = MetadataValue(md, {"copyright"});
    info.Comment = MetadataValue(md, {"comment"});
    info.Album = MetadataValue(md, {"album"});
    info.Genre = MetadataValue(md, {"genre"});
    return true;
}

// The fields video and audio stream records share.
template <typename TInfo> static void FillCommonStreamInfo(TInfo& info, const AVStream* st) {
    const AVCodecParameters* par = st->codecpar;
    info.Language = MetadataValue(st->metadata, {"language"});
    info.CodecName = CodecDescription(par);
    info.StartTime = st->start_time;
    info.StartTimeUs = ToMicroseconds(st->start_time, st->time_base);
    info.Duration = st->duration;
    info.DurationUs = ToMicroseconds(st->duration, st->time_base);
    info.BitRate = ClampInt32(par->bit_rate);
}

bool TFFDecoder::GetVideoStreamInfo(int streamIndex, TVideoStreamInfo& info) {
    info = TVideoStreamInfo();
    if (!FContext) {
        Report(llWarning, "file not loaded.");
        return false;
    }
    const int index = ChooseStream(streamIndex, AVMEDIA_TYPE_VIDEO);
    if (index < 0) return false;
    const AVStream* st = FContext->streams[index];
    const AVCodecParameters* par = st->codecpar;
    FillCommonStreamInfo(info, st);
    info.Height = par->height;
    info.Width = par->width;
    const AVRational sar = par->sample_aspect_ratio;
    info.DisplayAspectRatio =
        sar.num == 0 || sar.den == 0 || par->height == 0
            ? 0.0f
            : static_cast<float>(static_cast<double>(sar.num) / sar.den * par->width / par->height);
    info.PixelFormat = par->format;
    info.Rotation = StreamRotationDegrees(st);
    const AVRational rate =
        st->avg_frame_rate.num && st->avg_frame_rate.den ? st->avg_frame_rate : st->r_frame_rate;
    info.FrameRateNum = rate.num;
    info.FrameRateDen = rate.den;
    return true;
}

bool TFFDecoder::GetAudioStreamInfo(int streamIndex, TAudioStreamInfo& info) {
    info = TAudioStreamInfo();
    if (!FContext) {
        Report(llWarning, "file not loaded.");
        return false;
    }
    const int index = ChooseStream(streamIndex, AVMEDIA_TYPE_AUDIO);
    if (index < 0) return false;
    const AVStream* st = FContext->streams[index];
    const AVCodecParameters* par = st->codecpar;
    FillCommonStreamInfo(info, st);
    info.Channels = par->ch_layout.nb_channels;
    info.SampleRate = par->sample_rate;
    info.SampleFormat = par->format;
    return true;
}

std::string TFFDecoder::CodecIdName(int streamIndex) const {
    if (!FContext || streamIndex < 0 || streamIndex >= FStreamCount) return std::string();
    return FFApi.avcodec_get_name(FContext->streams[streamIndex]->codecpar->codec_id);
}

} // namespace mw
