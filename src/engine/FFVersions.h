// The media libraries' versions as found at run time, for "--version".
// Main thread, before any engine work (it loads the libraries as the programs do).
#pragma once

#include "app/ProgramVersion.h"

#include <vector>

namespace mw {

// Loads the libraries the way the programs do (beside the executable, then the system's) and
// reports each one: "libavcodec" with its run-time version and the file it came from, or why it
// is missing.
std::vector<TComponentVersion> FindLibraryVersions();

// The program's name, the edition beside the executable and the libraries; the caller adds the
// site extractor.
TProgramVersion CollectProgramVersion(const std::string& program);

} // namespace mw
