// Command registry of mediawizard-cli. Each command lives in its own Cmd*.cpp and registers
// itself with MW_CLI_COMMAND; main() dispatches on the first argument.
// Exit status: 0 success, 1 failure of the work, 2 usage error (one line on stderr).
#pragma once

#include <string>
#include <vector>

namespace mw::cli {

using TCliArgs = std::vector<std::string>;

struct TCliCommand {
    const char* Name;
    const char* Summary; // one line for the tool's --help
    const char* Usage;   // full text for "<command> --help"
    int (*Run)(const TCliArgs& args);
};

std::vector<TCliCommand>& Commands();

struct TCliRegistrar {
    explicit TCliRegistrar(const TCliCommand& c) { Commands().push_back(c); }
};

// Prints "mediawizard-cli: <message>" on stderr and returns 2.
int UsageError(const std::string& message);

// Loads the media libraries beside the executable; false after printing why on stderr.
bool LoadEngineLibraries();

} // namespace mw::cli

#define MW_CLI_CONCAT2(a, b) a##b
#define MW_CLI_CONCAT(a, b) MW_CLI_CONCAT2(a, b)
#define MW_CLI_COMMAND(name, summary, usage, fn)                                                             \
    static const ::mw::cli::TCliRegistrar MW_CLI_CONCAT(CliRegistrar_, __LINE__)(                            \
        ::mw::cli::TCliCommand{name, summary, usage, fn})
