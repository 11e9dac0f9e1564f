// The promotions' face on the main window: the offer picture with its hint and hand cursor, the
// program download's progress bar, the promotions' questions, and the program starts (without a
// shell). It queues the promotions' start once the window has been shown and adds their close
// step to the page controller. GUI thread only.
#pragma once

#include "promotions/Promotions.h"

#include <QObject>
#include <memory>

class QLabel;
class QProgressBar;
class QWidget;

namespace mw {

class TPageController;

class TPromotionPanel : public QObject, public IPromotionView {
    Q_OBJECT
  public:
    // window: the main window (parent of the picture and the bar); skin: its layout.
    TPromotionPanel(QWidget* window, int skin, TPromotionsSetup setup, TPageController* controller);
    ~TPromotionPanel() override;

    TPromotions& Promotions() { return *FPromotions; }
    QLabel* ImagePromotion = nullptr;
    // The skin's own picture at the offer's place, shown until an offer replaces it.
    QLabel* ImagePromotionArt = nullptr;
    QProgressBar* ProgressBarPromotion = nullptr;

    // IPromotionView
    void SetOfferHint(const std::string& hint) override;
    void ShowOfferPicture(const std::string& path) override;
    void ShowProgramProgress(bool visible, int percent) override;
    void ShowNotice(const std::string& text) override;
    bool ConfirmStart(const std::string& text) override;
    bool AskStopProgramDownload() override;
    void OpenWebPage(const std::string& url) override;
    bool StartProgram(const std::string& path) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* FWindow;
    bool FShown = false;
    std::unique_ptr<TPromotions> FPromotions;
};

// The promotions' settings for this program: the edition's server and home page, the settings
// folder, the executable's folder.
TPromotionsSetup ProgramPromotionsSetup();

} // namespace mw
