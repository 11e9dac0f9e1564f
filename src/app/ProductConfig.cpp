#include "app/ProductConfig.h"

#include "app/UtilFuncs.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace mw {

std::string DecodeConfigLine(const std::string& line) {
    std::string out = line;
    for (char& c : out)
        c = static_cast<char>(~static_cast<unsigned char>(c));
    return out;
}

bool IsYesValue(const std::string& value) {
    return value == "True" || value == "Yes";
}

TIniText::TIniText(const std::vector<std::string>& lines) {
    std::map<std::string, std::string>* current = nullptr;
    for (const std::string& raw : lines) {
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == ';') continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            // A repeated section header keeps adding to the first one; its keys still lose to earlier ones.
            current = &FSections[LowerCase(Trim(line.substr(1, line.size() - 2)))];
            continue;
        }
        if (!current) continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        current->emplace(LowerCase(Trim(line.substr(0, eq))), Trim(line.substr(eq + 1)));
    }
}

bool TIniText::Has(const std::string& section, const std::string& key) const {
    auto s = FSections.find(LowerCase(section));
    return s != FSections.end() && s->second.count(LowerCase(key)) > 0;
}

std::string TIniText::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const {
    auto s = FSections.find(LowerCase(section));
    if (s == FSections.end()) return def;
    auto k = s->second.find(LowerCase(key));
    return k == s->second.end() ? def : k->second;
}

std::vector<std::string> ReadConfigLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw EConfigError("Cannot open file \"" + path + "\". " + std::strerror(errno));
    std::stringstream ss;
    ss << in.rdbuf();
    if (in.bad()) throw EConfigError("Cannot read file \"" + path + "\". " + std::strerror(errno));
    std::string text = ss.str();
    // A stored byte 0 ends the text.
    if (size_t nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
    return SplitTextLines(text);
}

TIniText LoadProductConfigFile(const std::string& path) {
    std::vector<std::string> lines = ReadConfigLines(path);
    for (std::string& l : lines)
        l = DecodeConfigLine(l);
    return TIniText(lines);
}

std::string ProductConfigFile() {
    return AddTrailingBackslash(ExecutableFolder()) + ProductConfigFileName;
}

std::string ResourceFolder(const TProductConfig& config) {
    return AddTrailingBackslash(AddTrailingBackslash(ExecutableFolder()) + "sounds" + PathDelim +
                                config.ResFolder);
}

namespace {
constexpr const char* Section = "SYSTEM";

int32_t ReadIntegerKey(const TIniText& ini, const char* key) {
    const std::string value = ini.ReadString(Section, key);
    int32_t v;
    if (!TryStrToInt(value, v)) throw EConfigError("'" + value + "' is not a valid integer value for " + key);
    return v;
}

// Links are compared in lower case, so the domain is kept so too.
std::string SiteDomainOf(const TIniText& ini) {
    const std::string domain = LowerCase(ini.ReadString(Section, "SiteDomain"));
    return domain.empty() ? DefaultSiteDomain : domain;
}
} // namespace

TProductConfig ReadProductConfig(const std::string& path) {
    const TIniText ini = LoadProductConfigFile(path);
    TProductConfig c;
    auto flag = [&](const char* key) { return IsYesValue(ini.ReadString(Section, key)); };
    c.Name = ini.ReadString(Section, "Name");
    c.Version = ini.ReadString(Section, "Version");
    c.Copyright = ini.ReadString(Section, "Copyright");
    c.Download = flag("Download");
    c.Merge = flag("Merge");
    c.Skin = ReadIntegerKey(ini, "Skin");
    c.ResFolder = ini.ReadString(Section, "ResFolder");
    c.HelpContectLink = ini.ReadString(Section, "HelpContectLink");
    c.HelpHowTosTutorialVideosLink = ini.ReadString(Section, "HelpHowTosTutorialVideosLink");
    c.HelpHomePageLink = ini.ReadString(Section, "HelpHomePageLink");
    c.HelpMoreFreeToolsLink = ini.ReadString(Section, "HelpMoreFreeToolsLink");
    c.HelpCheckForUpdatesLink = ini.ReadString(Section, "HelpCheckForUpdatesLink");
    c.HelpSupportLink = ini.ReadString(Section, "HelpSupportLink");
    c.PromotionsBase = ini.ReadString(Section, "PromotionsBase");
    c.SiteDomain = SiteDomainOf(ini);
    for (size_t i = 0; i < VideoFormatKeys.size(); ++i)
        c.VideoFormats[i] = flag(VideoFormatKeys[i]);
    for (size_t i = 0; i < DeviceFormatKeys.size(); ++i)
        c.DeviceFormats[i] = flag(DeviceFormatKeys[i]);
    for (size_t i = 0; i < AudioFormatKeys.size(); ++i)
        c.AudioFormats[i] = flag(AudioFormatKeys[i]);
    c.DefaultVideo = static_cast<uint8_t>(ReadIntegerKey(ini, "DefaultVideo"));
    c.DefaultDevice = static_cast<uint8_t>(ReadIntegerKey(ini, "DefaultDevice"));
    c.DefaultAudio = static_cast<uint8_t>(ReadIntegerKey(ini, "DefaultAudio"));
    c.DefaultClass = ReadIntegerKey(ini, "DefaultClass");
    return c;
}

std::string ReadProductTitle(const std::string& path) {
    return LoadProductConfigFile(path).ReadString(Section, "Name");
}

std::string ReadProductSiteDomain(const std::string& path) {
    try {
        return SiteDomainOf(LoadProductConfigFile(path));
    } catch (const EConfigError&) {
        return DefaultSiteDomain;
    }
}

} // namespace mw
