// Presets ("apre", "vpre", "spre", "fpre"): the built-in x264 presets and preset files, each a
// text of "name=value" lines.
//
// Threading: the built-in table is immutable; loading a preset uses the job's building thread.
#pragma once

#include <string>
#include <vector>

namespace mw {

struct TTranscodeJob;

struct TBuiltinPreset {
    const char* Name; // "libx264-default"
    std::string Text; // "name=value" lines separated by line feeds
};

const std::vector<TBuiltinPreset>& BuiltinPresets();
// Case-insensitive look-up; nullptr when absent.
const TBuiltinPreset* FindBuiltinPreset(const std::string& name);

// kind: 'a', 'v', 's' or 'f'. False with the error in job.BuildErrorText.
bool LoadPreset(TTranscodeJob& job, char kind, const std::string& name);
// Applies a preset text (already read) named presetName in error texts.
bool ApplyPresetText(TTranscodeJob& job, const std::string& presetName, const std::string& text);

} // namespace mw
