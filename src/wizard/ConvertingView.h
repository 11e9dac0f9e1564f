// The converting page wired to TConversionRunner: the page mirrors the runner's rows and panel,
// the start is queued after the page change, and the run's end shows the summary page.
//
// Threading contract: GUI thread only. The runner calls the view on the GUI thread (the encoder
// posts its progress there, task ends arrive through the dispatcher's CallAndWait). Row and panel
// changes only mark the page stale; one queued refresh repaints it, so a fast run cannot flood
// the event loop with repaints.
#pragma once

#include "convert/ConversionRun.h"

#include <QObject>
#include <functional>
#include <memory>
#include <set>
#include <vector>

namespace mw {

class TConvertingPage;
class TPageController;

class TConvertingView : public QObject, public IConversionView {
    Q_OBJECT
  public:
    // The page's choice of files at once shows settings.ParallelTasks from the start and writes it
    // at each change; joinMode (the edition's) lays the page out for joining before the first run.
    TConvertingView(QObject* parent, TConvertingPage& page, TPageController& controller,
                    TUserSettings& settings, TConversionRun& run, bool joinMode = false);
    ~TConvertingView() override;

    // Builds the tasks from the sources and starts the encoder.
    void Start(const std::vector<TSourceFile>& sources, bool joinMode);
    // Stops the encoder and waits; detachEvents unhooks its notices first (the window closes).
    void Stop(bool detachEvents);
    bool Running() const { return FRunning; }
    // The run's encoder: the main window sets its preview window factory, tests their job factory.
    TFFEncoder& Encoder() { return *FEncoder; }
    const TConversionRunner& Runner() const { return *FRunner; }

    // Where the runner's reasons go (the main window's log).
    std::function<void(const std::string&)> OnLogLine;
    // At the run's end, before the summary: the sound's file name ("done.wav" or "fail.wav") when
    // sounds are on, then the shutdown countdown when that option is on.
    std::function<void(const std::string& soundName)> OnPlaySound;
    std::function<void()> OnShutdown;
    // At the run's end, after the sound and before the shutdown countdown (the desktop notice).
    std::function<void()> OnRunEnded;

    // IConversionView
    void LogLine(const std::string& text) override;
    void RowsChanged() override;
    void RowChanged(int row) override;
    void PanelChanged() override;
    void ConversionFinished() override;

  private:
    void ScheduleRefresh();
    void Refresh();

    TConvertingPage& FPage;
    TPageController& FController;
    TUserSettings& FSettings;
    TConversionRun& FRun;
    std::unique_ptr<TFFEncoder> FEncoder;
    std::unique_ptr<TConversionRunner> FRunner;
    bool FRunning = false;
    bool FDetached = false;
    bool FRefreshQueued = false;
    bool FRowsStale = false;
    bool FPanelStale = false;
    std::set<int> FStaleRows;
};

} // namespace mw
