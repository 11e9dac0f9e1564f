#include "convert/ParallelCount.h"

#include "app/UtilFuncs.h"
#include "engine/options/FFExtOptions.h"
#include "engine/FFUtils.h"
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

int AutomaticParallelCount(int cores, bool threadedEncoders) {
    (void)threadedEncoders;
    return std::clamp(cores, 1, static_cast<int>(MaxParallelTasks));
}

int RunParallelCount(int32_t choice, const TOutputSelection& selection, int cores) {
    if (choice > 0) return choice;
    const std::vector<std::string> encoders = EncoderNamesOf(BuildJoinOutputOptions(selection));
    const bool threaded = std::any_of(encoders.begin(), encoders.end(), EncoderUsesThreads);
    return AutomaticParallelCount(cores, threaded);
}

} // namespace mw
