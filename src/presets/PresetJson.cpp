#include "presets/PresetJson.h"

#include "presets/PresetOptions.h"

namespace mw {

nlohmann::ordered_json PresetToJson(const TPresetRow& row) {
    const TFormatClassInfo* classInfo = FindFormatClass(row.Class);
    const TFormatInfo* formatInfo = FindFormat(row.Class, row.Format);
    nlohmann::ordered_json options = nlohmann::ordered_json::object();
    const TPresetFields fields = PresetFieldsOf(row.Class, row.Format, row.Index);
    for (const TWrittenField& f : WrittenFields(fields))
        std::visit([&](const auto& value) { options[std::string(f.Name)] = value; }, f.Value);

    nlohmann::ordered_json j;
    j["class"] = row.Class;
    j["className"] = classInfo->Name;
    j["format"] = row.Format;
    j["formatName"] = formatInfo->Name;
    j["index"] = row.Index;
    j["default"] = row.Index == formatInfo->DefaultPreset;
    j["text"] = row.Text;
    j["extension"] = formatInfo->Extension;
    j["options"] = std::move(options);
    // Per-file conversions take this preset's audio bit rate from the source.
    if (fields.AudioBitrateFromSource) j["audioBitrateFromSource"] = true;
    return j;
}

nlohmann::ordered_json PresetCatalogueJson() {
    nlohmann::ordered_json all = nlohmann::ordered_json::array();
    for (const TPresetRow& row : PresetRows())
        all.push_back(PresetToJson(row));
    return all;
}

} // namespace mw
