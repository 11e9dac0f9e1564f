// The extractor program (yt-dlp): where it is, which version it is, whether it is likely too old
// for today's sites, and whether the user may update it. No Qt; any thread (FindExtractor blocks
// while the program answers).
#pragma once

#include "app/ProgramVersion.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace mw {

inline constexpr const char* ExtractorName = "yt-dlp";

struct TExtractorProgram {
    std::string Path;    // "" when none was found
    std::string Version; // its own answer to --version (printable, bounded); "" when it gave none
    // The user's own copy (writable by the user, not under /usr): it can update itself.
    bool UserOwned = false;
    bool Found() const { return !Path.empty(); }
};

// The program's path: the configured one (ExtractorPath; used only when it is an executable file),
// else ~/.local/bin/yt-dlp, else yt-dlp on PATH; "" when none is found. No program is run.
std::string FindExtractorPath(const std::string& configuredPath);
// An executable file of that name in a folder of PATH (absolute entries only); "" when none.
std::string FindProgramOnPath(const std::string& name);
// The path and, by running it with --version (bounded in time and output), its version.
TExtractorProgram FindExtractor(const std::string& configuredPath, int timeLimitMs = 10000);
// The extractor's line of "--version": name, version and path, or nothing when none is found.
std::optional<TComponentVersion> ExtractorComponentVersion(const std::string& configuredPath);
// The version line from the program's answer: the first line, printable, at most 64 bytes.
std::string CleanExtractorVersion(const std::string& answer);
bool IsUserOwnedProgram(const std::string& path);

// The release date a version of the form YYYY.MM.DD[.anything] names; false for other forms.
bool ExtractorVersionDate(const std::string& version, int& year, int& month, int& day);
// Older than a year at `now`, by its date-shaped version.
bool ExtractorIsOld(const std::string& version, std::time_t now);
// The program's error says the site changed what it parses.
bool ExtractorErrorSaysSiteChanged(const std::string& error);
// "The download engine (yt-dlp VERSION) may be too old for this site; update it"
std::string ExtractorTooOldText(const std::string& version);

// The road downloads take for a DownloadEngine setting (TDownloadEngine; other values count as
// automatic): automatic takes the extractor when it is found, else the built-in road.
enum class TDownloadRoad { Builtin, Extractor, ExtractorMissing };
TDownloadRoad ChooseDownloadRoad(uint8_t engine, bool extractorFound);

// Control characters (and C1 controls) of a text from the program shown as \xNN, the text cut at
// a UTF-8 character boundary to at most maxBytes (an ellipsis marks the cut).
std::string EscapeProgramText(const std::string& text, size_t maxBytes);

} // namespace mw
