#include "wizard/DownloadPagesView.h"

#include "app/Dispatcher.h"
#include "wizard/Globals.h"
#include "download/VideoInfo.h"
#include "wizard/FilePage.h"
#include "wizard/Pages.h"
#include "wizard/QualityDialog.h"
#include "wizard/platform/GuiUtils.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QUrl>

namespace mw {

namespace {
QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
} // namespace

TDownloadPagesView::TDownloadPagesView(QObject* parent, const TDownloadPageWidgets& widgets,
                                       IWizardWindow& window, TPageController& controller,
                                       TUserSettings& settings)
    : QObject(parent), FWidgets(widgets), FSettings(settings) {
    // The edition names the site the built-in road's link rules and information address use.
    SetVideoSiteDomain(GlobalVars.ProductConfig.SiteDomain);
    FLogic = std::make_unique<TDownloadPages>(window, controller, settings, MainThreadDispatcher(), *this);
    TLinkPage* link = FWidgets.Link;

    ActionURLPaste = new QAction("&Paste", link->ListBoxURL);
    ActionURLPaste->setShortcut(QKeySequence::Paste);
    ActionURLPaste->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    ActionURLRemove = new QAction("&Remove", link->ListBoxURL);
    ActionURLEmpty = new QAction("&Empty", link->ListBoxURL);
    link->ListBoxURL->addActions({ActionURLPaste, ActionURLRemove});
    // Ctrl+V anywhere on the link page pastes links.
    link->addAction(ActionURLPaste);
    connect(ActionURLPaste, &QAction::triggered, this, [this] {
        if (!FClipboardHasText) return;
        FLogic->Paste(QGuiApplication::clipboard()->text().toStdString());
    });
    connect(ActionURLRemove, &QAction::triggered, this, [this] {
        std::vector<int> rows;
        for (QListWidgetItem* item : FWidgets.Link->ListBoxURL->selectedItems())
            rows.push_back(FWidgets.Link->ListBoxURL->row(item));
        if (rows.empty()) return;
        FLogic->Remove(rows);
        FWidgets.Link->ListBoxURL->setFocus();
    });
    connect(ActionURLEmpty, &QAction::triggered, this, [this] { FLogic->Empty(); });
    const std::pair<QPushButton*, QAction*> buttons[] = {{link->ButtonURLPaste, ActionURLPaste},
                                                         {link->ButtonURLRemove, ActionURLRemove},
                                                         {link->ButtonURLEmpty, ActionURLEmpty}};
    for (const auto& [button, action] : buttons)
        connect(button, &QPushButton::clicked, action, &QAction::trigger);
    connect(link->ListBoxURL, &QListWidget::itemSelectionChanged, this, &TDownloadPagesView::UpdateActions);
    connect(link->ListBoxURL, &QListWidget::itemDoubleClicked, this, [](QListWidgetItem* item) {
        const QUrl url(item->text().trimmed(), QUrl::StrictMode);
        if (url.scheme() == "http" || url.scheme() == "https") QDesktopServices::openUrl(url);
    });
    connect(link->ButtonURLOutputSelect, &QPushButton::clicked, this, &TDownloadPagesView::SelectFolder);
    connect(link->CheckBoxYouTubeQuality, &QCheckBox::clicked, this,
            [this] { FLogic->PreferQualityClicked(); });
    connect(link->ButtonYouTubeQualityConfig, &QPushButton::clicked, this, &TDownloadPagesView::EditQuality);
    connect(link->ComboBoxDownloadEngine, &QComboBox::activated, this, [this] { FLogic->EngineChoiceChanged(); });

    connect(FWidgets.Summary, &TSummaryPage::OpenFolderClicked, this, [this] { FLogic->OpenFolder(); });
    if (FWidgets.Summary->ButtonConvertDownloaded)
        connect(FWidgets.Summary->ButtonConvertDownloaded, &QPushButton::clicked, this,
                [this] { FLogic->ConvertDownloaded(); });

    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            &TDownloadPagesView::ClipboardChanged);
    ClipboardChanged();
    controller.AddCloseStep([this] { return FLogic->CloseStep(); });
}

TDownloadPagesView::~TDownloadPagesView() = default;

void TDownloadPagesView::ClipboardChanged() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    FClipboardHasText = data && data->hasText();
    UpdateActions();
}

void TDownloadPagesView::UpdateActions() {
    ActionURLPaste->setEnabled(FClipboardHasText);
    ActionURLRemove->setEnabled(!FWidgets.Link->ListBoxURL->selectedItems().isEmpty());
    ActionURLEmpty->setEnabled(FWidgets.Link->ListBoxURL->count() > 0);
    FWidgets.Link->ButtonURLPaste->setEnabled(ActionURLPaste->isEnabled());
    FWidgets.Link->ButtonURLRemove->setEnabled(ActionURLRemove->isEnabled());
    FWidgets.Link->ButtonURLEmpty->setEnabled(ActionURLEmpty->isEnabled());
}

