#include "wizard/MainWindow.h"

#include "wizard/Globals.h"
#include "app/ProfileFile.h"
#include "app/UtilFuncs.h"
#include "engine/FFLoad.h"
#include "engine/FFLog.h"
#include "widgets/PictureButton.h"
#include "widgets/SkinPicture.h"
#include "wizard/AboutWindow.h"
#include "wizard/ConvertingView.h"
#include "wizard/DownloadPagesView.h"
#include "wizard/FilePage.h"
#include "wizard/LogWindow.h"
#include "wizard/OutputPageView.h"
#include "wizard/Pages.h"
#include "wizard/Previewer.h"
#include "wizard/PromotionPanel.h"
#include "wizard/ShutdownWindow.h"
#include "wizard/SkinLayout.h"
#include "wizard/platform/DesktopNotifier.h"
#include "wizard/platform/FinishSound.h"
#include "wizard/platform/GuiUtils.h"
#include "wizard/platform/LogindPowerService.h"
#include "wizard/platform/QtPlacementWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDate>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QUrl>
#include <QWindow>
#include <map>
#include <utility>

namespace mw {

namespace {

// What Qt draws over each skin's pictures: the title line, the page texts, the bottom captions
// (enabled and disabled), the keyboard focus marks on the frame's buttons and on the page's
// class and format buttons, and where the left logo sits in the frame's left column.
struct TSkinDecor {
    QColor Title, PageText, Caption, CaptionDisabled, FocusOnFrame, FocusOnPage;
    QPoint LeftLogo;
};
const TSkinDecor SkinDecors[] = {
    {QColor("#ffffff"), QColor("#1e2935"), QColor("#ffffff"), QColor("#9fb0c2"), QColor("#f5b57c"),
     QColor("#1e2935"), {8, 74}},
    {QColor("#1b2a28"), QColor("#1b2a28"), QColor("#1b2a28"), QColor("#9aa9a6"), QColor("#0b6158"),
     QColor("#1b2a28"), {14, 108}},
    {QColor("#edf0f4"), QColor("#1a1e24"), QColor("#edf0f4"), QColor("#7d8693"), QColor("#7fb3f7"),
     QColor("#1a1e24"), {8, 74}},
    {QColor("#ffffff"), QColor("#161a2c"), QColor("#ffffff"), QColor("#6f7aa0"), QColor("#35c9d3"),
     QColor("#161a2c"), {10, 200}},
};

const TSkinDecor& DecorOf(int skin) {
    return SkinDecors[skin >= 0 && skin < 4 ? skin : 0];
}

// Editions whose window has neither Help nor Log.
const char* const TitlesWithoutHelp[] = {"Pelmarint", "Corvadue"};

const char* const FramePictures[] = {
    "toplogo.png", "leftlogo.png", "downloadyoutube.png", "youtubeconvert.png", "main.bmp",
    "min_1.bmp",   "min_2.bmp",    "min_3.bmp",           "close_1.bmp",        "close_2.bmp",
    "close_3.bmp", "bottom_1.bmp", "bottom_2.bmp",        "bottom_3.bmp",       "bottom_4.bmp"};

} // namespace

TFormMain::TFormMain(TFormLog* log, const std::string& configFile, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), FLog(log) {
    setObjectName("FormMain");
    setWindowTitle(QApplication::applicationName());
    setFixedSize(772, 547);
    LabelTitle = new QLabel(this);
    LabelTitle->setObjectName("LabelTitle");
    ImageTopLogo = new QLabel(this);
    ImageLeftLogo = new QLabel(this);
    ImageTopLogo->lower();
    ImageLeftLogo->lower();
    for (QLabel* logo : {ImageTopLogo, ImageLeftLogo})
        logo->installEventFilter(this);
    PageControlMain = new QStackedWidget(this);
    PageControlMain->setObjectName("PageControlMain");
    auto button = [this](const char* name, const char* caption) {
        auto* b = new TPictureButton(this);
        b->setObjectName(name);
        b->setText(caption);
        return b;
    };
    ButtonMin = button("ButtonMin", "");
    ButtonClose = button("ButtonClose", "");
    ButtonHelp = button("ButtonHelp", "Help");
    ButtonLog = button("ButtonLog", "Log");
    ButtonBack = button("ButtonBack", "Back");
    ButtonNext = button("ButtonNext", "Next");
    ButtonExit = button("ButtonExit", "Exit");
    ButtonMin->setToolTip("Minimise");
    ButtonClose->setToolTip("Close");
    ButtonMin->setAccessibleName("Minimise");
    ButtonClose->setAccessibleName("Close");
    ImageTopLogo->setAccessibleName(QApplication::applicationName());
    ImageLeftLogo->setAccessibleName(QApplication::applicationName());
    // Questions and notices belong to this window: modal to it and above its preview.
    SetMessageOwner(this);
    FLog->SetAnchor(this);
    connect(ButtonMin, &QAbstractButton::clicked, this, &QWidget::showMinimized);
    connect(ButtonClose, &QAbstractButton::clicked, this, &QWidget::close);
    connect(ButtonLog, &QAbstractButton::clicked, this, [this] {
        FLog->show();
        FLog->raise();
    });
    connect(ButtonBack, &QAbstractButton::clicked, this, [this] {
        if (FController) FController->Back();
    });
    connect(ButtonNext, &QAbstractButton::clicked, this, [this] {
        if (FController) FController->Next();
    });
    auto* actionExit = new QAction("Exit", this);
    actionExit->setObjectName("ActionExit");
    actionExit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    connect(actionExit, &QAction::triggered, this, [this] {
        if (FController)
            FController->Exit();
        else
            close();
    });
    addAction(actionExit);
    connect(ButtonExit, &QAbstractButton::clicked, actionExit, &QAction::trigger);
    CreateHelpMenu();
    connect(ButtonHelp, &QAbstractButton::clicked, this,
            [this] { PopupMenuHelp->popup(HelpMenuPosition()); });
    FormCreate(configFile);
}

TFormMain::~TFormMain() {
    SetMessageOwner(nullptr);
}

void TFormMain::ReportError(const std::string& message) {
    ShowMessageWithButtons(message, QApplication::applicationName().toStdString(), mtError, {}, mbOK);
}

void TFormMain::CreateHelpMenu() {
    PopupMenuHelp = new QMenu(this);
    struct TItem {
        const char* Name;
        const char* Caption;
        std::string TProductConfig::*Link; // nullptr: separator, or About for the last item
    };
    const TItem items[] = {
        {"ActionHelpContent", "Help Content", &TProductConfig::HelpContectLink},
        {"ActionHowTosTutorialVideos", "How Tos && Tutorial Videos...",
         &TProductConfig::HelpHowTosTutorialVideosLink},
        {nullptr, nullptr, nullptr},
        {"ActionHomePage", "Home Page...", &TProductConfig::HelpHomePageLink},
        {"ActionMoreFreeTools", "More Free Tools...", &TProductConfig::HelpMoreFreeToolsLink},
        {nullptr, nullptr, nullptr},
        {"ActionCheckforUpdates", "Check for Updates...", &TProductConfig::HelpCheckForUpdatesLink},
        {"ActionContactTechnicalSupport", "Contact Technical Support...", &TProductConfig::HelpSupportLink},
        {nullptr, nullptr, nullptr},
        {"ActionAbout", "About", nullptr},
    };
    for (const TItem& item : items) {
        if (!item.Name) {
            PopupMenuHelp->addSeparator();
            continue;
        }
        QAction* a = PopupMenuHelp->addAction(item.Caption);
        a->setObjectName(item.Name);
        if (item.Link) {
            const auto link = item.Link;
            connect(a, &QAction::triggered, this, [link] { ShellOpen(GlobalVars.ProductConfig.*link); });
        } else {
            connect(a, &QAction::triggered, this, &TFormMain::ShowAbout);
        }
        if (a->objectName() == "ActionHelpContent") {
            a->setShortcut(QKeySequence(Qt::Key_F1));
            a->setShortcutContext(Qt::WindowShortcut);
            addAction(a);
        }
    }
}

QPoint TFormMain::HelpMenuPosition() const {
    const TSkinLayout& layout = SkinLayout(GlobalVars.ProductConfig.Skin);
    return {ButtonHelp->x() + geometry().left() + layout.HelpMenuOffset,
            ButtonHelp->y() + geometry().top() + ButtonHelp->height()};
}

void TFormMain::ShowAbout() {
    TFormAbout about(this, GlobalVars.ProductConfig, QDate::currentDate().year());
    about.exec();
}

bool TFormMain::LoadPictures() {
    const std::string folder = ResourceFolder(GlobalVars.ProductConfig);
    std::map<std::string, QImage> pictures, doubled;
    for (const char* name : FramePictures) {
        std::string error;
        if (!LoadSkinPicture(folder + name, pictures[name], error)) {
            ReportError(error);
            return false;
        }
        doubled[name] = LoadDoublePicture(folder + name, pictures[name]);
    }
    // The labels keep the pictures of the screen the window opens on; the frame and the buttons
    // choose at every paint.
    const qreal ratio = devicePixelRatioF();
    auto forScreen = [&](const char* name) { return PictureForRatio(pictures[name], doubled[name], ratio); };
    FFrame = pictures["main.bmp"];
    FFrameDoubled = doubled["main.bmp"];
    FLogos = {forScreen("toplogo.png"), forScreen("leftlogo.png"), forScreen("downloadyoutube.png"),
              forScreen("youtubeconvert.png")};
    std::string ignored;
    // A missing one leaves the slide to the grid's own mark.
    auto iconForScreen = [&](const char* name, QImage& icon) {
        QImage picture;
        LoadSkinPicture(folder + name, picture, ignored);
        icon = PictureForRatio(picture, LoadDoublePicture(folder + name, picture), ratio);
    };
    iconForScreen("audioicon.png", FAudioIcon);
    iconForScreen("videoicon.png", FVideoIcon);
    auto states = [&](const char* stem, int count, std::map<std::string, QImage>& from) {
        std::vector<QPixmap> list;
        for (int n = 1; n <= count; ++n) {
            const QImage& img = from[std::string(stem) + "_" + std::to_string(n) + ".bmp"];
            if (!img.isNull()) list.push_back(QPixmap::fromImage(img));
        }
        return list;
    };
    ButtonMin->SetPictures(states("min", 3, pictures), states("min", 3, doubled));
    ButtonClose->SetPictures(states("close", 3, pictures), states("close", 3, doubled));
    for (TPictureButton* b : {ButtonHelp, ButtonLog, ButtonBack, ButtonNext, ButtonExit})
        b->SetPictures(states("bottom", 4, pictures), states("bottom", 4, doubled));
    setFixedSize(FFrame.size());
    // In window pixels, from the frame at its size: the 2x frame keeps the same outline.
    setMask(OpaqueRegion(FFrame));
    const QSize top = FLogos[0].deviceIndependentSize().toSize(),
                left = FLogos[1].deviceIndependentSize().toSize();
    ImageTopLogo->setPixmap(QPixmap::fromImage(FLogos[0]));
    ImageTopLogo->setGeometry(0, 0, top.width(), top.height());
    ImageLeftLogo->setPixmap(QPixmap::fromImage(FLogos[1]));
    const QPoint leftAt = DecorOf(GlobalVars.ProductConfig.Skin).LeftLogo;
    ImageLeftLogo->setGeometry(leftAt.x(), leftAt.y(), left.width(), left.height());
    return true;
}

void TFormMain::ApplySkinLayout() {
    const int skin = GlobalVars.ProductConfig.Skin;
    const TSkinLayout& l = SkinLayout(skin);
    const TSkinDecor& colours = DecorOf(skin);
    ButtonMin->move(l.Minimise.Left, l.Minimise.Top);
    ButtonClose->move(l.Close.Left, l.Close.Top);
    ButtonMin->setVisible(l.HasMinimiseAndClose);
    ButtonClose->setVisible(l.HasMinimiseAndClose);
    const std::pair<TPictureButton*, TSkinPoint> bottom[] = {{ButtonHelp, l.Help},
                                                             {ButtonLog, l.Log},
                                                             {ButtonBack, l.Back},
                                                             {ButtonNext, l.Next},
                                                             {ButtonExit, l.Exit}};
    for (const auto& [b, at] : bottom) {
        // The see-through buttons of one skin come as pictures of the frame under them.
        b->SetTextColor(colours.Caption, colours.CaptionDisabled);
        b->move(at.Left, at.Top);
    }
    QFont title = LabelTitle->font();
    title.setBold(l.TitleBold);
    FTitlePointSize = title.pointSizeF() * 1.2;
    title.setPointSizeF(FTitlePointSize);
    LabelTitle->setFont(title);
    QPalette tp = LabelTitle->palette();
    tp.setColor(QPalette::WindowText, colours.Title);
    LabelTitle->setPalette(tp);
    LabelTitle->setGeometry(l.TitleLine.Left, l.TitleLine.Top - 4, width() - l.TitleLine.Left - 24, 26);
    const int bottomTop = l.Exit.Top;
    PageControlMain->setGeometry(l.PageArea.Left, l.PageArea.Top, width() - l.PageArea.Left - 16,
                                 std::max(100, bottomTop - l.PageArea.Top - 14));
    QPalette pp = PageControlMain->palette();
    pp.setColor(QPalette::WindowText, colours.PageText);
    PageControlMain->setPalette(pp);
}

void TFormMain::CreatePages() {
    TGlobalVars& g = GlobalVars;
    const QString title = QString::fromStdString(g.ProductConfig.Name);
    FOutputModel = std::make_unique<TOutputPageModel>(g.UserSettings);
    ModePage = new TModePage(PageControlMain, FLogos[2], FLogos[3]);
    FilePage = new TFilePage(PageControlMain, FLog, FAudioIcon, FVideoIcon);
    OutputPage = new TOutputPageView(PageControlMain, *FOutputModel, g.UserSettings, g.ProductConfig,
                                     ResourceFolder(g.ProductConfig));
    ConvertingPage = new TConvertingPage(PageControlMain);
    ConversionSummaryPage = new TSummaryPage(PageControlMain, TSummaryPage::skConversion, title);
    LinkPage = new TLinkPage(PageControlMain);
    DownloadingPage = new TDownloadingPage(PageControlMain);
    DownloadSummaryPage = new TSummaryPage(PageControlMain, TSummaryPage::skDownload, title);
    for (QWidget* page : std::initializer_list<QWidget*>{ModePage, FilePage, OutputPage, ConvertingPage,
                                                         ConversionSummaryPage, LinkPage, DownloadingPage,
                                                         DownloadSummaryPage})
        PageControlMain->addWidget(page);
    addActions({FilePage->ActionAdd, FilePage->ActionDelete, FilePage->ActionClear, FilePage->ActionPlay});

    connect(ConvertingPage->CheckBoxPlayASound, &QCheckBox::clicked, this,
            [](bool on) { GlobalVars.UserSettings.PlayASoundWhenFinished = on; });
    connect(ConvertingPage->CheckBoxShutdown, &QCheckBox::clicked, this,
            [](bool on) { GlobalVars.UserSettings.ShutDownWhenFinished = on; });
    connect(ConversionSummaryPage, &TSummaryPage::OpenFolderClicked, this,
            [] { ShellOpen(GlobalVars.UserSettings.OutputFileDir); });

    TWizardRunHooks hooks;
    hooks.SourceCount = [this] { return FilePage->RowCount(); };
    hooks.ClearSources = [this] { FilePage->Clear(); };
    hooks.ClearConversionList = [this] { ConvertingPage->ListViewConverting->clear(); };
    hooks.StartConversion = [this] {
        if (OnStartConversion) OnStartConversion();
    };
    hooks.StopEncoder = [this](bool detach) {
        if (OnStopEncoder) OnStopEncoder(detach);
    };
    FController =
        std::make_unique<TPageController>(*this, g.ProductConfig, g.UserSettings, *FOutputModel, hooks);
    PageControlMain->setCurrentIndex(static_cast<int>(FController->StartPage()));
    DecoratePictureButtons();
    SetTabOrder();
}

void TFormMain::DecoratePictureButtons() {
    const TSkinDecor& decor = DecorOf(GlobalVars.ProductConfig.Skin);
    const qreal radius = 4;
    for (TPictureButton* b : findChildren<TPictureButton*>()) {
        const bool onPage = PageControlMain->isAncestorOf(b);
        b->SetFocusMark(onPage ? decor.FocusOnPage : decor.FocusOnFrame, radius,
                        onPage ? Qt::DashLine : Qt::SolidLine);
    }
}

void TFormMain::SetTabOrder() {
    // The pages come first, in their own order; the window's commands follow in the order they
    // read, minimise and close last.
    std::vector<QWidget*> order;
    for (QWidget* w = nextInFocusChain(); w != this; w = w->nextInFocusChain())
        if (PageControlMain->isAncestorOf(w)) order.push_back(w);
    order.insert(order.end(), {ButtonHelp, ButtonLog, ButtonBack, ButtonNext, ButtonExit, ButtonMin, ButtonClose});
    for (size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TFormMain::FocusFirstControl(QWidget* page) {
    const auto takes = [this](QWidget* w) {
        return (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(this) && w->isEnabled();
    };
    for (QWidget* w = nextInFocusChain(); w != this; w = w->nextInFocusChain())
        if (page->isAncestorOf(w) && takes(w)) return w->setFocus(Qt::TabFocusReason);
    // A page without controls of its own: its Next (Finish), else the first command that takes it.
    for (QWidget* w : std::initializer_list<QWidget*>{ButtonNext, ButtonExit})
        if (takes(w)) return w->setFocus(Qt::TabFocusReason);
}

void TFormMain::FormCreate(const std::string& configFile) {
    TGlobalVars& g = GlobalVars;
    try {
        g.ProductConfig = ReadProductConfig(configFile);
    } catch (const std::exception& e) {
        ReportError(e.what());
        return;
    }
    if (!LoadPictures()) return;
    ApplySkinLayout();
    for (const char* name : TitlesWithoutHelp)
        if (g.ProductConfig.Name == name) {
            ButtonHelp->hide();
            ButtonLog->hide();
        }

    g.SettingsFolder = FormSettingsFolder(g.ProductConfig.Name);
    g.UserSettings = DefaultUserSettings(g.ProductConfig);
    try {
        LoadUserSettings(g.UserSettings, g.SettingsFile());
        // Centred whether or not the file was there: a file without a stored placement (a first
        // run that was killed) keeps this place rather than the screen's corner.
        TQtPlacementWindow w(this);
        const TWindowBounds b = CenteredPlacement(w.Bounds(), w.Screen());
        move(b.Left, b.Top);
    } catch (const std::exception& e) {
        ReportError(e.what());
        return;
    }
    FSettingsReady = true;

    CreatePages();
    setAcceptDrops(true);
    {
        TQtPlacementWindow w(this);
        RestoreWindowPlacement("Form", w, g.SettingsFile());
    }
    FController->RefreshPageCaptions();
    if (g.ProductConfig.Download)
        FDownloadPages = std::make_unique<TDownloadPagesView>(
            this,
            TDownloadPageWidgets{this, ModePage, LinkPage, DownloadingPage, DownloadSummaryPage, FilePage},
            *this, *FController, g.UserSettings);
    if (FDownloadPages) {
        FDownloadPages->OnLogLine = [this](const std::string& text) {
            FLog->AppendLogLine(QString::fromStdString(text));
        };
        FDownloadPages->OnRunEnded = [this](int total, int succeeded, int failed) {
            NotifyRunEnd(TRunKind::Download, total, succeeded, failed);
        };
    }

    try {
        FLogger = std::make_unique<TFFLogger>();
        FLogger->SetLogLevel(llError);
        FLogger->OnLog = [this](const void*, uint32_t threadId, TLogLevel level, const std::string& text) {
            FLog->FFLoggerLog(threadId, static_cast<int>(level), text);
        };
    } catch (const std::exception& e) {
        FLog->AppendLogLine(QString::fromStdString(e.what()));
    }
    std::string error;
    if (!LoadLibrariesBesideExecutable(error)) {
        FLog->AppendLogLine(QString::fromStdString(error));
        return;
    }
    CreateConversionRun();
    FPromotions = std::make_unique<TPromotionPanel>(this, g.ProductConfig.Skin, ProgramPromotionsSetup(),
                                                    FController.get());
    FController->GoToStartPage();
    FocusFirstControl(PageControlMain->currentWidget());
    FCreationCompleted = true;
}

void TFormMain::CreateConversionRun() {
    TGlobalVars& g = GlobalVars;
    FConverting = std::make_unique<TConvertingView>(nullptr, *ConvertingPage, *FController, g.UserSettings,
                                                    g.ConversionRun, g.ProductConfig.Merge);
    FConverting->OnLogLine = [this](const std::string& text) {
        FLog->AppendLogLine(QString::fromStdString(text));
    };
    OnStartConversion = [this] {
        FConverting->Start(FilePage->SourceFiles(), GlobalVars.ProductConfig.Merge);
    };
    OnStopEncoder = [this](bool detach) { FConverting->Stop(detach); };
    // One place for the run's preview windows: a new one opens where the user had the last.
    FConverting->Encoder().PreviewWindowFactory =
        [this, place = std::make_shared<std::optional<QPoint>>()](int32_t) {
            return std::make_unique<TPreviewer>(this, place);
        };
    FConverting->OnPlaySound = [this](const std::string& name) {
        if (!FSound) FSound = std::make_unique<TFinishSound>();
        FSound->Play(ExecutableFolder() + "sounds/" + name);
    };
    FConverting->OnShutdown = [this] { ShutdownCountdown(); };
    FConverting->OnRunEnded = [this] {
        const TConversionRun& run = GlobalVars.ConversionRun;
        NotifyRunEnd(TRunKind::Conversion, run.RunTotalFiles, run.RunSucceeded,
                     run.RunTotalFiles - run.RunSucceeded);
    };
}

void TFormMain::NotifyRunEnd(TRunKind kind, int total, int succeeded, int failed) {
    if (!ShouldNotifyRunEnd({isActiveWindow(), isMinimized(), isVisible()})) return;
    if (!FNotifier) FNotifier = std::make_unique<TDesktopNotifier>();
    FNotifier->Notify(RunEndNotice(kind, GlobalVars.ProductConfig.Name, total, succeeded, failed), kind);
}

void TFormMain::ShutdownCountdown() {
    TFormShutdown dialog(this, QString::fromStdString(GlobalVars.ProductConfig.Name), ShutdownTickMs);
    dialog.adjustSize();
    dialog.move(x() + (width() - dialog.width()) / 2, y() + (height() - dialog.height()) / 2);
    if (dialog.exec() != QDialog::Accepted) return;
    if (!FPowerService) FPowerService = std::make_unique<TLogindPowerService>();
    DoPowerAction(paShutDown, *FPowerService);
}

void TFormMain::ShowPage(TWizardPage page) {
    const bool changed = PageControlMain->currentIndex() != static_cast<int>(page);
    PageControlMain->setCurrentIndex(static_cast<int>(page));
    // The keyboard starts on the new page, not on whatever the old one left focused; once more
    // when its commands are set (a page without controls starts on its Next).
    if (changed && PageControlMain->currentWidget()) FocusFirstControl(PageControlMain->currentWidget());
    FFocusPending = FFocusPending || changed;
}

TWizardPage TFormMain::CurrentPage() const {
    return static_cast<TWizardPage>(std::max(0, PageControlMain->currentIndex()));
}

void TFormMain::SetTitleText(const std::string& text) {
    // Long titles shrink to the line rather than being cut off.
    const QString title = QString::fromStdString(text);
    QFont f = LabelTitle->font();
    f.setPointSizeF(FTitlePointSize);
    while (f.pointSizeF() > 7 && QFontMetrics(f).horizontalAdvance(title) > LabelTitle->width())
        f.setPointSizeF(f.pointSizeF() - 0.5);
    LabelTitle->setFont(f);
    LabelTitle->setText(title);
}

void TFormMain::SetCommands(const TCommandState& back, const TCommandState& next, const TCommandState& exit) {
    const std::pair<TPictureButton*, const TCommandState*> rows[] = {
        {ButtonBack, &back}, {ButtonNext, &next}, {ButtonExit, &exit}};
    for (const auto& [button, state] : rows) {
        button->setText(QString::fromStdString(state->Caption));
        button->setEnabled(state->Enabled);
    }
    // The commands change with the page: a focus left on nothing usable goes to the page.
    const QWidget* focus = focusWidget();
    if (PageControlMain->currentWidget() &&
        (std::exchange(FFocusPending, false) || !focus || !focus->isEnabled() || !focus->isVisibleTo(this) ||
         focus == PageControlMain->currentWidget()))
        FocusFirstControl(PageControlMain->currentWidget());
}

bool TFormMain::AskYesNo(const std::string& question) {
    return ShowMessageWithButtons(question, GlobalVars.ProductConfig.Name, mtConfirmation, {}, mbYes | mbNo,
                                  &FQuestion) == mrYes;
}

void TFormMain::CloseQuestion() {
    FQuestion.Close();
}

void TFormMain::ShowNotice(const std::string& text) {
    ShowMessageWithButtons(text, GlobalVars.ProductConfig.Name, mtInformation, {}, mbOK);
}

void TFormMain::QueueStep(std::function<void()> step) {
    QMetaObject::invokeMethod(this, std::move(step), Qt::QueuedConnection);
}

void TFormMain::ProcessPendingEvents() {
    QCoreApplication::processEvents();
}

void TFormMain::CloseWindow() {
    // Only pages without a run quit, after their own question.
    CloseWithoutAsking();
}

bool TFormMain::CloseWithoutAsking() {
    FCloseWithoutAsking = true;
    const bool closed = close();
    FCloseWithoutAsking = false;
    return closed;
}

std::string TFormMain::RunningJobQuestion() const {
    if (FConverting && FConverting->Running()) return CancelConversionQuestion;
    if (FDownloadPages && FDownloadPages->Logic().Runner().Running()) return CancelDownloadQuestion;
    return "";
}

void TFormMain::SetFinishOptions(bool playSound, bool shutDown) {
    ConvertingPage->CheckBoxPlayASound->setChecked(playSound);
    ConvertingPage->CheckBoxShutdown->setChecked(shutDown);
}

void TFormMain::SetConversionSummary(int total, int succeeded, int failed, const std::string& errors) {
    ConversionSummaryPage->SetCounts(total, succeeded, failed);
    ConversionSummaryPage->SetErrors(QString::fromStdString(errors));
}

void TFormMain::OutputPageApplied() {
    OutputPage->Sync();
}

} // namespace mw
