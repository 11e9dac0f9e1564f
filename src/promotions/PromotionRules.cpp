#include "promotions/PromotionRules.h"

#include "app/ProfileFile.h"
#include "app/UtilFuncs.h"

#include <array>
#include <cctype>
#include <fstream>
#include <utility>

namespace mw {

namespace {

// Case-insensitive removal of every occurrence of each word, in order.
std::string RemoveWords(std::string s, std::initializer_list<const char*> words) {
    for (const char* word : words) {
        const std::string w = LowerCase(word);
        for (size_t at = LowerCase(s).find(w); at != std::string::npos; at = LowerCase(s).find(w, at))
            s.erase(at, w.size());
    }
    return s;
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && LowerCase(s.substr(0, prefix.size())) == prefix;
}

// The host of an address as written (no decoding), or "" when the address is not plain.
std::string RawHost(const std::string& afterScheme) {
    const std::string authority = afterScheme.substr(0, afterScheme.find_first_of("/?#"));
    if (authority.find('@') != std::string::npos) return {};
    if (!authority.empty() && authority[0] == '[') {
        const size_t close = authority.find(']');
        return close == std::string::npos ? std::string{} : authority.substr(0, close + 1);
    }
    return authority.substr(0, authority.find(':'));
}

bool IsLoopbackHost(const std::string& host) {
    if (LowerCase(host) == "localhost" || host == "[::1]") return true;
    // Dotted IPv4 in 127.0.0.0/8, four decimal parts only.
    if (!StartsWithNoCase(host, "127.")) return false;
    int parts = 1, digits = 0;
    for (char c : host) {
        if (c == '.') {
            if (digits == 0 || digits > 3) return false;
            ++parts;
            digits = 0;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            ++digits;
        } else {
            return false;
        }
    }
    return parts == 4 && digits > 0 && digits <= 3;
}

bool HasControlOrBlank(const std::string& s) {
    for (unsigned char c : s)
        if (c <= ' ' || c == 0x7f) return true;
    return false;
}

} // namespace

TInstallerOffers ReadInstallerOffers(const std::string& iniPath) {
    const TProfileFile ini(iniPath);
    auto accepted = [&](const char* key) { return ini.ReadString("Settings", key, "") == "Yes"; };
    return {accepted("bundleCO"), accepted("bundleOP"), accepted("bundleCS")};
}

std::string OfferFolder(const TInstallerOffers& offers) {
    const std::array<std::pair<bool, const char*>, 3> order = {
        {{offers.CO, "bundleCO"}, {offers.OP, "bundleOP"}, {offers.CS, "bundleCS"}}};
    for (const auto& [accepted, word] : order)
        if (!accepted) return word;
    return "bundleALL";
}

std::string SiteWord(const std::string& homePageLink) {
    // "https://" is removed as well: left in, its "https:" would end up in the file name.
    return RemoveWords(homePageLink, {"https://", "http://", "www.", "/"});
}

std::string PromotionAddress(const std::string& base, const std::string& folder, const std::string& site,
                             const std::string& extension) {
    std::string b = base;
    while (!b.empty() && b.back() == '/')
        b.pop_back();
    return b + "/ad/" + folder + "/" + site + extension;
}

TPromotionInfo ParsePromotionInfo(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size() && lines.size() < 5) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    TPromotionInfo info;
    if (lines.size() < 3) return info;
    info.Valid = true;
    info.Target = Trim(lines[0]);
    info.Hint = lines[1];
    const std::string kind = Trim(lines[2]);
    info.Kind = kind == "EXEFILE"   ? TPromotionKind::ExeFile
                : kind == "WEBPAGE" ? TPromotionKind::WebPage
                                    : TPromotionKind::None;
    if (lines.size() > 3) info.Confirm1 = Trim(lines[3]);
    if (lines.size() > 4) info.Confirm2 = Trim(lines[4]);
    return info;
}

bool IsFetchAllowed(const std::string& url) {
    if (HasControlOrBlank(url)) return false;
    if (StartsWithNoCase(url, "https://")) return !RawHost(url.substr(8)).empty();
    if (StartsWithNoCase(url, "http://")) return IsLoopbackHost(RawHost(url.substr(7)));
    return false;
}

bool IsWebPageAllowed(const std::string& url) {
    if (HasControlOrBlank(url)) return false;
    for (const char* scheme : {"https://", "http://"})
        if (StartsWithNoCase(url, scheme)) return !RawHost(url.substr(std::string(scheme).size())).empty();
    return false;
}

bool LooksLikePng(const std::string& path) {
    static const char signature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};
    std::ifstream f(path, std::ios::binary);
    char head[8] = {};
    return f.read(head, 8) && std::equal(head, head + 8, signature);
}

} // namespace mw
