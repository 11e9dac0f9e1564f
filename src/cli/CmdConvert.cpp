// mediawizard-cli convert: a whole conversion run with a preset, as the application runs it
// (same task building, names and counters), with progress on the terminal and a summary.
#include "cli/Cli.h"
#include "cli/JsonViews.h"
#include "cli/StopSignals.h"

#include "app/Dispatcher.h"
#include "app/UtilFuncs.h"
#include "convert/ConversionRun.h"
#include "engine/tasks/FFEncode.h"
#include "engine/FFLog.h"
#include "presets/PresetCatalogue.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace mw::cli {

namespace {

const char* const ConvertUsage =
    "Usage: mediawizard-cli convert --class CLASS --format FORMAT [--preset N] [--join]\n"
    "                               [--output DIR] [--parallel N|auto] [--verbose] [--json]\n"
    "                               FILE...\n"
    "\n"
    "Converts each FILE with a preset, as the application does: one output per file named after\n"
    "it (or, with --join, all files joined into Output_Merge), never overwriting a file.\n"
    "\n"
    "  --class CLASS    Video, Device or Audio, or its number (see 'presets')\n"
    "  --format FORMAT  a format of that class by name or number (AVI, MP3, iPod, ...)\n"
    "  --preset N       preset index (default: the format's default preset)\n"
    "  --join           join all files into one output\n"
    "  --output DIR     output folder (default: the current folder; created if needed)\n"
    "  --parallel N     convert N files at once (default 1); auto: as many as suit this machine\n"
    "                   and the preset's encoders, as the application does by default\n"
    "  --verbose        show the engine's log\n"
    "  --json           progress and the summary as one JSON object per line\n"
    "\n"
    "A file that cannot be read or queued counts as failed, with its reason in the summary.\n"
    "Ctrl+C, SIGTERM and SIGHUP stop the run: files being converted keep what they got, with\n"
    "their trailers; files already converted are untouched.\n"
    "\n"
    "Exit status: 0 when every file converted, 1 otherwise (also after a stop), 2 for a usage\n"
    "error.\n";

// A name or a number that names an entry; -1 when nothing matches.
template <typename T, typename NameOf, typename NumberOf>
int FindByNameOrNumber(const std::string& text, std::span<const T> items, NameOf name, NumberOf number) {
    int32_t wanted = -1;
    const bool numeric = TryStrToInt(text, wanted);
    for (const T& item : items)
        if ((numeric && number(item) == wanted) || SameText(std::string(name(item)), text))
            return number(item);
    return -1;
}

class TTerminalConvertView : public IConversionView {
  public:
    TTerminalConvertView(bool tty, bool joinMode) : FTty(tty), FJoin(joinMode) {}
    TConversionRunner* Runner = nullptr;
    bool Finished = false;