void TDownloadPagesView::SelectFolder() {
    std::string folder = FSettings.OutputURLDir;
    if (SelectFolderDialog(FWidgets.Window, folder, "Please select a folder")) FLogic->FolderSelected(folder);
}

void TDownloadPagesView::EditQuality() {
    if (EditPreference(FWidgets.Window, FSettings.PreferYouTube)) FLogic->QualityEdited();
}

bool TDownloadPagesView::ShowLinkMessage(const std::string& text) {
    return ShowMessageWithButtons(text, GlobalVars.ProductConfig.Name, mtInformation, {}, mbOK | mbCancel) ==
           mrOk;
}

bool TDownloadPagesView::DownloadChosen() const {
    return FWidgets.Mode->RadioButtonDownloadVideo->isChecked();
}

std::string TDownloadPagesView::FolderText() const {
    return FWidgets.Link->EditURLOutput->text().toStdString();
}

void TDownloadPagesView::SetFolderText(const std::string& text) {
    FWidgets.Link->EditURLOutput->setText(Q(text));
}

bool TDownloadPagesView::PreferQualityChecked() const {
    return FWidgets.Link->CheckBoxYouTubeQuality->isChecked();
}

void TDownloadPagesView::SetPreferQuality(bool checked) {
    FWidgets.Link->CheckBoxYouTubeQuality->setChecked(checked);
    FWidgets.Link->ButtonYouTubeQualityConfig->setEnabled(checked);
}

void TDownloadPagesView::SetQualityLabel(const std::string& text) {
    FWidgets.Link->LabelYouTubeQuality->setText(Q(text));
}

int TDownloadPagesView::DownloadEngineChoice() const {
    return FWidgets.Link->ComboBoxDownloadEngine->currentIndex();
}

void TDownloadPagesView::SetDownloadEngineChoice(int engine) {
    FWidgets.Link->ComboBoxDownloadEngine->setCurrentIndex(engine);
}

void TDownloadPagesView::LinksChanged(int selectRow) {
    QListWidget* list = FWidgets.Link->ListBoxURL;
    const QSignalBlocker block(list);
    list->clear();
    for (const std::string& l : FLogic->LinkList.Links)
        list->addItem(Q(l));
    if (QListWidgetItem* item = list->item(selectRow)) {
        list->setCurrentItem(item);
        list->scrollToItem(item);
    }
    UpdateActions();
}

void TDownloadPagesView::DownloadRowsChanged() {
    QTreeWidget* list = FWidgets.Downloading->ListViewURLDownload;
    list->clear();
    for (size_t i = 0; i < FLogic->Runner().Rows.size(); ++i) {
        list->addTopLevelItem(new QTreeWidgetItem(list));
        DownloadRowChanged(static_cast<int>(i));
    }
}

void TDownloadPagesView::DownloadRowChanged(int row) {
    const auto& rows = FLogic->Runner().Rows;
    QTreeWidgetItem* item = FWidgets.Downloading->ListViewURLDownload->topLevelItem(row);
    if (!item || row < 0 || row >= static_cast<int>(rows.size())) return;
    const TDownloadRow& r = rows[static_cast<size_t>(row)];
    int column = 0;
    for (const std::string* text : {&r.Name, &r.Status, &r.Size, &r.Speed, &r.Progress, &r.URL, &r.Extra})
        item->setText(column++, Q(*text));
}

void TDownloadPagesView::DownloadPanelChanged() {
    const TDownloadPanel& p = FLogic->Runner().Panel;
    TDownloadingPage* page = FWidgets.Downloading;
    const std::pair<QLabel*, const std::string*> labels[] = {{page->LabelCurrentFile, &p.CurrentFile},
                                                             {page->LabelStatus, &p.Status},
                                                             {page->LabelSpeed, &p.Speed},
                                                             {page->LabelElapsed, &p.Elapsed},
                                                             {page->LabelTimeLeft, &p.TimeLeft},
                                                             {page->LabelQuality, &p.Quality},
                                                             {page->LabelProgress, &p.Percentage}};
    for (const auto& [label, text] : labels)
        label->setText(Q(*text));
    page->ProgressBar->setValue(p.ProgressBar);
}

void TDownloadPagesView::ShowScriptError(const std::string& message) {
    ShowMessageWithButtons(message, GlobalVars.ProductConfig.Name, mtError, {}, mbOK);
}

void TDownloadPagesView::LogLine(const std::string& text) {
    if (OnLogLine) OnLogLine(text);
}

void TDownloadPagesView::SetDownloadSummary(int total, int succeeded, int failed,
                                            const std::string& failures) {
    FWidgets.Summary->SetCounts(total, succeeded, failed);
    FWidgets.Summary->SetErrors(Q(failures));
    if (OnRunEnded) OnRunEnded(total, succeeded, failed);
}

void TDownloadPagesView::AddSourceFiles(const std::vector<std::string>& files) {
    QStringList paths;
    for (const std::string& f : files)
        paths << Q(f);
    FWidgets.Files->AddSourceFiles(paths);
}

void TDownloadPagesView::OpenFolder(const std::string& folder) {
    ShellOpen(folder);
}

} // namespace mw
