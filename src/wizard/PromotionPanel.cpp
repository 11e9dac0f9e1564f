#include "wizard/PromotionPanel.h"

#include "app/Dispatcher.h"
#include "wizard/Globals.h"
#include "app/UtilFuncs.h"
#include "widgets/SkinPicture.h"
#include "wizard/PageController.h"
#include "wizard/platform/GuiUtils.h"

#include <QDesktopServices>
#include <QEvent>
#include <QLabel>
#include <QPixmap>
#include <QProcess>
#include <QProgressBar>
#include <QUrl>
#include <QWidget>
#include <array>

namespace mw {

namespace {

// Picture and progress bar per skin 0..3; other skins take the first.
constexpr std::array<std::pair<std::pair<int, int>, std::pair<int, int>>, 4> Places = {{
    {{26, 352}, {36, 416}},
    {{35, 352}, {52, 446}},
    {{26, 352}, {36, 416}},
    {{25, 75}, {36, 170}},
}};

const std::string& Title() {
    return GlobalVars.ProductConfig.Name;
}

} // namespace

TPromotionsSetup ProgramPromotionsSetup() {
    TPromotionsSetup s;
    s.BaseAddress = GlobalVars.ProductConfig.PromotionsBase;
    s.HomePageLink = GlobalVars.ProductConfig.HelpHomePageLink;
    s.SettingsFolder = GlobalVars.SettingsFolder;
    s.ExeFolder = ExecutableFolder();
    return s;
}

TPromotionPanel::TPromotionPanel(QWidget* window, int skin, TPromotionsSetup setup,
                                 TPageController* controller)
    : QObject(window), FWindow(window) {
    const auto& place = Places[skin >= 0 && skin < static_cast<int>(Places.size()) ? skin : 0];
    // An empty place would look like a part that failed to load.
    ImagePromotionArt = new QLabel(window);
    ImagePromotionArt->setObjectName("ImagePromotionArt");
    const std::string artFile = ResourceFolder(GlobalVars.ProductConfig) + "promotion.png";
    QImage art;
    if (art.load(QString::fromStdString(artFile))) {
        const QImage doubled = LoadDoublePicture(artFile, art);
        const QImage shown = PictureForRatio(art, doubled, window->devicePixelRatioF());
        ImagePromotionArt->setPixmap(QPixmap::fromImage(shown));
        const QSize size = shown.deviceIndependentSize().toSize();
        ImagePromotionArt->setGeometry(place.first.first, place.first.second, size.width(), size.height());
    } else {
        ImagePromotionArt->hide();
    }
    ImagePromotion = new QLabel(window);
    ImagePromotion->setObjectName("ImagePromotion");
    ImagePromotion->move(place.first.first, place.first.second);
    ImagePromotion->hide();
    ImagePromotion->installEventFilter(this);
    ProgressBarPromotion = new QProgressBar(window);
    ProgressBarPromotion->setObjectName("ProgressBarPromotion");
    ProgressBarPromotion->setRange(0, 100);
    ProgressBarPromotion->setTextVisible(false);
    ProgressBarPromotion->setGeometry(place.second.first, place.second.second, 130, 10);
    ProgressBarPromotion->hide();

    FPromotions = std::make_unique<TPromotions>(std::move(setup), *this, MainThreadDispatcher());
    if (controller) controller->AddCloseStep([this] { return FPromotions->CloseStep(); });
    window->installEventFilter(this);
}

TPromotionPanel::~TPromotionPanel() = default;

bool TPromotionPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FWindow && event->type() == QEvent::Show && !FShown) {
        FShown = true;
        // After the window has been painted, so that the offer never delays its first look.
        QMetaObject::invokeMethod(
            this, [this] { FPromotions->AfterShow(); }, Qt::QueuedConnection);
    } else if (watched == ImagePromotion && event->type() == QEvent::MouseButtonRelease) {
        FPromotions->Click();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void TPromotionPanel::SetOfferHint(const std::string& hint) {
    ImagePromotion->setToolTip(QString::fromStdString(hint));
    ImagePromotion->setAccessibleName(ImagePromotion->toolTip());
}

void TPromotionPanel::ShowOfferPicture(const std::string& path) {
    QPixmap picture;
    // A picture the toolkit cannot read leaves the place empty.
    if (!picture.load(QString::fromStdString(path))) return;
    if (picture.width() > 180 || picture.height() > 180)
        picture = picture.scaled(180, 180, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    ImagePromotion->setPixmap(picture);
    ImagePromotion->resize(picture.size());
    ImagePromotion->setCursor(Qt::PointingHandCursor);
    ImagePromotionArt->hide();
    ImagePromotion->show();
    ImagePromotion->raise();
}

void TPromotionPanel::ShowProgramProgress(bool visible, int percent) {
    ProgressBarPromotion->setValue(percent);
    ProgressBarPromotion->setVisible(visible);
    if (visible) ProgressBarPromotion->raise();
}

void TPromotionPanel::ShowNotice(const std::string& text) {
    ShowMessageWithButtons(text, Title(), mtInformation, {}, mbOK);
}

bool TPromotionPanel::ConfirmStart(const std::string& text) {
    return ShowMessageWithButtons(text, Title(), mtInformation, {"&Start", "&Cancel"}, mbYes | mbNo) == mrYes;
}

bool TPromotionPanel::AskStopProgramDownload() {
    return ShowMessageWithButtons(StopProgramDownloadQuestion, Title(), mtInformation, {}, mbOK | mbCancel) ==
           mrOk;
}

void TPromotionPanel::OpenWebPage(const std::string& url) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url), QUrl::StrictMode));
}

bool TPromotionPanel::StartProgram(const std::string& path) {
    // Started directly, no shell between: the path is never parsed as a command line.
    return QProcess::startDetached(QString::fromStdString(path), {});
}

} // namespace mw