    void LogLine(const std::string& text) override {
        EndProgressLine();
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    void RowChanged(int row) override {
        if (!Runner || row < 0 || row >= static_cast<int>(Runner->Rows.size())) return;
        const TStatusRow& r = Runner->Rows[static_cast<size_t>(row)];
        if (r.Status != TRowStatus::Converting) {
            EndProgressLine();
            std::printf("[%d/%zu] %s: %s\n", row + 1, Runner->Rows.size(), r.Name.c_str(),
                        std::string(RowStatusText(r.Status)).c_str());
            std::fflush(stdout);
        }
        FCurrent = row;
    }
    void PanelChanged() override {
        if (!Runner || Finished) return;
        const TConversionPanel& p = Runner->Panel;
        if (p.CurrentFile == "...") return;
        const std::string file = FJoin || FCurrent < 0 || FCurrent >= static_cast<int>(Runner->Rows.size())
                                     ? p.CurrentFile
                                     : Runner->Rows[static_cast<size_t>(FCurrent)].Name + " " +
                                           Runner->Rows[static_cast<size_t>(FCurrent)].Progress;
        const std::string line = file + "  overall " + Bar(p.ProgressBar) + " " + p.Progress + "  elapsed " +
                                 p.Elapsed + "  estimated " + p.Estimated + "  left " + p.TimeLeft;
        if (FTty) {
            std::printf("\r\033[K%s", line.c_str());
            FProgressShown = true;
        } else if (line != FLastLine) {
            std::printf("%s\n", line.c_str());
        }
        FLastLine = line;
        std::fflush(stdout);
    }
    void ConversionFinished() override {
        EndProgressLine();
        Finished = true;
    }

  private:
    static std::string Bar(int percent) {
        constexpr int Width = 20;
        const int filled = std::clamp(percent, 0, 100) * Width / 100;
        return "[" + std::string(static_cast<size_t>(filled), '#') +
               std::string(static_cast<size_t>(Width - filled), '-') + "]";
    }
    void EndProgressLine() {
        if (FProgressShown) std::printf("\n");
        FProgressShown = false;
    }
    bool FTty, FJoin;
    bool FProgressShown = false;
    int FCurrent = -1;
    std::string FLastLine;
};

struct TConvertArgs {
    std::string Class, Format, Output = ".";
    int32_t Preset = -1;
    int32_t Parallel = 1;
    bool Join = false;
    bool Verbose = false;
    bool Json = false;
    std::vector<std::string> Files;
};

int ParseConvertArgs(const TCliArgs& args, TConvertArgs& a) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        std::string text;
        if (arg == "--class" || arg == "--format" || arg == "--output" || arg == "--preset" ||
            arg == "--parallel") {
            if (!value(text)) return UsageError("convert: " + arg + " needs a value");
            if (arg == "--class") a.Class = text;
            if (arg == "--format") a.Format = text;
            if (arg == "--output") a.Output = text;
            if (arg == "--preset" && (!TryStrToInt(text, a.Preset) || a.Preset < 0))
                return UsageError("convert: --preset needs a preset index");
            if (arg == "--parallel" && text == "auto")
                a.Parallel = AutomaticParallelTasks;
            else if (arg == "--parallel" &&
                     (!TryStrToInt(text, a.Parallel) || a.Parallel < 1 || a.Parallel > 64))
                return UsageError("convert: --parallel needs auto or a number from 1 to 64");
        } else if (arg == "--join") {
            a.Join = true;
        } else if (arg == "--verbose") {
            a.Verbose = true;
        } else if (arg == "--json") {
            a.Json = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("convert: unknown option '" + arg + "'");
        } else {
            a.Files.push_back(arg);
        }
    }
    if (a.Class.empty() || a.Format.empty()) return UsageError("convert: --class and --format are required");
    if (a.Files.empty()) return UsageError("convert: no FILE given (see convert --help)");
    return 0;
}

// The output choice of the arguments; a usage error's status otherwise.
int SelectionOf(const TConvertArgs& a, TOutputSelection& selection) {
    const int formatClass = FindByNameOrNumber(
        a.Class, FormatClasses(), [](const TFormatClassInfo& c) { return c.Name; },
        [](const TFormatClassInfo& c) { return static_cast<int>(c.Value); });
    if (formatClass < 0) return UsageError("convert: unknown class '" + a.Class + "' (see presets)");
    std::vector<TFormatInfo> formats;
    for (const TFormatInfo& f : Formats())
        if (f.Class == formatClass) formats.push_back(f);
    const int format = FindByNameOrNumber(
        a.Format, std::span<const TFormatInfo>(formats), [](const TFormatInfo& f) { return f.Name; },
        [](const TFormatInfo& f) { return static_cast<int>(f.Number); });
    if (format < 0)
        return UsageError("convert: unknown format '" + a.Format + "' for that class (see presets)");
    const TFormatInfo* info = FindFormat(formatClass, format);
    const int32_t preset = a.Preset < 0 ? info->DefaultPreset : a.Preset;
    if (!FindPreset(formatClass, format, preset))
        return UsageError("convert: the format has no preset " + std::to_string(preset) + " (see presets)");
    selection.OutputFormatClass = static_cast<uint8_t>(formatClass);
    *selection.FormatOfClass(formatClass) = static_cast<uint8_t>(format);
    *selection.PresetOf(formatClass, format) = preset;
    return 0;
}

