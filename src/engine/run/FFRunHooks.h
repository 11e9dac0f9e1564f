// The owner's hooks inside a transcoding run: decoded audio to the audio hook, pictures as bitmaps
// to the input and output video hooks (and back into the picture when the handler changed them),
// and a preview picture at most once per preview period.
//
// Threading contract: one TRunHookState per run, used only by the run's thread; the callbacks it
// calls (TRunHooks) take the owner's locks themselves.
#pragma once

#include "engine/run/FFRunState.h"
#include "engine/probe/FormatConverter.h"

#include <chrono>
#include <vector>

namespace mw {

inline constexpr std::chrono::milliseconds PreviewPeriod{100};

struct TRunHookState {
    // What is still connected; a hook whose conversion failed, or whose handler asked to stop, is
    // switched off for the rest of the run.
    bool AudioHook = false;
    bool InputHook = false;
    bool OutputHook = false;
    bool Preview = false;
    bool Deinterlace = false;
    bool FrameHooks = false; // "vhook" plug-ins loaded

    TFormatConverter InputConverter;
    TFormatConverter OutputConverter;
    TFormatConverter PreviewConverter;
    TFramePtr HookPicture;           // pre-processed picture (decoder's size and format)
    TFramePtr OutputHookPicture;     // the output hook's changed picture (encoder's size and format)
    std::vector<uint8_t> AudioBlock; // planar audio interleaved for the audio hook
    std::chrono::steady_clock::time_point NextPreview{};

    // Picture pre-processing is needed (deinterlacing, the input hook or plug-ins).
    bool PreProcessing() const { return Deinterlace || InputHook || FrameHooks; }
    // Something looks at the pictures about to be encoded.
    bool OutputWork() const { return OutputHook || Preview; }
};

std::unique_ptr<TRunHookState> MakeRunHookState(const TTranscodeJob& job, const TRunOptions& options,
                                                const TRunHooks& hooks);

// The audio hook with one decoded block (before the volume), timed at the stream's current time.
void AudioHookBlock(TRunState& run, const TRunInputStream& ist, const AVFrame* block);

// The input video hook over picture (frame number from 1, the stream's current time). Answers true
// when the handler's bitmap was converted into target (same size and format as picture).
bool InputHookPicture(TRunState& run, const TRunInputStream& ist, const AVFrame* picture, AVFrame* target);

// The output video hook and the preview for one picture about to be encoded (its pts is the sync
// counter). Answers the picture to encode: picture itself, or the hook's changed copy.
const AVFrame* OutputHookPicture(TRunState& run, const TRunOutputStream& ost, const AVFrame* picture);

} // namespace mw
