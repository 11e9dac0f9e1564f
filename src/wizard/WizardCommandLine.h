// The desktop program's arguments: --help, --version, and files to add to the file list (what a
// file manager's "Open with" passes: paths, or file:// addresses). Plain logic, no Qt; Qt's own
// options are taken out by the application object before the full parse.
#pragma once

#include <string>
#include <vector>

namespace mw {

struct TWizardCommandLine {
    bool Help = false;
    bool Version = false;
    // Absolute local paths, in the order given.
    std::vector<std::string> Files;
    // Arguments that name no local file (another scheme, a remote host, a broken address), each
    // with the reason; they are reported and the others still open.
    std::vector<std::string> Refused;
    // The first unknown option; the program ends with a usage error.
    std::string Error;
};

// cwd: the folder relative paths are taken from (with or without a trailing separator).
TWizardCommandLine ParseWizardCommandLine(const std::vector<std::string>& args, const std::string& cwd);

// The local path of a file:// address (host empty or "localhost"); false when it is not one.
bool LocalPathOfFileUrl(const std::string& url, std::string& path);

extern const char* const WizardUsage;

} // namespace mw
