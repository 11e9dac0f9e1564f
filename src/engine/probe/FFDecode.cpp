#include "engine/probe/FFDecode.h"

#include "engine/FFLoad.h"

#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>
#include <tuple>
#include <utility>
#include <vector>

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

// A zero denominator would make every time conversion divide by zero.
void FixTimeBase(AVStream* st) {
    if (st->time_base.den == 0) {
        st->time_base.den = st->time_base.num;
        if (st->time_base.den == 0) st->time_base.den = 1;
    }
}

int64_t ToMicroseconds(int64_t value, AVRational timeBase) {
    return value == AV_NOPTS_VALUE ? -1 : FFApi.av_rescale_q(value, timeBase, AVRational{1, AV_TIME_BASE});
}

int64_t IOPosition(AVFormatContext* ic) {
    return ic->pb ? FFApi.avio_seek(ic->pb, 0, SEEK_CUR) : -1;
}

} // namespace

// ---- TCustomDecoder ----

void TCustomDecoder::Report(TLogLevel level, const std::string& text) {
    FLastErrorMessage = text;
    EngineLog(this, level, text);
}

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

// ---- TFFDecoder ----

TFFDecoder::TFFDecoder() = default;

TFFDecoder::~TFFDecoder() {
    CloseFile();
}

void TFFDecoder::CheckLibraries() const {
    const std::string missing = MissingLibraryText();
    if (!missing.empty()) throw std::runtime_error(missing);
}

int TFFDecoder::FindStreamInfo(AVFormatContext* ic) {
    // The pixel limit holds for the pictures decoded while the streams are read, too.
    std::vector<AVDictionary*> options(ic->nb_streams, nullptr);
    std::vector<std::pair<int, int>> claimed;
    const std::string limit = std::to_string(FMaxPicturePixels);
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        FFApi.av_dict_set(&options[i], "max_pixels", limit.c_str(), 0);
        claimed.emplace_back(ic->streams[i]->codecpar->width, ic->streams[i]->codecpar->height);
    }
    const int result = FFApi.avformat_find_stream_info(ic, options.empty() ? nullptr : options.data());
    for (AVDictionary*& d : options)
        FFApi.av_dict_free(&d);
    // A refused picture size comes back as 0x0; the container's claim is still the best fact.
    for (unsigned i = 0; i < ic->nb_streams && i < claimed.size(); ++i) {
        AVCodecParameters* par = ic->streams[i]->codecpar;
        if (par->width == 0 && par->height == 0) std::tie(par->width, par->height) = claimed[i];
    }
    return result;
}

bool TFFDecoder::LoadFile(const std::string& fileName, const std::string& formatName) {
    CheckLibraries();
    CloseFile();
    const AVInputFormat* format = nullptr;
    if (!formatName.empty()) {
        format = FFApi.av_find_input_format(formatName.c_str());
        if (!format) {
            FLastErrorMessage = "Unknown input format: " + formatName;
            return false;
        }
    }
    AVFormatContext* ic = FFApi.avformat_alloc_context();
    if (!ic) {
        Report(llError, fileName + ": " + FFErrorText(AVERROR(ENOMEM)));
        return false;
    }
    ic->flags |= AVFMT_FLAG_NONBLOCK;
    ic->interrupt_callback.callback = FFInterruptCallback;
    ic->interrupt_callback.opaque = nullptr;
    const std::string libraryName = LibraryFileName(fileName);
    if (HasUnicodePrefix(libraryName)) {
        int error = 0;
        FIO = TUnicodeIO::Open(libraryName, 0, error);
        if (!FIO) {
            FFApi.avformat_free_context(ic);
            Report(llError, fileName + ": " + FFErrorText(error));
            return false;
        }
        ic->pb = FIO->Context();
        ic->flags |= AVFMT_FLAG_CUSTOM_IO;
    }
    // On failure the library frees the context (but never a custom I/O context).
    const int opened = FFApi.avformat_open_input(&ic, libraryName.c_str(), format, nullptr);
    if (opened < 0) {
        FIO.reset();
        Report(llError, fileName + ": " + FFErrorText(opened));
        return false;
    }
    FOwned.reset(ic);
    FContext = ic;
    FOwner = true;
    if (FindStreamInfo(ic) < 0) {
        const std::string text = fileName + ": could not find codec parameters";
        CloseFile();
        FLastErrorMessage = text;
        return false;
    }
    ComputeFacts();
    FSeekStream = FFirstVideoStream >= 0 ? FFirstVideoStream : FFirstAudioStream;
    const int64_t base = FSeekStream >= 0 ? ic->streams[FSeekStream]->start_time : ic->start_time;
    FSeekBase = base == AV_NOPTS_VALUE ? 0 : base;
    if (FSeekStream >= 0) FixTimeBase(ic->streams[FSeekStream]);
    FFormatName = formatName;
    FPacket.reset(FFApi.av_packet_alloc());
    FPicture.reset(FFApi.av_frame_alloc());
    return FPacket && FPicture;
}

