// The promotions' plain rules: which offer folder and site word address the offer, how the offer
// description reads, and which addresses may be fetched or opened at all.
#pragma once

#include <cstddef>
#include <string>

namespace mw {

inline constexpr const char* InstallerIniFileName = "installer.ini";
inline constexpr const char* OfferPictureFileName = "img.png";
inline constexpr const char* OfferProgramFileName = "exe.exe";
inline constexpr const char* UpdateProgramFileName = "goup";

// The three partner offers the installer records; true = accepted.
struct TInstallerOffers {
    bool CO = false, OP = false, CS = false;
};

// Reads section "Settings", keys "bundleCO", "bundleOP", "bundleCS" of the installer's INI file;
// a missing file or key, or any value but exactly "Yes", counts as not accepted.
TInstallerOffers ReadInstallerOffers(const std::string& iniPath);

// "bundleCO", "bundleOP" or "bundleCS" for the first offer not accepted, "bundleALL" when all are.
std::string OfferFolder(const TInstallerOffers& offers);

// The home page link without its scheme prefix, "www." and slashes (ignoring case).
std::string SiteWord(const std::string& homePageLink);

// base + "/ad/" + folder + "/" + site + extension (".dat" or ".png"); a trailing "/" of base is dropped.
std::string PromotionAddress(const std::string& base, const std::string& folder, const std::string& site,
                             const std::string& extension);

enum class TPromotionKind { None, ExeFile, WebPage };

struct TPromotionInfo {
    std::string Target;
    std::string Hint;
    TPromotionKind Kind = TPromotionKind::None;
    std::string Confirm1, Confirm2; // blanks trimmed; both empty = no confirmation
    bool Valid = false;             // at least the three defined lines were there
};

// Largest offer description read.
inline constexpr size_t MaxPromotionInfoBytes = 16 * 1024;

// Lines 1-3: target, hint, kind; lines 4 and 5: the confirmation. Fewer than three lines give no
// offer; a fourth line alone is the whole confirmation; lines past the fifth are ignored.
TPromotionInfo ParsePromotionInfo(const std::string& text);

// May the promotions fetch this address? https, or plain http to a loopback host only.
bool IsFetchAllowed(const std::string& url);
// May an offer's web page be handed to the browser? http or https only.
bool IsWebPageAllowed(const std::string& url);

// True when the file starts with the PNG signature.
bool LooksLikePng(const std::string& path);

} // namespace mw
