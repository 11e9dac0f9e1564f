// The wizard's page controller: which page shows, its title and command captions, what Back, Next
// and Exit do on the pages of the conversion path, the start of a conversion, its summary, and the
// order of a close request. Plain logic: it sees the window only through IWizardWindow and the run
// only through TWizardRunHooks, so tests drive it with a fake window.
// GUI thread only; it never blocks except where a hook does (stopping the encoder).
#pragma once

#include "app/ProductConfig.h"
#include "app/UserSettings.h"
#include "presets/OutputPage.h"

#include <functional>
#include <string>
#include <vector>

namespace mw {

// The eight pages, in tab order.
enum class TWizardPage { Mode, Step1, Step2, Step3, Step4, Step5, Step6, Step7 };
inline constexpr int WizardPageCount = 8;

enum class TWizardCommand { Back, Next, Exit };

inline constexpr const char* CancelConversionQuestion = "Do you really want to cancel the conversion?";

struct TCommandState {
    std::string Caption;
    bool Enabled = true;
    bool operator==(const TCommandState&) const = default;
};

// What the controller needs of the window.
class IWizardWindow {
  public:
    virtual ~IWizardWindow() = default;
    virtual void ShowPage(TWizardPage page) = 0;
    virtual TWizardPage CurrentPage() const = 0;
    virtual void SetTitleText(const std::string& text) = 0;
    virtual void SetCommands(const TCommandState& back, const TCommandState& next,
                             const TCommandState& exit) = 0;
    // Yes/No with the question icon, the application title as caption; true for Yes.
    virtual bool AskYesNo(const std::string& question) = 0;
    // OK with the information icon, the application title as caption.
    virtual void ShowNotice(const std::string& text) = 0;
    // Takes back a question AskYesNo has open (it answers No): the run it asked about has ended.
    virtual void CloseQuestion() {}
    // Runs the step after the window events pending now.
    virtual void QueueStep(std::function<void()> step) = 0;
    // Lets pending window events run (repaint) before going on.
    virtual void ProcessPendingEvents() = 0;
    // A close request of the window (it runs CloseQuery and the close handler).
    virtual void CloseWindow() = 0;
    // The after-conversion check boxes of the converting page.
    virtual void SetFinishOptions(bool playSound, bool shutDown) = 0;
    // The conversion summary page's numbers and its error box (hidden when errors is empty).
    virtual void SetConversionSummary(int total, int succeeded, int failed, const std::string& errors) = 0;
    // The output page's model was filled from the settings: show it.
    virtual void OutputPageApplied() = 0;
};

// What the controller needs of the conversion side; unset hooks do nothing (0 rows).
struct TWizardRunHooks {
    std::function<int()> SourceCount;
    std::function<void()> ClearSources;
    std::function<void()> ClearConversionList;
    // Queued by Next on the output page; builds and starts the run.
    std::function<void()> StartConversion;
    // Stops the encoder and waits for its tasks; detachEvents first unhooks its events (close).
    std::function<void(bool detachEvents)> StopEncoder;
};

// A close step of another page group: false vetoes the close (the window stays open).
using TCloseStep = std::function<bool()>;

class TPageController {
  public:
    TPageController(IWizardWindow& window, const TProductConfig& config, TUserSettings& settings,
                    TOutputPageModel& outputPage, TWizardRunHooks hooks);

    TWizardPage StartPage() const;
    void GoToStartPage();
    void RefreshPageCaptions();
    // Shows a page and refreshes the captions (other page groups change pages through this too).
    void ShowPage(TWizardPage page);

    void Back() { Command(TWizardCommand::Back); }
    void Next() { Command(TWizardCommand::Next); }
    void Exit() { Command(TWizardCommand::Exit); }
    void Command(TWizardCommand command);

    void ApplyStep2Settings() { FOutputPage.ApplyStep2Settings(); }
    void StoreStep2Settings() { FOutputPage.StoreStep2Settings(); }

    // The run's end: total tasks, how many succeeded, the run's error lines.
    void ShowConversionSummary(int total, int succeeded, const std::vector<std::string>& errors);

    // Commands of other page groups' pages; the conversion path's own table is consulted first.
    void AddPageAction(TWizardPage page, TWizardCommand command, std::function<void()> run) {
        FPageActions.push_back({page, command, std::move(run)});
    }

    // Close steps of other page groups, run in the order added.
    void AddCloseStep(TCloseStep step) { FCloseSteps.push_back(std::move(step)); }
    // The close query: stop the encoder (events detached), then every close step; false = veto.
    bool CloseQuery();

    // The title text and commands the table gives a page.
    std::string TitleText(TWizardPage page) const;
    void CommandStates(TWizardPage page, TCommandState& back, TCommandState& next, TCommandState& exit) const;

  private:
    void FileNext();
    void FileBack();
    void FileExit();
    void OutputNext();
    void OutputBack();
    void OutputExit();
    void ConvertingExit();
    void SummaryFinish();
    void QuitQuestion();
    void EmptyListAndGoToStartPage(const std::string& question);

    IWizardWindow& FWindow;
    const TProductConfig& FConfig;
    TUserSettings& FSettings;
    TOutputPageModel& FOutputPage;
    TWizardRunHooks FHooks;
    std::vector<TCloseStep> FCloseSteps;
    struct TPageAction {
        TWizardPage Page;
        TWizardCommand Command;
        std::function<void()> Run;
    };
    std::vector<TPageAction> FPageActions;
};

} // namespace mw
