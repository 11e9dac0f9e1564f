// INI ("profile") file read and written key by key, like the classic profile-file service:
// a write replaces the key's value in place, appends a missing key at the end of its section,
// creates a missing section at the end of the file, and keeps every other line as it was.
// Look-ups ignore case; the first occurrence of a section or key counts.
// Not thread-safe: one owner thread.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace mw {

class EProfileWriteError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A value that the line-based file cannot hold (a line break would start another key).
class EProfileValueError : public EProfileWriteError {
  public:
    using EProfileWriteError::EProfileWriteError;
};

class TProfileFile {
  public:
    // Longest value a read returns, as the profile-file service's 2048-byte buffer allows.
    static constexpr size_t MaxValueLength = 2047;
    // A file larger than this is not parsed: every key reads as its default.
    static constexpr uintmax_t MaxFileBytes = 16u * 1024 * 1024;

    explicit TProfileFile(std::string path);

    const std::string& Path() const { return FPath; }
    // True when the file existed when opened (or was written since).
    bool Exists() const { return FExists; }

    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    // Decimal or "0x" hexadecimal; absent or non-numeric values give def.
    int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def) const;
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;
    bool ValueExists(const std::string& section, const std::string& key) const;

    // Writes go to memory; UpdateFile puts them on disk. A section, key or value holding CR, LF or
    // NUL is refused with EProfileValueError and changes nothing.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int32_t value);
    void WriteBool(const std::string& section, const std::string& key, bool value);

    // Saves pending writes (atomically: a temporary file renamed over the old one).
    // Throws EProfileWriteError with the system's reason when that fails.
    void UpdateFile();

  private:
    // Index of the section header line, or -1.
    int FindSection(const std::string& section) const;
    // Index of the key's line within the section starting at header index, or -1.
    int FindKey(int header, const std::string& key) const;
    int SectionEnd(int header) const;

    std::string FPath;
    std::vector<std::string> FLines;
    bool FExists = false;
    bool FDirty = false;
};

} // namespace mw
