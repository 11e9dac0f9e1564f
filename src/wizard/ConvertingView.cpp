#include "wizard/ConvertingView.h"

#include "convert/ParallelCount.h"
#include "wizard/PageController.h"
#include "wizard/Pages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QTreeWidget>

namespace mw {

namespace {

void FillItem(QTreeWidgetItem& item, const TStatusRow& row, bool joinMode) {
    const std::string texts[] = {row.Name, row.Duration, row.Column2(joinMode), row.Column3(joinMode),
                                 row.Path};
    for (int c = 0; c < 5; ++c)
        item.setText(c, QString::fromStdString(texts[c]));
}

} // namespace

TConvertingView::TConvertingView(QObject* parent, TConvertingPage& page, TPageController& controller,
                                 TUserSettings& settings, TConversionRun& run, bool joinMode)
    : QObject(parent), FPage(page), FController(controller), FSettings(settings), FRun(run),
      FEncoder(std::make_unique<TFFEncoder>()),
      FRunner(std::make_unique<TConversionRunner>(*FEncoder, settings, run, *this)) {
    FPage.SetJoinMode(joinMode);
    FPage.SetParallelChoice(FSettings.ParallelTasks);
    connect(FPage.CheckBoxPreview, &QCheckBox::clicked, this, [this](bool on) { FEncoder->SetPreview(on); });
    // A run under way follows a new choice at once; the next run starts with it.
    connect(FPage.ComboBoxParallelTasks, &QComboBox::activated, this, [this] {
        FSettings.ParallelTasks = FPage.ParallelChoice();
        FRunner->SetParallelCount(FSettings.ParallelTasks);
    });
}

TConvertingView::~TConvertingView() {
    // The window is going: a run stopped here ends without pages, sounds or countdown.
    FDetached = true;
    FRunner.reset();
}

void TConvertingView::Start(const std::vector<TSourceFile>& sources, bool joinMode) {
    FDetached = false;
    FRunning = true;
    FRunner->JoinMode = joinMode;
    FRunner->ParallelCount = FSettings.ParallelTasks;
    FRunner->Panel = TConversionPanel{};
    FPage.SetJoinMode(joinMode);
    FPage.SetParallelChoice(FSettings.ParallelTasks);
    FPage.SetAutomaticCount(RunParallelCount(AutomaticParallelTasks, FSettings.OutputSelection));
    FRunner->StartConversionRun(sources);
}

void TConvertingView::Stop(bool detachEvents) {
    if (!FRunning) return;
    // Closing: the window is going, so the end must not show pages or play sounds any more.
    if (detachEvents) FDetached = true;
    FRunner->Cancel();
}

void TConvertingView::LogLine(const std::string& text) {
    if (OnLogLine) OnLogLine(text);
}

void TConvertingView::RowsChanged() {
    FRowsStale = true;
    ScheduleRefresh();
}

void TConvertingView::RowChanged(int row) {
    FStaleRows.insert(row);
    ScheduleRefresh();
}

void TConvertingView::PanelChanged() {
    FPanelStale = true;
    ScheduleRefresh();
}

void TConvertingView::ScheduleRefresh() {
    if (FRefreshQueued) return;
    FRefreshQueued = true;
    QTimer::singleShot(0, this, [this] { Refresh(); });
}

void TConvertingView::Refresh() {
    FRefreshQueued = false;
    const bool join = FRunner->JoinMode;
    const auto& rows = FRunner->Rows;
    QTreeWidget* list = FPage.ListViewConverting;
    if (FRowsStale) {
        list->clear();
        for (const TStatusRow& row : rows) {
            auto* item = new QTreeWidgetItem(list);
            FillItem(*item, row, join);
        }
        FRowsStale = false;
        FStaleRows.clear();
    }
    for (int index : FStaleRows)
        if (index >= 0 && index < list->topLevelItemCount() && static_cast<size_t>(index) < rows.size())
            FillItem(*list->topLevelItem(index), rows[static_cast<size_t>(index)], join);
    FStaleRows.clear();
    if (FPanelStale) {
        const TConversionPanel& p = FRunner->Panel;
        FPage.LabelCurrentFileCaption->setText(QString::fromStdString(p.CurrentFileTitle));
        FPage.LabelCurrentFile->setText(QString::fromStdString(p.CurrentFile));
        FPage.LabelEstimated->setText(QString::fromStdString(p.Estimated));
        FPage.LabelElapsed->setText(QString::fromStdString(p.Elapsed));
        FPage.LabelTimeLeft->setText(QString::fromStdString(p.TimeLeft));
        FPage.ProgressBar->setValue(p.ProgressBar);
        FPage.LabelProgress->setText(QString::fromStdString(p.Progress));
        FPanelStale = false;
    }
}

void TConvertingView::ConversionFinished() {
    FRunning = false;
    if (FDetached) return;
    Refresh();
    if (FSettings.PlayASoundWhenFinished && OnPlaySound) OnPlaySound(FinishSoundName(FRun));
    if (OnRunEnded) OnRunEnded();
    if (FSettings.ShutDownWhenFinished && OnShutdown) OnShutdown();
    FController.ShowConversionSummary(FRun.RunTotalFiles, FRun.RunSucceeded, FRun.RunErrors);
}

} // namespace mw
