// The product configuration: an INI text beside the executable whose every byte is complemented.
// It decides the edition: title, links, which jobs and formats are offered, the layout.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace mw {

inline constexpr const char* ProductConfigFileName = "lamecore.dll";
inline constexpr const char* DefaultSiteDomain = "youtube.com";

class EConfigError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Flag keys of the 25 formats, in class order (Video, Device, Audio), each in its numbering.
inline constexpr std::array<const char*, 9> VideoFormatKeys = {"AVI", "MP4", "FLV", "SWF", "MPEG",
                                                               "RM",  "WMV", "MOV", "3GP"};
inline constexpr std::array<const char*, 8> DeviceFormatKeys = {
    "IPOD", "IPHONE", "APPLETV", "PSP", "BLACKBERRY", "MOBILEPHONE", "IPAD", "ANDROID"};
inline constexpr std::array<const char*, 8> AudioFormatKeys = {"WAV", "MP3", "WMA",  "OGG",
                                                               "AAC", "M4A", "FLAC", "MP2"};

struct TProductConfig {
    std::string Name;
    std::string Version;
    std::string Copyright;
    bool Download = false;
    bool Merge = false;
    int32_t Skin = 0;
    std::string ResFolder;
    std::string HelpContectLink;
    std::string HelpHowTosTutorialVideosLink;
    std::string HelpHomePageLink;
    std::string HelpMoreFreeToolsLink;
    std::string HelpCheckForUpdatesLink;
    std::string HelpSupportLink;
    // The promotions server (https); empty: no offers are asked for.
    std::string PromotionsBase;
    // The video site of the built-in download road, in lower case ("youtube.com" when absent).
    std::string SiteDomain = DefaultSiteDomain;
    std::array<bool, 9> VideoFormats{};
    std::array<bool, 8> DeviceFormats{};
    std::array<bool, 8> AudioFormats{};
    // Low byte of the configured integer, as the settings store keeps it.
    uint8_t DefaultVideo = 0;
    uint8_t DefaultDevice = 0;
    uint8_t DefaultAudio = 0;
    int32_t DefaultClass = 0;
};

// Complements every byte; the same call encodes and decodes.
std::string DecodeConfigLine(const std::string& line);
// True only for exactly "True" or "Yes".
bool IsYesValue(const std::string& value);

// Parsed INI text: trimmed lines, ";" comments, case-insensitive sections and keys, first wins.
class TIniText {
  public:
    explicit TIniText(const std::vector<std::string>& lines);
    bool Has(const std::string& section, const std::string& key) const;
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& def = "") const;

  private:
    std::map<std::string, std::map<std::string, std::string>> FSections; // lower-case names
};

// Lines of the file with their line breaks removed; throws EConfigError when it cannot be read.
std::vector<std::string> ReadConfigLines(const std::string& path);
// Reads and decodes the configuration file.
TIniText LoadProductConfigFile(const std::string& path);

std::string ProductConfigFile(); // beside the executable
std::string ResourceFolder(const TProductConfig& config);

// Reads every key; throws EConfigError on a missing file or a non-integer integer key.
TProductConfig ReadProductConfig(const std::string& path = ProductConfigFile());
// Only the title, as the entry sequence needs it before any window exists.
std::string ReadProductTitle(const std::string& path = ProductConfigFile());
// Only the site's domain (the default when the file cannot be read), for the command-line tool.
std::string ReadProductSiteDomain(const std::string& path = ProductConfigFile());

} // namespace mw
