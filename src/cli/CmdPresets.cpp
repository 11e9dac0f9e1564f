// "presets": what the program offers, as a readable listing or as JSON for scripts.
#include "cli/Cli.h"
#include "presets/PresetCatalogue.h"
#include "presets/PresetJson.h"

#include <cstdio>
#include <string_view>

namespace {

constexpr const char* PresetsUsage =
    "Usage: mediawizard-cli presets [--json]\n"
    "\n"
    "Lists the output presets: class, format, index and text; '*' marks a format's default.\n"
    "\n"
    "  --json   one JSON object per preset (in a JSON array): class and format (numbers and\n"
    "           names), index, default, text, extension, and the output options the preset\n"
    "           writes under their record names.\n";

// Prints a table-owned text; the views are not NUL-terminated.
void PrintText(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void PrintListing() {
    for (const mw::TFormatInfo& f : mw::Formats()) {
        PrintText(mw::FindFormatClass(f.Class)->Name);
        std::printf(" %d / ", f.Class);
        PrintText(f.Name);
        std::printf(" %d (", f.Number);
        PrintText(f.Extension);
        std::printf(")\n");
        for (const mw::TPresetRow& r : mw::PresetRows()) {
            if (r.Class != f.Class || r.Format != f.Number) continue;
            std::printf("  %c%3d  ", r.Index == f.DefaultPreset ? '*' : ' ', r.Index);
            PrintText(r.Text);
            std::printf("\n");
        }
    }
}

int RunPresets(const mw::cli::TCliArgs& args) {
    bool json = false;
    for (const std::string& a : args) {
        if (a == "--json")
            json = true;
        else
            return mw::cli::UsageError("presets: unknown argument '" + a + "' (see presets --help)");
    }
    if (json)
        std::printf("%s\n", mw::PresetCatalogueJson().dump(2).c_str());
    else
        PrintListing();
    // A closed or full output is a failed listing, not a success.
    return std::fflush(stdout) != 0 || std::ferror(stdout) ? 1 : 0;
}

} // namespace

MW_CLI_COMMAND("presets", "list the output classes, formats and presets", PresetsUsage, RunPresets);
