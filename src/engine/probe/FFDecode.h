// The probe decoder: opens a media file, reports container and stream facts, seeks and decodes one
// video picture into a bitmap.
//
// Threading: one decoder is used by one thread at a time (the main thread for the file list, a
// task's worker for its inputs). Failures answer false (or leave records at -1) with the text in
// LastErrorMessage(); only a missing library and seeking an attached input throw.
#pragma once

#include "engine/FFLog.h"
#include "engine/FFUtils.h"
#include "engine/probe/FormatConverter.h"
#include "engine/UnicodeProtocol.h"

#include <cstdint>
#include <memory>
#include <string>

namespace mw {

struct TFileStreamInfo {
    int64_t StartTime = -1; // microseconds
    int64_t Duration = -1;  // microseconds
    int32_t BitRate = -1;
    int64_t Timestamp = -1; // recording time, microseconds since 1970
    int32_t Year = -1;
    int32_t Track = -1;
    std::string Title, Author, Copyright, Comment, Album, Genre;
};

struct TAudioStreamInfo {
    std::string Language;
    std::string CodecName;
    int64_t StartTime = -1; // stream time base
    int64_t StartTimeUs = -1;
    int64_t Duration = -1; // stream time base
    int64_t DurationUs = -1;
    int32_t BitRate = -1;
    int32_t Channels = -1;
    int32_t SampleRate = -1;
    int32_t SampleFormat = -1;
};

struct TVideoStreamInfo {
    std::string Language;
    std::string CodecName;
    int64_t StartTime = -1;
    int64_t StartTimeUs = -1;
    int64_t Duration = -1;
    int64_t DurationUs = -1;
    int32_t BitRate = -1;
    int32_t Height = -1;
    int32_t Width = -1;
    float DisplayAspectRatio = -1.0f;
    int32_t PixelFormat = -1;
    int32_t FrameRateNum = -1;
    int32_t FrameRateDen = -1;
    // Clockwise turn that shows the pictures upright (display matrix or "rotate" tag); the size
    // above is the stored one.
    int32_t Rotation = 0;
};

// Seek flag bits.
inline constexpr uint8_t sfBackward = 1;
inline constexpr uint8_t sfByte = 2;

// The open file and its facts (all -1 while no file is open).
class TCustomDecoder {
  public:
    virtual ~TCustomDecoder() = default;
    const std::string& LastErrorMessage() const { return FLastErrorMessage; }
    AVFormatContext* FormatContext() const { return FContext; }
    int64_t FileSize() const { return FFileSize; }
    int StreamCount() const { return FStreamCount; }
    int ProgramCount() const { return FProgramCount; }
    int AudioStreamCount() const { return FAudioStreamCount; }
    int VideoStreamCount() const { return FVideoStreamCount; }
    int SubtitleStreamCount() const { return FSubtitleStreamCount; }
    int FirstAudioStreamIndex() const { return FFirstAudioStream; }
    int FirstVideoStreamIndex() const { return FFirstVideoStream; }
    int FirstSubtitleStreamIndex() const { return FFirstSubtitleStream; }
    const std::string& ForcedFormatName() const { return FFormatName; }

  protected:
    void ComputeFacts();
    // Logs through the engine logger and keeps the text as LastErrorMessage.
    void Report(TLogLevel level, const std::string& text);

    AVFormatContext* FContext = nullptr;
    bool FOwner = false;
    std::string FLastErrorMessage;
    std::string FFormatName;
    int64_t FFileSize = -1;
    int FStreamCount = -1, FProgramCount = -1;
    int FAudioStreamCount = -1, FVideoStreamCount = -1, FSubtitleStreamCount = -1;
    int FFirstAudioStream = -1, FFirstVideoStream = -1, FFirstSubtitleStream = -1;
};

class TFFDecoder : public TCustomDecoder {
  public:
    TFFDecoder();
    ~TFFDecoder() override;
    TFFDecoder(const TFFDecoder&) = delete;
    TFFDecoder& operator=(const TFFDecoder&) = delete;

    // Empty formatName probes the format.
    bool LoadFile(const std::string& fileName, const std::string& formatName = std::string());
    void CloseFile();
    // Takes an input the caller opened (no ownership, no second open).
    void Attach(AVFormatContext* context);
    std::string FileName();

    bool GetFileStreamInfo(TFileStreamInfo& info);
    bool GetVideoStreamInfo(int streamIndex, TVideoStreamInfo& info);
    bool GetAudioStreamInfo(int streamIndex, TAudioStreamInfo& info);
    // Short codec name of a stream as the libraries name its codec id ("h264"); "" when invalid.
    std::string CodecIdName(int streamIndex) const;

    // Flags: sfBackward, sfByte, other low bits go to the library; without sfByte, microseconds.
    bool Seek(uint8_t flags, int64_t position);
    bool DecodeVideoFrame(int streamIndex = -1);
    // The picture as a bitmap, turned upright when its stream is rotated by a quarter turn.
    bool GetBitmap(TBitmap& bitmap);
    // The picture (upright, as GetBitmap) scaled straight into a bitmap that fits maxWidth x maxHeight
    // (aspect kept, never enlarged), without a full-size copy. On failure a black bitmap of that box and the
    // error.
    bool GetThumbnail(TBitmap& bitmap, int maxWidth, int maxHeight);

    // Largest picture (width x height) the decoder accepts, also while the streams are read on
    // open: a probe is interactive, and a tiny file may claim a picture of gigabytes.
    static constexpr int64_t DefaultMaxPicturePixels = 64LL * 1024 * 1024;
    void SetMaxPicturePixels(int64_t pixels) { FMaxPicturePixels = pixels; }
    int64_t MaxPicturePixels() const { return FMaxPicturePixels; }

    // Facts of the last decoded picture.
    int64_t PictureTimeUs() const { return FPictureTimeUs; }
    bool PictureReady() const { return FPictureReady; }
    bool KeyFrame() const { return FKeyFrame; }
    int PictureType() const { return FPictureType; }
    TFormatConverter& Converter() { return FConverter; }

  private:
    void CheckLibraries() const;
    int ChooseStream(int streamIndex, AVMediaType kind);
    int FindStreamInfo(AVFormatContext* ic);
    bool OpenVideoDecoder(int streamIndex);
    void ForgetPicture();
    void StorePicture(AVFrame* frame);
    bool IsImage2() const;
    // The quarter turn (or 0) that shows the current video stream's pictures upright.
    int PictureRotation() const;

    TInputContextPtr FOwned;
    std::unique_ptr<TUnicodeIO> FIO;
    TFormatConverter FConverter;
    int FSeekStream = -1;
    int64_t FSeekBase = 0;
    int FVideoStream = -1;
    bool FEof = false;
    bool FDraining = false;
    // After a forward seek: when no picture comes before the end, seek back to the key frame
    // before FRetryTarget, then to the start (a clip whose last usable key frame precedes the
    // position would otherwise give no picture at all).
    int FRetryStage = 0; // 0 none, 1 key frame before FRetryTarget, 2 start
    int64_t FRetryTarget = 0;
    int64_t FMaxPicturePixels = DefaultMaxPicturePixels;
    TCodecContextPtr FVideoDecoder;
    TFramePtr FPicture;
    TPacketPtr FPacket;
    bool FPictureReady = false;
    bool FKeyFrame = false;
    int FPictureType = 0;
    int64_t FPictureTimeUs = -1;
    int64_t FPrevPictureTimeUs = -1;
    int64_t FFilePosition = -1;
    int64_t FPrevFilePosition = -1;
};

} // namespace mw
