// "vhook" frame-hook plug-ins: shared libraries with "Process", optional "Configure" and
// "Release" entry points. Each library is loaded once per process and kept.
//
// Threading: hooks are added while the job is built and called by the job's run thread.
#pragma once

#include <cstdint>
#include <string>

namespace mw {

struct TTranscodeJob;

extern "C" {
// The picture a plug-in's Process gets: the planes and line sizes of a writable picture of the
// given pixel format (the libraries' old picture record).
struct TFrameHookPicture {
    uint8_t* data[4];
    int linesize[4];
};
using TFrameHookConfigure = int (*)(void** context, int argc, char* argv[]);
using TFrameHookProcess = void (*)(void* context, void* picture, int pixFmt, int width, int height,
                                   int64_t ptsUs);
using TFrameHookRelease = void (*)(void* context);
}

class TFrameHook {
  public:
    TFrameHook() = default;
    ~TFrameHook(); // calls Release with the context when the plug-in has it
    TFrameHook(const TFrameHook&) = delete;
    TFrameHook& operator=(const TFrameHook&) = delete;

    void* Context = nullptr;
    TFrameHookProcess Process = nullptr;
    TFrameHookRelease Release = nullptr;
    std::string CommandLine;
};

// Loads the plug-in named by the first word and configures it; false with
// "Failed to add video hook function: " + command line in job.BuildErrorText.
bool AddFrameHook(TTranscodeJob& job, const std::string& commandLine);

} // namespace mw
