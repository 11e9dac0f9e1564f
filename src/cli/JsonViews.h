// The --json views of "convert" and "download": one JSON object per line on standard output, for
// scripts and schedulers. Each object has an "event": "log", "file" or "link", "status", "title",
// "quality", "progress", and last "summary" with the counts the terminal view prints. Progress
// lines come only when something in them changed. Names that are not UTF-8 are written with
// U+FFFD and given exactly as hex in "<key>_bytes".
#pragma once

#include "cli/JsonOutput.h"
#include "convert/ConversionRun.h"
#include "download/DownloadRunner.h"

#include <map>
#include <string>
#include <vector>

namespace mw::cli {

class TJsonConvertView : public IConversionView {
  public:
    explicit TJsonConvertView(bool joinMode) : FJoin(joinMode) {}
    TConversionRunner* Runner = nullptr;

    void LogLine(const std::string& text) override;
    // Every row with its first status once the tasks are built, then each change.
    void RowsChanged() override;
    void RowChanged(int row) override;
    void PanelChanged() override;

    // The run's end: its counts and the error lines of the files that failed (refused ones too).
    static void PrintSummary(int total, int succeeded, const std::vector<std::string>& errors);

  private:
    void ReportRow(int row);
    bool FJoin;
    int FCurrent = -1;
    std::map<int, TRowStatus> FStatus;
    nlohmann::json FLastProgress;
};

class TJsonDownloadView : public IDownloadView {
  public:
    TDownloadRunner* Runner = nullptr;
    bool Ended = false;

    void RowChanged(int row) override;
    void PanelChanged() override;
    void ScriptError(const std::string& message) override { LogLine(message); }
    void LogLine(const std::string& text) override;
    void DownloadRunEnded() override { Ended = true; }

    static void PrintSummary(int total, int succeeded, int failed, const std::vector<std::string>& saved);

  private:
    int FRow = -1;
    std::string FStatus, FName, FQuality;
    nlohmann::json FLastProgress;
};

} // namespace mw::cli
