#include "wizard/Pages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace mw {

QTreeWidget* NewReportList(QWidget* parent, const char* name, const QStringList& headers) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName(name);
    list->setRootIsDecorated(false);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setHeaderLabels(headers);
    return list;
}

TConvertingPage::TConvertingPage(QWidget* parent) : QWidget(parent) {
    setObjectName("TabSheetStep3");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    ListViewConverting =
        NewReportList(this, "ListViewConverting", {"Name", "Duration", "Status", "Progress", "Path"});
    // Wide enough for "00:00:00.000" and "Converting..." in the usual fonts.
    const int widths[] = {224, 96, 100, 80, 300};
    for (int c = 0; c < 5; ++c)
        ListViewConverting->setColumnWidth(c, widths[c]);
    layout->addWidget(ListViewConverting, 1);

    auto* status = new QGroupBox("Status", this);
    auto* grid = new QGridLayout(status);
    LabelCurrentFileCaption = new QLabel("Current file:", status);
    LabelCurrentFile = new QLabel("...", status);
    LabelEstimated = new QLabel("...", status);
    LabelElapsed = new QLabel("...", status);
    LabelTimeLeft = new QLabel("...", status);
    LabelProgress = new QLabel("0%", status);
    ProgressBar = new QProgressBar(status);
    ProgressBar->setRange(0, 100);
    ProgressBar->setTextVisible(false);
    LabelCurrentFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(LabelCurrentFileCaption, 0, 0);
    grid->addWidget(LabelCurrentFile, 0, 1, 1, 3);
    grid->addWidget(new QLabel("Estimated overall time:", status), 1, 0);
    grid->addWidget(LabelEstimated, 1, 1);
    grid->addWidget(new QLabel("Elapsed time:", status), 1, 2);
    grid->addWidget(LabelElapsed, 1, 3);
    grid->addWidget(new QLabel("Time left:", status), 2, 2);
    grid->addWidget(LabelTimeLeft, 2, 3);
    grid->addWidget(new QLabel("Overall Progress:", status), 3, 0);
    grid->addWidget(ProgressBar, 3, 1, 1, 2);
    grid->addWidget(LabelProgress, 3, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    layout->addWidget(status);

    auto* options = new QGroupBox("Post-Progress Options", this);
    auto* box = new QVBoxLayout(options);
    CheckBoxPlayASound = new QCheckBox("&Play a sound when conversion is finished", options);
    CheckBoxShutdown = new QCheckBox("&Shut down the computer after all tasks are finished", options);
    CheckBoxPlayASound->setObjectName("CheckBoxPlayASound");
    CheckBoxShutdown->setObjectName("CheckBoxShutdown");
    box->addWidget(CheckBoxPlayASound);
    box->addWidget(CheckBoxShutdown);
    box->addWidget(NewParallelRow(options));

    // The preview switch sits beside the after-conversion options, apart from them: it acts now.
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(options, 1);
    CheckBoxPreview = new QCheckBox("Preview", this);
    CheckBoxPreview->setObjectName("CheckBoxPreview");
    CheckBoxPreview->setToolTip("Show the pictures being converted in a small window");
    // On the line of the last option, at the right.
    auto* previewColumn = new QVBoxLayout;
    previewColumn->addStretch(1);
    previewColumn->addWidget(CheckBoxPreview);
    previewColumn->addSpacing(box->contentsMargins().bottom());
    bottom->addSpacing(12);
    bottom->addLayout(previewColumn);
    bottom->addSpacing(8);
    layout->addLayout(bottom);
}

QWidget* TConvertingPage::NewParallelRow(QWidget* parent) {
    FParallelRow = new QWidget(parent);
    auto* row = new QHBoxLayout(FParallelRow);
    row->setContentsMargins(0, 0, 0, 0);
    ComboBoxParallelTasks = new QComboBox(FParallelRow);
    ComboBoxParallelTasks->setObjectName("ComboBoxParallelTasks");
    ComboBoxParallelTasks->setToolTip("Auto: as many as convert the files fastest on this computer");
    // The automatic item's text names its count once a run has chosen it.
    ComboBoxParallelTasks->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    ComboBoxParallelTasks->addItem("Auto", 0);
    for (int n = 1; n <= ListedParallelCounts; ++n)
        ComboBoxParallelTasks->addItem(QString::number(n), n);
    auto* before = new QLabel("Con&vert", FParallelRow);
    before->setBuddy(ComboBoxParallelTasks);
    row->addWidget(before);
    row->addWidget(ComboBoxParallelTasks);
    row->addWidget(new QLabel("files at once", FParallelRow));
    row->addStretch(1);
    return FParallelRow;
}

void TConvertingPage::SetJoinMode(bool joinMode) {
    QTreeWidgetItem* header = ListViewConverting->headerItem();
    header->setText(2, joinMode ? "Width x Height" : "Status");
    header->setText(3, joinMode ? "Aspect Ratio" : "Progress");
    // A join is one task: there is nothing to convert side by side.
    FParallelRow->setHidden(joinMode);
}

int TConvertingPage::ParallelChoice() const {
    return ComboBoxParallelTasks->currentData().toInt();
}

void TConvertingPage::SetParallelChoice(int choice) {
    int index = ComboBoxParallelTasks->findData(choice);
    if (index < 0) {
        // Keep the list in order of count.
        index = 1;
        while (index < ComboBoxParallelTasks->count() &&
               ComboBoxParallelTasks->itemData(index).toInt() < choice)
            ++index;
        ComboBoxParallelTasks->insertItem(index, QString::number(choice), choice);
    }
    ComboBoxParallelTasks->setCurrentIndex(index);
}

void TConvertingPage::SetAutomaticCount(int count) {
    ComboBoxParallelTasks->setItemText(0, count > 0 ? QString("Auto (%1)").arg(count) : QString("Auto"));
}

} // namespace mw
