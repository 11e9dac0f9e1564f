#include "wizard/Pages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace mw {

TLinkPage::TLinkPage(QWidget* parent) : QWidget(parent) {
    setObjectName("TabSheetStep5");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    ListBoxURL = new QListWidget(this);
    ListBoxURL->setObjectName("ListBoxURL");
    ListBoxURL->setContextMenuPolicy(Qt::ActionsContextMenu);
    ListBoxURL->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* links = new QHBoxLayout;
    links->addWidget(ListBoxURL, 1);
    auto* linkButtons = new QVBoxLayout;
    ButtonURLPaste = new QPushButton("&Paste", this);
    ButtonURLRemove = new QPushButton("&Remove", this);
    ButtonURLEmpty = new QPushButton("&Empty", this);
    for (QPushButton* b : {ButtonURLPaste, ButtonURLRemove, ButtonURLEmpty})
        linkButtons->addWidget(b);
    linkButtons->addStretch(1);
    links->addLayout(linkButtons);
    layout->addLayout(links, 1);

    layout->addWidget(new QLabel("Output directory:", this));
    auto* folder = new QHBoxLayout;
    EditURLOutput = new QLineEdit(this);
    EditURLOutput->setObjectName("EditURLOutput");
    ButtonURLOutputSelect = new QPushButton("Select...", this);
    folder->addWidget(EditURLOutput, 1);
    folder->addWidget(ButtonURLOutputSelect);
    layout->addLayout(folder);

    auto* quality = new QHBoxLayout;
    CheckBoxYouTubeQuality = new QCheckBox("Prefer YouTube high quality", this);
    CheckBoxYouTubeQuality->setObjectName("CheckBoxYouTubeQuality");
    ButtonYouTubeQualityConfig = new QPushButton("Config...", this);
    LabelYouTubeQuality = new QLabel(this);
    LabelYouTubeQuality->setObjectName("LabelYouTubeQuality");
    // The eight preferred qualities need more than the rest of the line.
    LabelYouTubeQuality->setWordWrap(true);
    ComboBoxDownloadEngine = new QComboBox(this);
    ComboBoxDownloadEngine->setObjectName("ComboBoxDownloadEngine");
    ComboBoxDownloadEngine->addItems({"Automatic", "Built-in", "yt-dlp"});
    ComboBoxDownloadEngine->setToolTip("Automatic: yt-dlp when it is installed, else the built-in downloader.\n"
                                       "yt-dlp also takes links of other sites.");
    auto* engineLabel = new QLabel("Download with:", this);
    engineLabel->setBuddy(ComboBoxDownloadEngine);
    quality->addWidget(CheckBoxYouTubeQuality);
    quality->addWidget(ButtonYouTubeQualityConfig);
    quality->addStretch(1);
    quality->addWidget(engineLabel);
    quality->addWidget(ComboBoxDownloadEngine);
    layout->addLayout(quality);
    layout->addWidget(LabelYouTubeQuality);
}

TDownloadingPage::TDownloadingPage(QWidget* parent) : QWidget(parent) {
    setObjectName("TabSheetStep6");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    ListViewURLDownload = NewReportList(this, "ListViewURLDownload",
                                        {"Name", "Status", "Size", "Speed", "Progress", "URL", ""});
    const int widths[] = {170, 95, 70, 90, 60, 250};
    for (int c = 0; c < 6; ++c)
        ListViewURLDownload->header()->resizeSection(c, widths[c]);
    layout->addWidget(ListViewURLDownload, 1);

    auto* status = new QGroupBox("Status", this);
    auto* grid = new QGridLayout(status);
    auto value = [status] { return new QLabel("...", status); };
    LabelCurrentFile = value();
    LabelStatus = value();
    LabelSpeed = value();
    LabelElapsed = value();
    LabelTimeLeft = value();
    LabelQuality = value();
    LabelProgress = new QLabel("0%", status);
    ProgressBar = new QProgressBar(status);
    ProgressBar->setRange(0, 100);
    ProgressBar->setTextVisible(false);
    const std::pair<const char*, QLabel*> rows[] = {{"Current file:", LabelCurrentFile},
                                                    {"Status:", LabelStatus},
                                                    {"Speed:", LabelSpeed},
                                                    {"Elapsed time:", LabelElapsed},
                                                    {"Time left:", LabelTimeLeft}};
    int r = 0;
    for (const auto& [caption, label] : rows) {
        grid->addWidget(new QLabel(caption, status), r / 2, (r % 2) * 2);
        grid->addWidget(label, r / 2, (r % 2) * 2 + 1);
        ++r;
    }
    // The long quality label gets a line of its own.
    grid->addWidget(new QLabel("Quality:", status), 3, 0);
    grid->addWidget(LabelQuality, 3, 1, 1, 3);
    grid->addWidget(new QLabel("Progress:", status), 4, 0);
    grid->addWidget(ProgressBar, 4, 1, 1, 2);
    grid->addWidget(LabelProgress, 4, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    layout->addWidget(status);
}

} // namespace mw
