#include "download/ExtractorProgram.h"

#include "app/UserSettings.h"
#include "app/UtilFuncs.h"
#include "download/ExtractorProcess.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace mw {

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st;
    return !path.empty() && path[0] == '/' && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// Texts of the program's errors that mean its parser no longer fits the site (not the
// bug-report advice it appends to many errors, a missing page's among them).
constexpr std::array<const char*, 4> SiteChangedTexts = {"unable to extract", "failed to extract",
                                                         "nsig extraction failed", "signature extraction failed"};

size_t Utf8CutPoint(const std::string& s, size_t maxBytes) {
    if (s.size() <= maxBytes) return s.size();
    size_t cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80)
        --cut;
    return cut;
}

} // namespace

std::string FindExtractorPath(const std::string& configuredPath) {
    if (!configuredPath.empty()) return IsExecutableFile(configuredPath) ? configuredPath : "";
    if (const char* home = std::getenv("HOME"); home && *home) {
        const std::string own = AddTrailingBackslash(home) + ".local/bin/" + ExtractorName;
        if (IsExecutableFile(own)) return own;
    }
    return FindProgramOnPath(ExtractorName);
}

std::string FindProgramOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    for (const std::string& dir : SplitByDelimiter(path ? path : "", ":")) {
        if (dir.empty() || dir[0] != '/') continue; // a relative entry names the current folder
        const std::string candidate = AddTrailingBackslash(dir) + name;
        if (IsExecutableFile(candidate)) return candidate;
    }
    return "";
}

std::string CleanExtractorVersion(const std::string& answer) {
    std::string line = answer.substr(0, answer.find('\n'));
    line = Trim(line);
    std::string out;
    for (char c : line) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F) out += c;
        if (out.size() >= 64) break;
    }
    return out;
}

bool IsUserOwnedProgram(const std::string& path) {
    if (path.empty()) return false;
    char resolved[4096];
    if (!::realpath(path.c_str(), resolved)) return false;
    const std::string real = resolved;
    if (real.rfind("/usr/", 0) == 0) return false;
    const std::string folder = real.substr(0, real.rfind('/') + 1);
    // Updating replaces the file, so its folder must take a new one too.
    return ::access(real.c_str(), W_OK) == 0 && ::access(folder.c_str(), W_OK) == 0;
}

TExtractorProgram FindExtractor(const std::string& configuredPath, int timeLimitMs) {
    TExtractorProgram p;
    p.Path = FindExtractorPath(configuredPath);
    if (!p.Found()) return p;
    TProcessLimits limits;
    limits.TimeLimitMs = timeLimitMs;
    limits.MaxStdoutBytes = 4096;
    const TProcessOutcome answer = RunProgram({p.Path, "--version"}, limits);
    if (answer.Succeeded()) p.Version = CleanExtractorVersion(answer.Stdout);
    p.UserOwned = IsUserOwnedProgram(p.Path);
    return p;
}

std::optional<TComponentVersion> ExtractorComponentVersion(const std::string& configuredPath) {
    const TExtractorProgram program = FindExtractor(configuredPath);
    if (!program.Found()) return std::nullopt;
    return TComponentVersion{ExtractorName, program.Version, program.Path};
}

bool ExtractorVersionDate(const std::string& version, int& year, int& month, int& day) {
    int consumed = 0;
    if (std::sscanf(version.c_str(), "%4d.%2d.%2d%n", &year, &month, &day, &consumed) != 3) return false;
    if (consumed != static_cast<int>(version.size()) && version[static_cast<size_t>(consumed)] != '.')
        return false;
    return year >= 2000 && month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

bool ExtractorIsOld(const std::string& version, std::time_t now) {
    int y, m, d;
    if (!ExtractorVersionDate(version, y, m, d)) return false;
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = m - 1;
    t.tm_mday = d;
    const std::time_t released = ::timegm(&t);
    return now - released > 365 * 24 * 3600;
}

bool ExtractorErrorSaysSiteChanged(const std::string& error) {
    const std::string lower = LowerCase(error);
    for (const char* text : SiteChangedTexts)
        if (lower.find(text) != std::string::npos) return true;
    return false;
}

std::string ExtractorTooOldText(const std::string& version) {
    return std::string("The download engine (") + ExtractorName + (version.empty() ? "" : " " + version) +
           ") may be too old for this site; update it";
}

TDownloadRoad ChooseDownloadRoad(uint8_t engine, bool extractorFound) {
    if (engine == deBuiltin) return TDownloadRoad::Builtin;
    if (engine == deExtractor) return extractorFound ? TDownloadRoad::Extractor : TDownloadRoad::ExtractorMissing;
    return extractorFound ? TDownloadRoad::Extractor : TDownloadRoad::Builtin;
}

std::string EscapeProgramText(const std::string& text, size_t maxBytes) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool c1 = c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (c < 0x20 || c == 0x7F || c1) {
            const unsigned code = c1 ? static_cast<unsigned char>(text[++i]) : c;
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", code);
            out += buf;
        } else {
            out += text[i];
        }
        if (out.size() > maxBytes + 8) break;
    }
    if (out.size() > maxBytes) out = out.substr(0, Utf8CutPoint(out, maxBytes)) + "...";
    return out;
}

} // namespace mw
