#include "convert/ParallelCount.h"

#include "app/UtilFuncs.h"
#include "engine/FFUtils.h"
#include "engine/options/FFExtOptions.h"
#include "presets/PresetOptions.h"

#include <algorithm>
#include <thread>

namespace mw {

int MachineCores() {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

std::vector<std::string> EncoderNamesOf(const TOutputOptions& output) {
    std::vector<std::string> names;
    auto add = [&](const std::string& name) {
        if (!name.empty() && !SameText(name, "copy")) names.push_back(name);
    };
    std::string video = output.VideoCodec, audio = output.AudioCodec;
    std::vector<std::string> extra;
    for (const TExtOption& line : SplitExtOptions(output.ExtOptions)) {
        // The record's field wins over a line; later lines name the codecs of added streams.
        if (line.Name != "vcodec" && line.Name != "acodec") continue;
        std::string& first = line.Name == "vcodec" ? video : audio;
        if (first.empty())
            first = line.Value;
        else
            extra.push_back(line.Value);
    }
    if (!output.DisableVideo) add(video);
    if (!output.DisableAudio) add(audio);
    for (const std::string& name : extra)
        add(name);
    return names;
}

// Measured on 2 cores, 8 clips of 6 s at 640x360 into AVI, times against one at a time: MPEG-4 +
// MP3 2 at once 0.55-0.56, 3 at once 0.50-0.53, 4 at once 0.53-0.54; H.264 + MP3 2 at once
// 0.83-0.86, 3 at once 0.79-0.80, 4 at once 0.77-0.81. One more file than cores keeps the cores
// busy while the others open, probe and close their files. Encoders that spread over threads
// keep cores busy on their own, so with many cores fewer of them run side by side (each also
// holds its own look-ahead frames): half the cores plus two, never more than the other rule.
int AutomaticParallelCount(int cores, bool threadedEncoders) {
    cores = std::max(cores, 1);
    const int count = threadedEncoders ? std::min(cores + 1, cores / 2 + 2) : cores + 1;
    return std::min(count, static_cast<int>(MaxParallelTasks));
}

int RunParallelCount(int32_t choice, const TOutputSelection& selection, int cores) {
    if (choice > 0) return choice;
    const std::vector<std::string> encoders = EncoderNamesOf(BuildJoinOutputOptions(selection));
    const bool threaded = std::any_of(encoders.begin(), encoders.end(), EncoderUsesThreads);
    return AutomaticParallelCount(cores, threaded);
}

} // namespace mw
