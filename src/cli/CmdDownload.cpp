// mediawizard-cli download: the download runner over the terminal, one progress line per link.
#include "cli/Cli.h"
#include "cli/JsonViews.h"

#include "app/Dispatcher.h"
#include "app/UserSettings.h"
#include "app/UtilFuncs.h"
#include "download/DownloadRunner.h"
#include "download/ExtractorProgram.h"
#include "download/LinkList.h"
#include "download/VideoInfo.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace mw::cli {

namespace {

std::atomic<bool> GInterrupted{false};
extern "C" void OnInterrupt(int) {
    GInterrupted = true;
}

// Titles and addresses come from the site: control characters are shown escaped, so that no
// escape sequence reaches the terminal.
std::string Printable(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    return out;
}

// Refused links are reported and skipped (OK), never asked about; with --json as log objects.
struct TStderrPrompt : ILinkListPrompt {
    int Refused = 0;
    bool Json = false;
    bool ShowLinkMessage(const std::string& text) override {
        std::string line = text;
        const size_t gap = line.find("\n\r\n\r");
        if (gap != std::string::npos) line = line.substr(0, gap) + ": " + line.substr(gap + 4);
        if (Json)
            PrintJsonLog(line);
        else
            std::fprintf(stderr, "mediawizard-cli: %s\n", Printable(line).c_str());
        // A link given twice is downloaded once; only links that are not video links count as failed.
        if (text.find(AlreadyInListText) == std::string::npos) ++Refused;
        return true;
    }
};

class TTerminalView : public IDownloadView {
  public:
    explicit TTerminalView(bool tty) : FTty(tty) {}
    TDownloadRunner* Runner = nullptr;
    bool Ended = false;

    void RowChanged(int row) override {
        if (!Runner || row < 0 || row >= static_cast<int>(Runner->Rows.size())) return;
        const TDownloadRow& r = Runner->Rows[static_cast<size_t>(row)];
        if (row != FRow) {
            EndProgressLine();
            FRow = row;
            FStatus.clear();
            FName.clear();
            std::printf("[%d/%d] %s\n", row + 1, Runner->DownloadRun.Total, Printable(r.Name).c_str());
        }
        if (r.Name != FName && !FName.empty())
            Say("Title: " + (r.Name.empty() ? std::string("(none)") : Printable(r.Name)));
        FName = r.Name;
        if (r.Status != FStatus) {
            FStatus = r.Status;
            if (r.Status == "Finish.") {
                const std::string path =
                    Runner->DownloadedFiles.empty() ? "" : Runner->DownloadedFiles.back();
                Say("Finish. " + r.Size + " -> " + Printable(path));
            } else if (r.Status != "Downloading...") {
                Say(Printable(r.Status));
            }
        }
        if (r.Status == "Downloading..." && FTty) {
            const TDownloadPanel& p = Runner->Panel;
            constexpr int BarWidth = 24;
            const int filled = std::clamp(p.ProgressBar, 0, 100) * BarWidth / 100;
            const std::string bar = std::string(static_cast<size_t>(filled), '#') +
                                    std::string(static_cast<size_t>(BarWidth - filled), '-');
            std::printf("\r\033[K      [%s] %4s  %s  %s  left %s", bar.c_str(), p.Percentage.c_str(),
                        r.Size.c_str(), r.Speed.c_str(),
                        p.TimeLeft.empty() ? "--:--:--" : p.TimeLeft.c_str());
            std::fflush(stdout);
            FProgressShown = true;
        }
    }
    void PanelChanged() override {
        if (!Runner || Runner->Panel.Quality.empty() || Runner->Panel.Quality == FQuality) return;
        FQuality = Runner->Panel.Quality;
        Say("Quality: " + FQuality);
    }
    void ScriptError(const std::string& message) override {
        EndProgressLine();
        std::fprintf(stderr, "mediawizard-cli: %s\n", Printable(message).c_str());
    }
    void LogLine(const std::string& text) override {
        EndProgressLine();
        std::fprintf(stderr, "mediawizard-cli: %s\n", Printable(text).c_str());
    }
    void DownloadRunEnded() override {
        EndProgressLine();
        Ended = true;
    }

  private:
    void Say(const std::string& text) {
        EndProgressLine();
        std::printf("      %s\n", text.c_str());
        std::fflush(stdout);
    }
    void EndProgressLine() {
        if (FProgressShown) std::printf("\n");
        FProgressShown = false;
    }
    bool FTty;
    bool FProgressShown = false;
    int FRow = -1;
    std::string FStatus, FName, FQuality;
};

// The values of --engine, in the numbering of the DownloadEngine setting.
constexpr struct {
    const char* Name;
    TDownloadEngine Engine;
} EngineNames[] = {{"auto", deAutomatic}, {"builtin", deBuiltin}, {"extractor", deExtractor}};

struct TDownloadArgs {
    std::string Folder = ".";
    std::string ExtractorPath;
    uint8_t Engine = deAutomatic;
    bool HighQuality = true;
    bool AsJson = false;
    std::vector<std::string> Urls;
};

// The command's arguments (--site is applied as it is read); a usage error's text in error.
bool ParseDownloadArgs(const TCliArgs& args, TDownloadArgs& parsed, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--folder" || a == "--site" || a == "--engine" || a == "--extractor") {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            const std::string value = args[++i];
            if (a == "--folder") {
                parsed.Folder = value;
            } else if (a == "--site") {
                SetVideoSiteDomain(LowerCase(value));
            } else if (a == "--extractor") {
                parsed.ExtractorPath = value;
            } else {
                const auto* known = std::find_if(std::begin(EngineNames), std::end(EngineNames),
                                                 [&](const auto& e) { return value == e.Name; });
                if (known == std::end(EngineNames)) {
                    error = "--engine takes auto, builtin or extractor, not '" + value + "'";
                    return false;
                }
                parsed.Engine = known->Engine;
            }
        } else if (a == "--no-hq") {
            parsed.HighQuality = false;
        } else if (a == "--json") {
            parsed.AsJson = true;
        } else if (a.rfind("--", 0) == 0) {
            error = "unknown option '" + a + "'";
            return false;
        } else {
            parsed.Urls.push_back(a);
        }
    }
    if (parsed.Urls.empty()) error = "download needs at least one URL";
    return !parsed.Urls.empty();
}

