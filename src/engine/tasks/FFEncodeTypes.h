// Records and event types the encoder component exchanges with its caller and with the job that
// runs a task. Plain data; no library dependency.
#pragma once

#include "app/ThreadPriority.h"
#include "engine/FFUtils.h"

#include <cstdint>
#include <functional>
#include <string>

struct AVFormatContext;

namespace mw {

// One progress report of a task. Passed by pointer, valid only during the call.
struct TProgressInfo {
    int32_t TaskIndex = 0;
    int32_t FileIndex = 0;    // input of the last packet read; -1 in the task's last report
    int32_t FrameNumber = -1; // pictures of the first video output stream; -1 without video
    int32_t FPS = -1;
    float Quality = -1.0f;
    float BitRate = 0.0f; // kbit/s
    int64_t CurrentSize = 0;
    int64_t CurrentDuration = 0; // microseconds reached
    int64_t TotalDuration = -1;  // expected microseconds; -1 when no input gives a length
};
using PProgressInfo = TProgressInfo*;

// End of one task (TaskIndex >= 0) or of the whole run (TaskIndex -1, Finished, not Failed).
struct TTerminateInfo {
    int32_t TaskIndex = -1;
    bool Finished = false;
    bool Failed = false;
    std::string ErrorMessage;
};

struct TPreviewInfo {
    int32_t TaskIndex = 0;
    const TBitmap* Bitmap = nullptr;
    int32_t FrameNumber = 0;
    int64_t PTS = 0; // microseconds
};

struct THookInfo {
    int32_t TaskIndex = 0;
    TBitmap* Bitmap = nullptr;
    int32_t FrameNumber = 0;
    int64_t PTS = 0;
    bool Update = true;    // the handler clears it to leave the picture as it was
    bool StopHook = false; // the handler sets it to stop this hook for the rest of the task
};
using PHookInfo = THookInfo*;

// Every event gets the sender (the encoder, or the task for OnBeforeFindStreamInfo) first.
using TProgressEvent = std::function<void(const void* sender, PProgressInfo info)>;
using TTerminateEvent = std::function<void(const void* sender, const TTerminateInfo& info)>;
using TPreviewBitmapEvent = std::function<void(const void* sender, const TPreviewInfo& info)>;
using TAudioHookEvent =
    std::function<void(const void* sender, int32_t taskIndex, int64_t pts, const void* samples, int32_t size,
                       int32_t sampleRate, int32_t channels, int32_t sampleFormat)>;
using TVideoHookEvent = std::function<void(const void* sender, PHookInfo info)>;
using TBeforeFindStreamInfoEvent = std::function<void(const void* sender, AVFormatContext* context)>;

// How a running job reaches its owner's hooks (no sender, no task index: the owner adds them).
// Decoded audio: time (us), interleaved samples, bytes, rate, channels, (packed) sample format.
using TAudioHookCall = std::function<void(int64_t pts, const void* samples, int32_t size, int32_t sampleRate,
                                          int32_t channels, int32_t sampleFormat)>;
// A picture for a video hook (output = false: input hook); the handler answers Update and StopHook.
using TVideoHookCall = std::function<void(bool output, THookInfo& info)>;
// A preview picture.
using TPreviewCall = std::function<void(const TBitmap& bitmap, int32_t frameNumber, int64_t pts)>;

} // namespace mw
