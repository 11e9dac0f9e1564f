// What "--version" prints for both programs: the program and the edition's version, the media
// libraries found at run time and the site extractor when there is one, one item per line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace mw {

// A component found at run time; an empty Version means it was not found, Note says why (or,
// for a found one, where it is).
struct TComponentVersion {
    std::string Name;
    std::string Version;
    std::string Note;
};

struct TProgramVersion {
    std::string Program;      // "mediawizard", "mediawizard-cli"
    std::string Version;      // the edition's Version
    std::string Edition;      // the edition's Name
    std::string EditionError; // not empty when the edition could not be read
    std::vector<TComponentVersion> Libraries;
    std::optional<TComponentVersion> Extractor;
};

// Name and Version of the edition file. Only these two are read: a bad number elsewhere in the
// file does not stop a version query.
void ReadEditionVersion(const std::string& configFile, TProgramVersion& version);

// "mediawizard-cli 1.0.0 (Kestrel Media Wizard)", then "libavcodec 59.37.100" or "libavcodec: not
// found (reason)" per library, then the extractor's line.
std::string FormatProgramVersion(const TProgramVersion& version);

// "59.37.100" from a library's packed version number (major << 16 | minor << 8 | micro).
std::string PackedVersionText(unsigned packed);

} // namespace mw
