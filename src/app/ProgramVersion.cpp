#include "app/ProgramVersion.h"

#include "app/ProductConfig.h"

namespace mw {

void ReadEditionVersion(const std::string& configFile, TProgramVersion& version) {
    try {
        const TIniText ini = LoadProductConfigFile(configFile);
        version.Edition = ini.ReadString("SYSTEM", "Name");
        version.Version = ini.ReadString("SYSTEM", "Version");
        version.EditionError.clear();
    } catch (const std::exception& e) {
        version.EditionError = e.what();
    }
}

namespace {

std::string ComponentLine(const TComponentVersion& c) {
    if (c.Version.empty()) return c.Name + ": not found" + (c.Note.empty() ? "" : " (" + c.Note + ")");
    return c.Name + " " + c.Version + (c.Note.empty() ? "" : " (" + c.Note + ")");
}

} // namespace

std::string FormatProgramVersion(const TProgramVersion& v) {
    std::string out = v.Program;
    if (!v.EditionError.empty()) {
        out += " (edition not readable: " + v.EditionError + ")";
    } else {
        if (!v.Version.empty()) out += " " + v.Version;
        if (!v.Edition.empty()) out += " (" + v.Edition + ")";
    }
    out += "\n";
    for (const TComponentVersion& lib : v.Libraries)
        out += ComponentLine(lib) + "\n";
    if (v.Extractor) out += ComponentLine(*v.Extractor) + "\n";
    return out;
}

std::string PackedVersionText(unsigned packed) {
    return std::to_string(packed >> 16) + "." + std::to_string((packed >> 8) & 0xFF) + "." +
           std::to_string(packed & 0xFF);
}

} // namespace mw
