// "presets": what the program offers, as a readable listing or as JSON for scripts.
#include "cli/Cli.h"
#include "presets/PresetCatalogue.h"
#include "presets/PresetJson.h"

#include <cstdio>
#include <iostream>

namespace {

constexpr const char* PresetsUsage =
    "Usage: mediawizard-cli presets [--json]\n"
    "\n"
    "Lists the output presets: class, format, index and text; '*' marks a format's default.\n"
    "\n"
    "  --json   one JSON object per preset (in a JSON array): class and format (numbers and\n"
    "           names), index, default, text, extension, and the output options the preset\n"
    "           writes under their record names.\n";

void PrintListing() {
    for (const mw::TFormatInfo& f : mw::Formats()) {
        const mw::TFormatClassInfo* c = mw::FindFormatClass(f.Class);
        std::printf("%s %d / %s %d (%.*s)\n", std::string(c->Name).c_str(), f.Class,
                    std::string(f.Name).c_str(), f.Number, static_cast<int>(f.Extension.size()),
                    f.Extension.data());
        for (const mw::TPresetRow& r : mw::PresetRows()) {
            if (r.Class != f.Class || r.Format != f.Number) continue;
            std::printf("  %c%3d  %.*s\n", r.Index == f.DefaultPreset ? '*' : ' ', r.Index,
                        static_cast<int>(r.Text.size()), r.Text.data());
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
        std::cout << mw::PresetCatalogueJson().dump(2) << '\n';
    else
        PrintListing();
    std::cout.flush();
    return std::ferror(stdout) ? 1 : 0;
}

} // namespace

MW_CLI_COMMAND("presets", "list the output classes, formats and presets", PresetsUsage, RunPresets);
