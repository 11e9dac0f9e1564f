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

int64_t IOPosition(AVFormatContext* ic) {
    return ic->pb ? FFApi.avio_seek(ic->pb, 0, SEEK_CUR) : -1;
}

} // namespace

// ---- TCustomDecoder ----

void TCustomDecoder::Report(TLogLevel level, const std::string& text) {
    FLastErrorMessage = text;
    EngineLog(this, level, text);
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
    const std::string libraryName = LibraryFileName(fileName);
    int error = 0;
    if (FInput.Allocate(libraryName, error)) error = FInput.Open(libraryName, format, nullptr);
    if (error < 0) {
        Report(llError, fileName + ": " + FFErrorText(error));
        return false;
    }
    AVFormatContext* ic = FInput.get();
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
    FInput.reset(); // an attached context is its owner's
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

bool TFFDecoder::RetrySeek() {
    if (FRetryStage <= 0) return false;
    // First the key frame before the position, then the start of the file as Seek(0, 0).
    int r;
    if (FRetryStage == 1) {
        r = FFApi.av_seek_frame(FContext, FSeekStream, FRetryTarget, AVSEEK_FLAG_BACKWARD);
    } else {
        r = FFApi.av_seek_frame(FContext, FSeekStream, 0, AVSEEK_FLAG_BACKWARD);
        if (r < 0) r = FFApi.av_seek_frame(FContext, FSeekStream, FSeekBase, 0);
    }
    FRetryStage = FRetryStage == 1 ? 2 : 0;
    if (r < 0) return false;
    FFApi.avcodec_flush_buffers(FVideoDecoder.get());
    FDraining = false;
    return true;
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
            if (RetrySeek()) continue;
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