int RunConvert(const TCliArgs& args) {
    TConvertArgs a;
    if (const int status = ParseConvertArgs(args, a)) return status;
    TUserSettings settings;
    if (const int status = SelectionOf(a, settings.OutputSelection)) return status;
    std::error_code ec;
    std::filesystem::create_directories(a.Output, ec);
    if (!DirectoryExists(a.Output)) {
        std::fprintf(stderr,
                     "mediawizard-cli: Fail to create directory! Please check if output folder have the "
                     "right format!\n");
        return 1;
    }
    settings.OutputFileDir =
        AddTrailingBackslash(std::filesystem::absolute(a.Output).lexically_normal().string());

    if (!LoadEngineLibraries()) return 1;
    TQueueDispatcher dispatcher;
    SetMainThreadDispatcher(&dispatcher);
    TFFLogger logger;
    logger.SetLogLevel(a.Verbose ? llVerbose : llError);
    const bool verbose = a.Verbose;
    logger.OnLog = [verbose](const void*, uint32_t threadId, TLogLevel level, const std::string& text) {
        // Without --verbose the errors reach the summary; the log is for those who ask for it.
        if (verbose) std::fprintf(stderr, "#%u.%d: %s\n", threadId, static_cast<int>(level), text.c_str());
    };

    int exitStatus = 1;
    {
        TFFEncoder encoder;
        TConversionRun run;
        TTerminalConvertView terminal(isatty(STDOUT_FILENO), a.Join);
        TJsonConvertView jsonView(a.Join);
        IConversionView& view = a.Json ? static_cast<IConversionView&>(jsonView) : terminal;
        TConversionRunner runner(encoder, settings, run, view);
        runner.JoinMode = a.Join;
        runner.ParallelCount = a.Parallel;
        terminal.Runner = jsonView.Runner = &runner;

        // The command line has no add dialog: every file given is a source of the run, in order, and
        // one the probe refuses is a failed file with its reason (a join skips it).
        std::vector<TSourceFile> sources;
        for (const std::string& path : a.Files) {
            TSourceFile source;
            // Only a join reads the list's facts (the per-file run probes each file itself).
            if (a.Join && encoder.Decoder().LoadFile(path)) {
                source = SourceFileFromProbe(encoder.Decoder());
                encoder.Decoder().CloseFile();
            }
            source.FullName = path;
            sources.push_back(std::move(source));
        }

        const TStopSignals stop;
        runner.BuildCancelled = [] { return TStopSignals::Requested(); };
        runner.StartConversionRun(sources);
        bool cancelled = false;
        while (!runner.Ended()) {
            dispatcher.WaitAndRunPending(std::chrono::milliseconds(50));
            if (TStopSignals::Requested() && !cancelled) {
                cancelled = true;
                runner.Cancel();
            }
        }

        const int total = run.RunTotalFiles;
        if (a.Json) {
            TJsonConvertView::PrintSummary(total, run.RunSucceeded, run.RunErrors);
        } else {
            std::printf("Total files: %d\nSuccessed: %d\nFailed: %d\n", total, run.RunSucceeded,
                        total - run.RunSucceeded);
            for (const std::string& line : run.RunErrors)
                std::printf("%s\n", line.c_str());
            std::fflush(stdout);
        }
        exitStatus = total > 0 && run.RunSucceeded == total ? 0 : 1;
    }
    SetMainThreadDispatcher(nullptr);
    return exitStatus;
}

} // namespace

MW_CLI_COMMAND("convert", "convert files with a preset, as the application does", ConvertUsage, RunConvert);

} // namespace mw::cli
