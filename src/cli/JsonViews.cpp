#include "cli/JsonViews.h"

namespace mw::cli {

using nlohmann::json;

void TJsonConvertView::LogLine(const std::string& text) {
    PrintJsonLog(text);
}

// In join mode the rows are the inputs of one task: their statuses say nothing; progress and the
// summary do.
void TJsonConvertView::RowsChanged() {
    if (!Runner || FJoin) return;
    for (size_t row = 0; row < Runner->Rows.size(); ++row)
        ReportRow(static_cast<int>(row));
}

void TJsonConvertView::RowChanged(int row) {
    if (!Runner || row < 0 || row >= static_cast<int>(Runner->Rows.size())) return;
    FCurrent = row;
    if (!FJoin) ReportRow(row);
}

void TJsonConvertView::ReportRow(int row) {
    const TStatusRow& r = Runner->Rows[static_cast<size_t>(row)];
    const auto known = FStatus.find(row);
    if (known != FStatus.end() && known->second == r.Status) return;
    FStatus[row] = r.Status;
    json j{{"event", "file"},
           {"index", row + 1},
           {"total", Runner->Rows.size()},
           {"status", std::string(RowStatusText(r.Status))}};
    AddJsonName(j, "name", r.Name);
    PrintJsonLine(j);
}

void TJsonConvertView::PanelChanged() {
    if (!Runner || Runner->Ended()) return;
    const TConversionPanel& p = Runner->Panel;
    if (p.CurrentFile == "...") return;
    json j{{"event", "progress"},  {"overall", p.ProgressBar}, {"progress", p.Progress},
           {"elapsed", p.Elapsed}, {"estimated", p.Estimated}, {"left", p.TimeLeft}};
    if (!FJoin && FCurrent >= 0 && FCurrent < static_cast<int>(Runner->Rows.size())) {
        const TStatusRow& r = Runner->Rows[static_cast<size_t>(FCurrent)];
        j["index"] = FCurrent + 1;
        AddJsonName(j, "file", r.Name);
        j["file_progress"] = r.Progress;
    } else {
        AddJsonName(j, "file", p.CurrentFile);
    }
    if (j == FLastProgress) return;
    FLastProgress = j;
    PrintJsonLine(j);
}

void TJsonConvertView::PrintSummary(int total, int succeeded, const std::vector<std::string>& errors) {
    json j{{"event", "summary"}, {"total", total}, {"succeeded", succeeded}, {"failed", total - succeeded}};
    j["errors"] = json::array();
    for (const std::string& e : errors)
        j["errors"].push_back(e);
    PrintJsonLine(j);
}

void TJsonDownloadView::RowChanged(int row) {
    if (!Runner || row < 0 || row >= static_cast<int>(Runner->Rows.size())) return;
    const TDownloadRow& r = Runner->Rows[static_cast<size_t>(row)];
    if (row != FRow) {
        FRow = row;
        FStatus.clear();
        FName = r.Name;
        FLastProgress = json();
        json j{{"event", "link"}, {"index", row + 1}, {"total", Runner->DownloadRun.Total}};
        AddJsonName(j, "name", r.Name);
        PrintJsonLine(j);
    }
    if (r.Name != FName) {
        FName = r.Name;
        json j{{"event", "title"}, {"index", row + 1}};
        AddJsonName(j, "title", r.Name);
        PrintJsonLine(j);
    }
    if (r.Status != FStatus) {
        FStatus = r.Status;
        json j{{"event", "status"}, {"index", row + 1}};
        AddJsonName(j, "status", r.Status);
        if (r.Status == "Finish.") {
            j["size"] = r.Size;
            AddJsonName(j, "file", Runner->DownloadedFiles.empty() ? "" : Runner->DownloadedFiles.back());
        }
        PrintJsonLine(j);
    }
    if (r.Status == "Downloading...") {
        const TDownloadPanel& p = Runner->Panel;
        json j{{"event", "progress"},     {"index", row + 1}, {"progress", p.ProgressBar},
               {"percent", p.Percentage}, {"size", r.Size},   {"speed", r.Speed},
               {"left", p.TimeLeft}};
        if (j == FLastProgress) return;
        FLastProgress = j;
        PrintJsonLine(j);
    }
}

void TJsonDownloadView::PanelChanged() {
    if (!Runner || Runner->Panel.Quality.empty() || Runner->Panel.Quality == FQuality) return;
    FQuality = Runner->Panel.Quality;
    PrintJsonLine({{"event", "quality"}, {"quality", FQuality}});
}

void TJsonDownloadView::LogLine(const std::string& text) {
    PrintJsonLog(text);
}

void TJsonDownloadView::PrintSummary(int total, int succeeded, int failed,
                                     const std::vector<std::string>& saved) {
    json j{{"event", "summary"}, {"total", total}, {"succeeded", succeeded}, {"failed", failed}};
    j["saved"] = json::array();
    json bytes = json::array();
    bool anyBytes = false;
    for (const std::string& f : saved) {
        json one;
        AddJsonName(one, "f", f);
        j["saved"].push_back(one["f"]);
        bytes.push_back(one.contains("f_bytes") ? one["f_bytes"] : json(nullptr));
        anyBytes = anyBytes || one.contains("f_bytes");
    }
    if (anyBytes) j["saved_bytes"] = bytes;
    PrintJsonLine(j);
}

} // namespace mw::cli
