#include "app/ProfileFile.h"

#include "app/UtilFuncs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace mw {

namespace {

bool IsSectionLine(const std::string& trimmed) {
    return trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']';
}

std::string SectionName(const std::string& trimmed) {
    return Trim(trimmed.substr(1, trimmed.size() - 2));
}

// Splits "key = value" at its first "="; false for lines that are not key lines.
bool SplitKeyLine(const std::string& line, std::string& key, std::string& value) {
    const std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || IsSectionLine(t)) return false;
    size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    key = Trim(t.substr(0, eq));
    value = Trim(t.substr(eq + 1));
    return true;
}

} // namespace

TProfileFile::TProfileFile(std::string path) : FPath(std::move(path)) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(FPath, ec)) return;
    FExists = true;
    if (std::filesystem::file_size(FPath, ec) > MaxFileBytes || ec) return;
    std::ifstream in(FPath, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string text = ss.str();
    // A NUL byte ends the text, as it does for the profile-file service.
    if (size_t nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
    FLines = SplitTextLines(text);
}

int TProfileFile::FindSection(const std::string& section) const {
    for (size_t i = 0; i < FLines.size(); ++i) {
        const std::string t = Trim(FLines[i]);
        if (IsSectionLine(t) && SameText(SectionName(t), section)) return static_cast<int>(i);
    }
    return -1;
}

int TProfileFile::SectionEnd(int header) const {
    size_t i = static_cast<size_t>(header) + 1;
    while (i < FLines.size() && !IsSectionLine(Trim(FLines[i])))
        ++i;
    return static_cast<int>(i);
}

int TProfileFile::FindKey(int header, const std::string& key) const {
    const int end = SectionEnd(header);
    std::string k, v;
    for (int i = header + 1; i < end; ++i)
        if (SplitKeyLine(FLines[static_cast<size_t>(i)], k, v) && SameText(k, key)) return i;
    return -1;
}

bool TProfileFile::ValueExists(const std::string& section, const std::string& key) const {
    const int header = FindSection(section);
    return header >= 0 && FindKey(header, key) >= 0;
}

std::string TProfileFile::ReadString(const std::string& section, const std::string& key,
                                     const std::string& def) const {
    const int header = FindSection(section);
    if (header < 0) return def;
    const int line = FindKey(header, key);
    if (line < 0) return def;
    std::string k, v;
    SplitKeyLine(FLines[static_cast<size_t>(line)], k, v);
    if (v.size() > MaxValueLength) v.resize(MaxValueLength);
    return v;
}

int32_t TProfileFile::ReadInteger(const std::string& section, const std::string& key, int32_t def) const {
    const std::string s = ReadString(section, key, "");
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        // Hexadecimal may use all 32 bits (0xFFFFFFFF is -1).
        if (s.size() > 10) return def;
        uint32_t v = 0;
        for (size_t i = 2; i < s.size(); ++i) {
            const char c = s[i];
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                return def;
            v = v * 16 + static_cast<uint32_t>(d);
        }
        return static_cast<int32_t>(v);
    }
    int32_t v;
    return TryStrToInt(s, v) ? v : def;
}

bool TProfileFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TProfileFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    // One key per line: a line break in any part would create or change other keys on the next read.
    static const std::string lineEnds("\r\n\0", 3);
    for (const std::string* part : {&section, &key, &value})
        if (part->find_first_of(lineEnds) != std::string::npos)
            throw EProfileValueError("Cannot save \"" + key + "\" in \"" + FPath +
                                     "\": the value holds a line break; the previous value is kept");
    const std::string line = key + "=" + value;
    FDirty = true;
    int header = FindSection(section);
    if (header < 0) {
        if (!FLines.empty() && !Trim(FLines.back()).empty()) FLines.emplace_back();
        FLines.push_back("[" + section + "]");
        FLines.push_back(line);
        return;
    }
    if (int at = FindKey(header, key); at >= 0) {
        FLines[static_cast<size_t>(at)] = line;
        return;
    }
    // After the section's last non-blank line, so the blank line before the next section stays.
    int at = SectionEnd(header);
    while (at - 1 > header && Trim(FLines[static_cast<size_t>(at - 1)]).empty())
        --at;
    FLines.insert(FLines.begin() + at, line);
}

void TProfileFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void TProfileFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void TProfileFile::UpdateFile() {
    if (!FDirty) return;
    std::string text;
    for (const std::string& l : FLines)
        text += l + "\n";
    const std::string tmp = FPath + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) throw EProfileWriteError("Cannot write \"" + FPath + "\": " + std::strerror(errno));
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = (std::fflush(f) == 0) && ok;
    const int err = errno;
    ok = (std::fclose(f) == 0) && ok;
    if (!ok || std::rename(tmp.c_str(), FPath.c_str()) != 0) {
        const int e = ok ? errno : err;
        ::unlink(tmp.c_str());
        throw EProfileWriteError("Cannot write \"" + FPath + "\": " + std::strerror(e));
    }
    FDirty = false;
    FExists = true;
}

} // namespace mw
