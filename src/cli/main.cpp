// mediawizard-cli: the headless front end over the same core as the desktop application.
#include "cli/Cli.h"
#include "download/ExtractorProgram.h"

#include "engine/FFLoad.h"
#include "engine/FFVersions.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace mw::cli {

std::vector<TCliCommand>& Commands() {
    static std::vector<TCliCommand> commands;
    return commands;
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "mediawizard-cli: %s\n", message.c_str());
    return 2;
}

bool LoadEngineLibraries() {
    std::string error;
    if (mw::LoadLibrariesBesideExecutable(error)) return true;
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
}

} // namespace mw::cli

namespace {

void PrintHelp() {
    std::printf("Usage: mediawizard-cli COMMAND [ARGS...]\n"
                "       mediawizard-cli --version | --help\n\nCommands:\n");
    auto commands = mw::cli::Commands();
    std::sort(commands.begin(), commands.end(),
              [](const auto& a, const auto& b) { return std::strcmp(a.Name, b.Name) < 0; });
    for (const auto& c : commands)
        std::printf("  %-12s %s\n", c.Name, c.Summary);
    std::printf("\nRun 'mediawizard-cli COMMAND --help' for a command's options; --version shows the\n"
                "version, the edition and the media libraries found.\n");
}

int PrintVersion() {
    mw::TProgramVersion version = mw::CollectProgramVersion("mediawizard-cli");
    // The automatic lookup: a version query reads no settings.
    version.Extractor = mw::ExtractorComponentVersion("");
    std::fputs(mw::FormatProgramVersion(version).c_str(), stdout);
    return version.EditionError.empty() ? 0 : 1;
}

bool IsHelp(const std::string& a) {
    return a == "--help" || a == "-h";
}

} // namespace

int main(int argc, char** argv) {
    const mw::cli::TCliArgs args(argv + 1, argv + argc);
    if (args.empty()) {
        PrintHelp();
        return 2;
    }
    if (IsHelp(args[0])) {
        PrintHelp();
        return 0;
    }
    if (args[0] == "--version") return PrintVersion();
    for (const auto& c : mw::cli::Commands()) {
        if (args[0] != c.Name) continue;
        const mw::cli::TCliArgs rest(args.begin() + 1, args.end());
        if (std::any_of(rest.begin(), rest.end(), IsHelp)) {
            std::printf("%s", c.Usage);
            return 0;
        }
        return c.Run(rest);
    }
    return mw::cli::UsageError("unknown command '" + args[0] + "' (see --help)");
}