int RunDownload(const TCliArgs& args) {
    // The edition beside the program names the site; --site overrides it.
    SetVideoSiteDomain(ReadProductSiteDomain());
    TDownloadArgs parsed;
    std::string usage;
    if (!ParseDownloadArgs(args, parsed, usage)) return UsageError(usage);
    std::string& extractorPath = parsed.ExtractorPath;
    const std::string& folder = parsed.Folder;
    const bool asJson = parsed.AsJson;
    if (!extractorPath.empty() && extractorPath[0] != '/')
        extractorPath = std::filesystem::absolute(extractorPath).string();
    const std::string extractor = FindExtractorPath(extractorPath);
    const TDownloadRoad road = ChooseDownloadRoad(parsed.Engine, !extractor.empty());
    if (road == TDownloadRoad::ExtractorMissing) {
        std::fprintf(stderr, "mediawizard-cli: the download engine %s was not found%s\n", ExtractorName,
                     extractorPath.empty() ? " (in ~/.local/bin or on PATH)"
                                           : (" at " + Printable(extractorPath)).c_str());
        return 1;
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!DirectoryExists(folder)) {
        std::fprintf(stderr, "mediawizard-cli: cannot use the folder '%s'\n", folder.c_str());
        return 1;
    }
    TLinkList list;
    list.AnySite = road == TDownloadRoad::Extractor;
    TStderrPrompt prompt;
    prompt.Json = asJson;
    for (const auto& u : parsed.Urls)
        list.AddLink(u, prompt);
    if (list.Links.empty()) {
        if (asJson) TJsonDownloadView::PrintSummary(prompt.Refused, 0, prompt.Refused, {});
        return 1;
    }

    TQueueDispatcher dispatcher;
    TUserSettings settings;
    settings.PreferYouTubeQuality = parsed.HighQuality;
    settings.OutputURLDir =
        AddTrailingBackslash(std::filesystem::absolute(folder).lexically_normal().string());
    TTerminalView terminal(isatty(STDOUT_FILENO));
    TJsonDownloadView jsonView;
    IDownloadView& view = asJson ? static_cast<IDownloadView&>(jsonView) : terminal;
    TDownloadRunner runner(&dispatcher, settings, view);
    // The script runs synchronously; there is nothing to wait for after it.
    runner.ScriptWaitMs = 0;
    if (road == TDownloadRoad::Extractor) runner.UseExtractor(extractor);
    terminal.Runner = jsonView.Runner = &runner;

    GInterrupted = false;
    auto previous = std::signal(SIGINT, OnInterrupt);
    runner.BuildDownloadList(list.Links);
    runner.StartDownloadRun();
    while (!terminal.Ended && !jsonView.Ended) {
        dispatcher.WaitAndRunPending(std::chrono::milliseconds(50));
        // A cancel between two steps finds no transfer running: repeat it until one reports.
        if (GInterrupted) runner.Cancel();
    }
    std::signal(SIGINT, previous);

    const TDownloadRun& run = runner.DownloadRun;
    if (asJson) {
        TJsonDownloadView::PrintSummary(run.Total + prompt.Refused, run.Succeeded,
                                        run.Failed() + prompt.Refused, runner.DownloadedFiles);
    } else {
        std::printf("Total: %d, succeeded: %d, failed: %d\n", run.Total + prompt.Refused, run.Succeeded,
                    run.Failed() + prompt.Refused);
        for (const auto& f : runner.DownloadedFiles)
            std::printf("Saved: %s\n", Printable(f).c_str());
    }
    return run.Failed() == 0 && prompt.Refused == 0 ? 0 : 1;
}

} // namespace

MW_CLI_COMMAND(
    "download", "download videos by their page links",
    "Usage: mediawizard-cli download [--folder DIR] [--no-hq] [--site DOMAIN] [--json]\n"
    "                                [--engine auto|builtin|extractor] [--extractor PATH] URL...\n"
    "\n"
    "Finds each video's title and streams, then downloads the stream of the best quality in\n"
    "the default preference order (falling back to the next on failure), and saves it\n"
    "under the video's title.\n"
    "\n"
    "  --folder DIR     where to save (default: the current folder; created if needed)\n"
    "  --no-hq          download only the default quality (HQ5)\n"
    "  --site DOMAIN    the video site of the built-in road (default: the edition's, youtube.com),\n"
    "                   e.g. 127.0.0.1:8080\n"
    "  --engine NAME    builtin: the site's page, information and stream map; extractor: the\n"
    "                   yt-dlp program, for links of any site it handles; auto (default): yt-dlp\n"
    "                   when it is found, else builtin\n"
    "  --extractor PATH the yt-dlp program (default: ~/.local/bin/yt-dlp, else yt-dlp on PATH)\n"
    "  --json           progress and the summary as one JSON object per line\n"
    "\n"
    "Exit status: 0 when every link was saved, 1 otherwise, 2 for a usage error.\n",
    RunDownload);

} // namespace mw::cli
