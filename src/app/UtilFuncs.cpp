#include "app/UtilFuncs.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace mw {

std::string AddTrailingBackslash(const std::string& path) {
    if (path.empty() || path.back() == PathDelim) return path;
    return path + PathDelim;
}

static size_t LastComponentStart(const std::string& path) {
    size_t p = path.rfind(PathDelim);
    return p == std::string::npos ? 0 : p + 1;
}

std::string ExtractFileExt(const std::string& path) {
    size_t start = LastComponentStart(path);
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < start) return "";
    return path.substr(dot);
}

std::string ExtractFileName(const std::string& path) {
    return path.substr(LastComponentStart(path));
}

std::string ExtractFilePath(const std::string& path) {
    return path.substr(0, LastComponentStart(path));
}

std::string StripFileExt(const std::string& path) {
    return path.substr(0, path.size() - ExtractFileExt(path).size());
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool PathTaken(const std::string& path) {
    struct stat st {};
    return !path.empty() && lstat(path.c_str(), &st) == 0;
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ForceDirectories(const std::string& path, mode_t mode) {
    if (path.empty()) return false;
    // Walk down from the root; levels that exist already keep their mode.
    for (size_t p = path.find(PathDelim, 1);; p = path.find(PathDelim, p + 1)) {
        const std::string level = path.substr(0, p);
        if (!level.empty() && ::mkdir(level.c_str(), mode) != 0 && errno != EEXIST) return false;
        if (p == std::string::npos) break;
    }
    return DirectoryExists(path);
}

bool IsValidUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t extra;
        uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= s.size()) return false;
        for (size_t k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        static const uint32_t MinByLength[4] = {0, 0x80, 0x800, 0x10000};
        if (cp < MinByLength[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

std::string MakeUniqueFileName(const std::string& name, const std::string& folder) {
    return MakeUniqueFileName(name, folder, {});
}

std::string MakeUniqueFileName(const std::string& name, const std::string& folder,
                               const std::set<std::string>& taken) {
    const std::string dir = AddTrailingBackslash(folder);
    auto free = [&](const std::string& candidate) {
        return !taken.count(candidate) && !PathTaken(dir + candidate);
    };
    if (free(name)) return name;
    const std::string base = StripFileExt(name);
    const std::string ext = ExtractFileExt(name);
    for (int n = 1; n <= 32767; ++n) {
        std::string candidate = base + "(" + std::to_string(n) + ")" + ext;
        if (free(candidate)) return candidate;
    }
    return base + "(32768)" + ext;
}

std::string MakeSafeFileName(const std::string& name) {
    static const std::string forbidden = "\\/:*?\"<>|";
    std::string result = name;
    for (char& c : result)
        if (forbidden.find(c) != std::string::npos) c = '_';
    return result;
}

bool IsMediaFileExt(const std::string& ext) {
    static const std::array<const char*, 41> known = {
        ".mp3", ".aac", ".wav",  ".wma", ".cda", ".flac", ".m4a", ".mid", ".mka", ".mp2", ".mpa",
        ".mpc", ".ape", ".ofr",  ".ogg", ".ra",  ".wv",   ".tta", ".ac3", ".dts", ".avi", ".avm",
        ".asf", ".wmv", ".avs",  ".flv", ".mkv", ".mov",  ".3gp", ".mp4", ".mpg", ".dat", ".ogm",
        ".vob", ".rm",  ".rmvb", ".ts",  ".tp",  ".ifo",  ".nsv", ".swf"};
    const std::string lower = LowerCase(ext);
    return std::any_of(known.begin(), known.end(), [&](const char* e) { return lower == e; });
}

std::string TimeSpanText(int64_t ms, bool wrapAtDay, int hourDigits, bool withMillis) {
    const bool negative = ms < 0;
    const uint64_t m = negative ? 0 - static_cast<uint64_t>(ms) : static_cast<uint64_t>(ms);
    unsigned long long hours = m / 3600000;
    if (wrapAtDay) hours %= 24;
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "%s%0*llu:%02u:%02u", negative ? "-" : "", hourDigits, hours,
                          static_cast<unsigned>(m / 60000 % 60), static_cast<unsigned>(m / 1000 % 60));
    if (withMillis && n > 0) std::snprintf(buf + n, sizeof buf - n, ".%03u", static_cast<unsigned>(m % 1000));
    return buf;
}

std::string FormatMicroseconds(int64_t us) {
    return TimeSpanText(us / 1000, false, 2, true);
}

std::string FormatPictureTime(int64_t us) {
    if (us == std::numeric_limits<int64_t>::min()) return "N/A";
    // Less than a millisecond before zero reads as zero, not as "-00:00:00.000".
    if (us > -1000) return FormatMicroseconds(std::max<int64_t>(us, 0));
    return "-" + FormatMicroseconds(-us);
}

// XDG user-dirs file: lines such as XDG_DOCUMENTS_DIR="$HOME/Documents".
static std::string ReadXdgUserDir(const std::string& configHome, const std::string& home,
                                  const std::string& key) {
    std::ifstream in(AddTrailingBackslash(configHome) + "user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.rfind(key + "=", 0) != 0) continue;
        std::string value = line.substr(key.size() + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
        if (!value.empty() && value.front() == PathDelim) return value;
    }
    return "";
}

std::string GetShellFolderPath(const std::string& name) {
    const char* homeEnv = std::getenv("HOME");
    const std::string home = homeEnv && *homeEnv == PathDelim ? homeEnv : "";
    const char* cfgEnv = std::getenv("XDG_CONFIG_HOME");
    std::string configHome = cfgEnv && *cfgEnv == PathDelim ? cfgEnv : "";
    if (configHome.empty() && !home.empty()) configHome = home + "/.config";
    std::string result;
    if (SameText(name, "AppData")) {
        result = configHome;
    } else if (SameText(name, "Personal")) {
        if (!configHome.empty()) result = ReadXdgUserDir(configHome, home, "XDG_DOCUMENTS_DIR");
        if (result.empty() && DirectoryExists(home + "/Documents")) result = home + "/Documents";
        if (result.empty()) result = home;
    }
    // The root folder is this platform's "C:\": the answer when nothing better is known.
    while (result.size() > 1 && result.back() == PathDelim)
        result.pop_back();
    return result.empty() ? std::string(1, PathDelim) : result;
}

std::string TextBetween(const std::string& text, const std::string& startMark, const std::string& endMark) {
    size_t s = text.find(startMark);
    if (s == std::string::npos) return "";
    s += startMark.size();
    size_t e = text.find(endMark, s);
    if (e == std::string::npos) return "";
    return text.substr(s, e - s);
}

std::vector<std::string> SplitByDelimiter(const std::string& text, const std::string& delimiter) {
    std::vector<std::string> pieces;
    if (delimiter.empty()) {
        if (!text.empty()) pieces.push_back(text);
        return pieces;
    }
    size_t pos = 0;
    while (true) {
        size_t next = text.find(delimiter, pos);
        if (next == std::string::npos) {
            if (pos < text.size()) pieces.push_back(text.substr(pos));
            break;
        }
        pieces.push_back(text.substr(pos, next - pos));
        pos = next + delimiter.size();
    }
    return pieces;
}

std::vector<std::string> SplitTextLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string cur;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(cur);
            cur.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) lines.push_back(cur);
    return lines;
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ')
        --e;
    return s.substr(b, e - b);
}

std::string LowerCase(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool SameText(const std::string& a, const std::string& b) {
    return LowerCase(a) == LowerCase(b);
}

bool TryStrToInt(const std::string& s, int32_t& value) {
    if (s.empty() || static_cast<unsigned char>(s[0]) <= ' ') return false;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(s.c_str(), &end, 10);
    if (errno != 0 || end != s.c_str() + s.size() || v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int32_t>(v);
    return true;
}

std::string ExecutableFolder() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "./";
    return ExtractFilePath(std::string(buf, static_cast<size_t>(n)));
}

} // namespace mw
