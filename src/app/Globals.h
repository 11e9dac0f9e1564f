// The program's single global state record. Owned and changed by the GUI thread only.
#pragma once

#include "app/ProductConfig.h"
#include "app/UserSettings.h"

#include <string>
#include <vector>

namespace mw {

struct TGlobalVars {
    TProductConfig ProductConfig;
    TUserSettings UserSettings;
    std::string SettingsFolder; // with trailing separator
    // Errors of the current conversion run, one line each.
    std::vector<std::string> RunErrors;
    // Files that could not be added to the source list, with their reasons.
    std::vector<std::string> AddFailedFiles;

    std::string SettingsFile() const { return SettingsFilePath(SettingsFolder); }
};

extern TGlobalVars GlobalVars;

} // namespace mw
