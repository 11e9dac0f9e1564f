// The desktop program's single global state record. Owned and changed by the GUI thread only.
#pragma once

#include "app/ProductConfig.h"
#include "app/UserSettings.h"
#include "convert/RunCounters.h"

#include <string>
#include <vector>

namespace mw {

struct TGlobalVars {
    TProductConfig ProductConfig;
    TUserSettings UserSettings;
    std::string SettingsFolder; // with trailing separator
    TConversionRun ConversionRun;
    // Files that could not be added to the source list, with their reasons.
    std::vector<std::string> AddFailedFiles;

    std::string SettingsFile() const { return SettingsFilePath(SettingsFolder); }
};

extern TGlobalVars GlobalVars;

} // namespace mw
