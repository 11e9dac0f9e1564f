#include "wizard/WizardCommandLine.h"

#include <filesystem>

namespace mw {

const char* const WizardUsage =
    "Usage: mediawizard [FILE...]\n"
    "       mediawizard --version | --help\n"
    "\n"
    "Opens the wizard of the installed edition. Each FILE (a path or a file:// address) is added\n"
    "to the file list at start, and the window opens on the file page.\n"
    "\n"
    "  --version   the version, the edition and the media libraries found\n"
    "  --help      this text\n"
    "  --          the arguments after it are files, even when they begin with \"-\"\n"
    "\n"
    "Qt's own options (-platform, -display, -style, ...) are accepted too.\n";

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A scheme as RFC 3986 spells it, followed by "://"; file names such as "a:b.wav" are not one.
bool HasUrlScheme(const std::string& text) {
    const size_t colon = text.find("://");
    if (colon == std::string::npos || colon == 0) return false;
    for (size_t i = 0; i < colon; ++i) {
        const char c = text[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')))
            return false;
    }
    return true;
}

} // namespace

bool LocalPathOfFileUrl(const std::string& url, std::string& path) {
    static const std::string Scheme = "file://";
    if (url.size() <= Scheme.size() || url.compare(0, Scheme.size(), Scheme) != 0) return false;
    std::string rest = url.substr(Scheme.size());
    const size_t slash = rest.find('/');
    if (slash == std::string::npos) return false;
    const std::string host = rest.substr(0, slash);
    if (!host.empty() && host != "localhost") return false;
    rest = rest.substr(slash);
    // A query or fragment has no place in a local file's address.
    if (rest.find_first_of("?#") != std::string::npos) return false;
    std::string decoded;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] != '%') {
            decoded += rest[i];
            continue;
        }
        const int hi = i + 2 < rest.size() ? HexValue(rest[i + 1]) : -1;
        const int lo = hi >= 0 ? HexValue(rest[i + 2]) : -1;
        if (lo < 0) return false;
        const char c = static_cast<char>(hi * 16 + lo);
        if (c == '\0') return false; // would cut the name short
        decoded += c;
        i += 2;
    }
    path = decoded;
    return true;
}

TWizardCommandLine ParseWizardCommandLine(const std::vector<std::string>& args, const std::string& cwd) {
    TWizardCommandLine line;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (arg.empty()) continue;
        if (!optionsEnded && arg[0] == '-') {
            if (arg == "--") {
                optionsEnded = true;
            } else if (arg == "--help" || arg == "-h") {
                line.Help = true;
            } else if (arg == "--version") {
                line.Version = true;
            } else if (line.Error.empty()) {
                line.Error = "unknown option '" + arg + "' (see --help)";
            }
            continue;
        }
        std::string path = arg;
        if (HasUrlScheme(arg) && !LocalPathOfFileUrl(arg, path)) {
            line.Refused.push_back(arg + ": not a local file");
            continue;
        }
        std::filesystem::path p(path);
        if (p.is_relative()) p = std::filesystem::path(cwd) / p;
        line.Files.push_back(p.lexically_normal().string());
    }
    return line;
}

} // namespace mw
