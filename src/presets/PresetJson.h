// The catalogue as JSON for scripts: one object per preset with its class, format, index, text,
// extension and the output fields it writes (record names; fields it does not write are absent).
#pragma once

#include "presets/PresetCatalogue.h"

#include <nlohmann/json.hpp>

namespace mw {

nlohmann::ordered_json PresetToJson(const TPresetRow& row);
// All presets in catalogue order.
nlohmann::ordered_json PresetCatalogueJson();

} // namespace mw