void TFFDecoder::CloseFile() {
    ForgetPicture();
    FSeekStream = -1;
    FSeekBase = 0;
    FVideoStream = -1;
    FEof = false;
    FDraining = false;
    FRetryStage = 0;
    FreeCodecLocked(FVideoDecoder);
    FFormatName.clear();
    if (FOwner)
        FOwned.reset();
    else
        (void)FOwned.release();
    FIO.reset(); // after the context: the library does not free a custom I/O context
    FContext = nullptr;
    FOwner = false;
    ComputeFacts();
}

void TFFDecoder::Attach(AVFormatContext* context) {
    if (context == FContext) return;
    CheckLibraries();
    CloseFile();
    FContext = context;
    FOwner = false;
    ComputeFacts();
    if (!FContext) return;
    FSeekStream = FFirstVideoStream >= 0 ? FFirstVideoStream : FFirstAudioStream;
    const int64_t base = FSeekStream >= 0 ? FContext->streams[FSeekStream]->start_time : FContext->start_time;
    FSeekBase = base == AV_NOPTS_VALUE ? 0 : base;
    if (!FPacket) FPacket.reset(FFApi.av_packet_alloc());
    if (!FPicture) FPicture.reset(FFApi.av_frame_alloc());
}

std::string TFFDecoder::FileName() {
    if (!FContext) {
        Report(llWarning, "file not loaded.");
        return std::string();
    }
    return WideFileName(FContext->url ? FContext->url : "");
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

int TFFDecoder::ChooseStream(int streamIndex, AVMediaType kind) {
    const bool video = kind == AVMEDIA_TYPE_VIDEO;
    if (streamIndex == -1) {
        streamIndex = video ? FFirstVideoStream : FFirstAudioStream;
        if (streamIndex < 0) {
            Report(llError, video ? "no video stream." : "no audio stream.");
            return -1;
        }
    } else if (streamIndex < 0 || streamIndex >= FStreamCount) {
        Report(llError, FormatText("stream index #%d is invalid.", streamIndex));
        return -1;
    } else if (FContext->streams[streamIndex]->codecpar->codec_type != kind) {
        Report(llError,
               FormatText(video ? "stream #%d is not video stream." : "stream #%d is not audio stream.",
                          streamIndex));
        return -1;
    }
    FixTimeBase(FContext->streams[streamIndex]);
    return streamIndex;
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

bool TFFDecoder::IsImage2() const {
    return FContext && FContext->iformat && std::strcmp(FContext->iformat->name, "image2") == 0;
}

void TFFDecoder::ForgetPicture() {
    if (FPicture) FFApi.av_frame_unref(FPicture.get());
    FPictureReady = false;
    FKeyFrame = false;
    FPictureType = 0;
    FPictureTimeUs = FPrevPictureTimeUs = -1;
    FFilePosition = FPrevFilePosition = -1;
}

bool TFFDecoder::Seek(uint8_t flags, int64_t position) {
    if (!FContext) {
        Report(llWarning, "file not loaded.");
        return false;
    }
    if (!FOwner) {
        Report(llWarning, "file cannot be seeked, handle is readonly.");
        throw std::runtime_error(FLastErrorMessage);
    }
    if (IsImage2()) {
        Report(llInfo, "\"image2\" format cannot to be seeked.");
        return false;
    }
    if (FContext->pb)
        EngineLogFormat(this, llDebug, "current position %" PRId64 " bytes", IOPosition(FContext));
    if (position < 0) position = 0;
    const bool byteMode = flags & sfByte;
    int64_t target = position;
    if (!byteMode && FSeekStream >= 0) {
        target = FFApi.av_rescale_q(position, AVRational{1, AV_TIME_BASE},
                                    FContext->streams[FSeekStream]->time_base);
        if (FSeekBase > 0) target += FSeekBase;
    }
    if (FVideoDecoder) FFApi.avcodec_flush_buffers(FVideoDecoder.get());
    FEof = false;
    FDraining = false;
    ForgetPicture();
    FRetryStage = 0;
    const int libraryFlags = flags & 0x0F;
    int result;
    if (position > 0) {
        result = FFApi.av_seek_frame(FContext, FSeekStream, target, libraryFlags);
        // No key frame after the position (a short clip has few): take the one before it rather than
        // ending up at the end of the file with nothing to decode.
        if (!(libraryFlags & AVSEEK_FLAG_BACKWARD) && !byteMode &&
            (result < 0 || (FContext->pb && FFApi.avio_feof(FContext->pb)))) {
            const int retry =
                FFApi.av_seek_frame(FContext, FSeekStream, target, libraryFlags | AVSEEK_FLAG_BACKWARD);
            if (retry >= 0) result = retry;
        }
    } else {
        result = FFApi.av_seek_frame(FContext, FSeekStream, 0, libraryFlags | AVSEEK_FLAG_BACKWARD);
        if (result < 0)
            result = FFApi.av_seek_frame(FContext, FSeekStream, target, libraryFlags & ~AVSEEK_FLAG_BACKWARD);
    }
    if (result < 0) {
        Report(llError, byteMode
                            ? FormatText("could not seek to position %" PRId64 " bytes", position)
                            : FormatText("could not seek to position %0.3f seconds", position / 1000000.0));
        return false;
    }
    FRetryStage = position > 0 && !byteMode && !(libraryFlags & AVSEEK_FLAG_BACKWARD) ? 1 : 0;
    FRetryTarget = target;
    EngineLogFormat(this, llDebug, "seek to position %" PRId64 " bytes", IOPosition(FContext));
    if (FContext->pb && FFApi.avio_feof(FContext->pb)) {
        Report(llInfo, "stream eof reached.");
        FEof = true;
        return false;
    }
    return true;
}

bool TFFDecoder::OpenVideoDecoder(int streamIndex) {
    const AVStream* st = FContext->streams[streamIndex];
    const AVCodecParameters* par = st->codecpar;
    if (par->width <= 0 || par->height <= 0 ||
        FFApi.av_image_check_size(par->width, par->height, 0, nullptr) < 0) {
        Report(llError, "frame size of codec is invalid.");
        return false;
    }
    if (static_cast<int64_t>(par->width) * par->height > FMaxPicturePixels) {
        Report(llError, FormatText("picture of %dx%d is too large to decode.", par->width, par->height));
        return false;
    }
    const AVCodec* codec = FFApi.avcodec_find_decoder(par->codec_id);
    if (!codec) {
        Report(llError, FormatText("Unsupported codec (id=%d) for input file stream #%d",
                                   static_cast<int>(par->codec_id), streamIndex));
        return false;
    }
    TCodecContextPtr decoder(FFApi.avcodec_alloc_context3(codec));
    if (!decoder || FFApi.avcodec_parameters_to_context(decoder.get(), par) < 0) {
        Report(llError, FormatText("Error while opening codec for input file stream #%d", streamIndex));
        return false;
    }
    decoder->pkt_timebase = st->time_base;
    // A stream may grow its pictures later than its header says.
    decoder->max_pixels = FMaxPicturePixels;
    if (OpenCodecLocked(decoder.get(), codec, nullptr) < 0) {
        FreeCodecLocked(decoder);
        Report(llError, FormatText("Error while opening codec for input file stream #%d", streamIndex));
        return false;
    }
    FVideoDecoder = std::move(decoder);
    FDraining = false;
    return true;
}

void TFFDecoder::StorePicture(AVFrame* frame) {
    const AVStream* st = FContext->streams[FVideoStream];
    FRetryStage = 0;
    FFApi.av_frame_unref(FPicture.get());
    FFApi.av_frame_move_ref(FPicture.get(), frame);
    FKeyFrame = FPicture->key_frame != 0;
    FPictureType = FPicture->pict_type >= 0 && FPicture->pict_type <= 7 ? FPicture->pict_type : 0;
    int64_t time = FPicture->pkt_dts;
    if (time == AV_NOPTS_VALUE) time = FPicture->best_effort_timestamp;
    if (time == AV_NOPTS_VALUE) time = FPicture->pts;
    FPrevPictureTimeUs = FPictureTimeUs;
    if (time != AV_NOPTS_VALUE) {
        if (st->start_time != AV_NOPTS_VALUE) time -= st->start_time;
        FPictureTimeUs = FFApi.av_rescale_q(time, st->time_base, AVRational{1, AV_TIME_BASE});
        EngineLogFormat(this, llDebug, "decode PTS: %0.3f", FPictureTimeUs / 1000000.0);
    } else {
        FPictureTimeUs = -1;
    }
    FPrevFilePosition = FFilePosition;
    FFilePosition = FPicture->pkt_pos;
    FPictureReady = true;
}

bool TFFDecoder::DecodeVideoFrame(int streamIndex) {
    if (!FContext) {
        Report(llWarning, "file not loaded.");
        return false;
    }
    if (streamIndex == -1 && FVideoStream >= 0) streamIndex = FVideoStream;
    const int index = ChooseStream(streamIndex, AVMEDIA_TYPE_VIDEO);
    if (index < 0) return false;
    if (index != FVideoStream) {
        ForgetPicture();
        FreeCodecLocked(FVideoDecoder);
        FVideoStream = index;
    }
    if (FPictureReady && IsImage2()) return true;
    if (FEof) {
        Report(llInfo, "stream eof reached.");
        return false;
    }
    if (!FVideoDecoder && !OpenVideoDecoder(index)) return false;
    FFilePosition = IOPosition(FContext);
    TFramePtr frame(FFApi.av_frame_alloc());
    if (!frame) return false;
    for (;;) {
        const int received = FFApi.avcodec_receive_frame(FVideoDecoder.get(), frame.get());
        if (received == 0) {
            EngineLogFormat(this, llDebug,
                            "pkt.st_idx=%d, dts=%" PRId64 ", pts=%" PRId64 ", flags=%d, pict_type=%d", index,
                            frame->pkt_dts, frame->pts, frame->flags, static_cast<int>(frame->pict_type));
            StorePicture(frame.get());
            return true;
        }
        if (received != AVERROR(EAGAIN) || FDraining) {
            if (FRetryStage > 0) {
                // First the key frame before the position, then the start of the file as Seek(0, 0).
                int r;
                if (FRetryStage == 1) {
                    r = FFApi.av_seek_frame(FContext, FSeekStream, FRetryTarget, AVSEEK_FLAG_BACKWARD);
                } else {
                    r = FFApi.av_seek_frame(FContext, FSeekStream, 0, AVSEEK_FLAG_BACKWARD);
                    if (r < 0) r = FFApi.av_seek_frame(FContext, FSeekStream, FSeekBase, 0);
                }
                FRetryStage = FRetryStage == 1 ? 2 : 0;
                if (r >= 0) {
                    FFApi.avcodec_flush_buffers(FVideoDecoder.get());
                    FDraining = false;
                    continue;
                }
            }
            // The decoder has given everything it had.
            FEof = true;
            Report(llInfo, "stream eof reached.");
            return false;
        }
        // A cover picture is not in the packet flow after a seek; it is kept with its stream.
        if (FContext->streams[index]->disposition & AV_DISPOSITION_ATTACHED_PIC) {
            FFApi.avcodec_send_packet(FVideoDecoder.get(), &FContext->streams[index]->attached_pic);
            FFApi.avcodec_send_packet(FVideoDecoder.get(), nullptr);
            FDraining = true;
            continue;
        }
        const int read = FFApi.av_read_frame(FContext, FPacket.get());
        if (read == AVERROR(EAGAIN)) {
            Report(llInfo, "no data, please try again.");
            return false;
        }
        if (read < 0) {
            if (read != AVERROR_EOF && !(FContext->pb && FFApi.avio_feof(FContext->pb))) {
                Report(llInfo, FormatText("unknown error #%d.", read));
                return false;
            }
            // End of file: let the decoder give out the pictures it still holds.
            FFApi.avcodec_send_packet(FVideoDecoder.get(), nullptr);
            FDraining = true;
            continue;
        }
        if (FPacket->stream_index == index) {
            // A damaged packet is skipped; the next one may decode.
            const int sent = FFApi.avcodec_send_packet(FVideoDecoder.get(), FPacket.get());
            if (sent < 0 && sent != AVERROR(EAGAIN))
                EngineLogFormat(this, llDebug, "decoding packet failed: %s", FFErrorText(sent).c_str());
        }
        FFApi.av_packet_unref(FPacket.get());
    }
}

int TFFDecoder::PictureRotation() const {
    if (!FContext || FVideoStream < 0 || FVideoStream >= static_cast<int>(FContext->nb_streams)) return 0;
    const int degrees = StreamRotationDegrees(FContext->streams[FVideoStream]);
    return IsQuarterTurn(degrees) ? degrees : 0;
}

bool TFFDecoder::GetBitmap(TBitmap& bitmap) {
    if (!FPictureReady) {
        Report(llError, "picture not ready, please decode first");
        return false;
    }
    const AVFrame* p = FPicture.get();
    const bool ok = FConverter.ToBitmap(p->data, p->linesize, static_cast<AVPixelFormat>(p->format), true,
                                        p->height, p->width);
    if (ok) {
        bitmap = RotatedBitmap(FConverter.Bitmap(), PictureRotation());
    } else {
        const bool sane = FFApi.av_image_check_size(p->width, p->height, 0, nullptr) >= 0;
        bitmap.SetFormat(sane ? p->width : 0, sane ? p->height : 0, FConverter.BitsPixel());
        bitmap.FillBlack();
        Report(llError, FConverter.LastError());
    }
    return ok;
}

bool TFFDecoder::GetThumbnail(TBitmap& bitmap, int maxWidth, int maxHeight) {
    if (!FPictureReady) {
        Report(llError, "picture not ready, please decode first");
        return false;
    }
    const AVFrame* p = FPicture.get();
    // A picture seen turned by a quarter is scaled into the turned box, then turned.
    const int rotation = PictureRotation();
    const bool across = rotation == 90 || rotation == 270;
    if (FConverter.ScaleToBitmap(p->data, p->linesize, static_cast<AVPixelFormat>(p->format), p->height,
                                 p->width, across ? maxHeight : maxWidth, across ? maxWidth : maxHeight,
                                 bitmap)) {
        if (rotation) bitmap = RotatedBitmap(bitmap, rotation);
        return true;
    }
    bitmap.SetFormat(maxWidth, maxHeight, FConverter.BitsPixel());
    Report(llError, FConverter.LastError());
    return false;
}

} // namespace mw
