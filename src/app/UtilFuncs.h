// Path, file-name, time-text and text-cutting helpers shared by the whole program.
// Paths use the native separator; texts are UTF-8. Positions in texts count from 0 here.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace mw {

inline constexpr char PathDelim = '/';

// Appends the path separator unless the path already ends with it; an empty path stays empty.
std::string AddTrailingBackslash(const std::string& path);

// The extension of the last path component, dot included ("" when it has none).
std::string ExtractFileExt(const std::string& path);
// The last path component.
std::string ExtractFileName(const std::string& path);
// The folder part with its trailing separator ("" when the path has none).
std::string ExtractFilePath(const std::string& path);
// The path without the extension of its last component.
std::string StripFileExt(const std::string& path);

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// True when anything is at the path: a file, a folder, a symbolic link (dangling or not).
bool PathTaken(const std::string& path);
// Creates the folder and its missing parents; new levels get mode (less the umask), private to the
// user by default. True when the folder exists afterwards.
bool ForceDirectories(const std::string& path, mode_t mode = 0700);

// A file name (not a path) that is free in folder (nothing at all at its path, not even a folder
// or a dangling link): name, else name(1).ext, name(2).ext ...
std::string MakeUniqueFileName(const std::string& name, const std::string& folder);
// The same, also passing over the names in taken (names already given to other outputs).
std::string MakeUniqueFileName(const std::string& name, const std::string& folder,
                               const std::set<std::string>& taken);
// Replaces the nine characters that file names may not hold by "_".
std::string MakeSafeFileName(const std::string& name);
// True for the 41 media extensions accepted by drag and drop (".mp3", case-insensitive).
bool IsMediaFileExt(const std::string& ext);

// The one time-span text: "H:MM:SS" of a span of milliseconds, "-" before a negative one; hours
// at least hourDigits wide and, with wrapAtDay, counted modulo 24 (as a clock shows a date-time's
// time); ".mmm" after the seconds with withMillis.
std::string TimeSpanText(int64_t ms, bool wrapAtDay, int hourDigits, bool withMillis);
// "HH:MM:SS.mmm" with hours not wrapped at 24.
std::string FormatMicroseconds(int64_t us);
// A picture's time as FormatMicroseconds shows it, "-" before a time before zero, "N/A" for the
// engine's not-set time (the smallest 64-bit value).
std::string FormatPictureTime(int64_t us);

// "AppData" or "Personal": the per-user configuration folder or the documents folder.
std::string GetShellFolderPath(const std::string& name);

// The text between the first start mark and the first end mark after it ("" without end mark).
std::string TextBetween(const std::string& text, const std::string& startMark, const std::string& endMark);
// Pieces between delimiters; inner and leading empty pieces stay, a final empty piece is dropped.
std::vector<std::string> SplitByDelimiter(const std::string& text, const std::string& delimiter);

// Strict UTF-8: no overlong forms, surrogates, values past U+10FFFF or cut sequences.
bool IsValidUtf8(const std::string& s);

// Lines split at CR LF, LF or CR; a last line without a break counts when not empty.
std::vector<std::string> SplitTextLines(const std::string& text);

std::string Trim(const std::string& s);
std::string LowerCase(std::string s);
bool SameText(const std::string& a, const std::string& b);
// Decimal integer with optional sign, whole text; false on junk or overflow.
bool TryStrToInt(const std::string& s, int32_t& value);

// Folder of the running executable, with trailing separator.
std::string ExecutableFolder();

} // namespace mw
