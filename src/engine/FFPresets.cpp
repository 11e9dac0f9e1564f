#include "engine/FFPresets.h"
#include "engine/FFJob.h"

namespace mw {
const std::vector<TBuiltinPreset>& BuiltinPresets() {
    static const std::vector<TBuiltinPreset> presets;
    return presets;
}
const TBuiltinPreset* FindBuiltinPreset(const std::string&) {
    return nullptr;
}
bool LoadPreset(TTranscodeJob& job, char, const std::string& name) {
    job.BuildErrorText = "Preset \"" + name + "\" not found";
    return false;
}
bool ApplyPresetText(TTranscodeJob&, const std::string&, const std::string&) {
    return false;
}
} // namespace mw
