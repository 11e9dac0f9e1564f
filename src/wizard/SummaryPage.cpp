#include "wizard/Pages.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace mw {

namespace {

QString WithTitle(const char* text, const QString& title) {
    return QString(text).replace("%s", title);
}

} // namespace

TSummaryPage::TSummaryPage(QWidget* parent, TKind kind, const QString& title) : QWidget(parent) {
    setObjectName(kind == skConversion ? "TabSheetStep4" : "TabSheetStep7");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(10);
    LabelFinishTitle1 = new QLabel(WithTitle(kind == skConversion ? "%s has finished the conversion."
                                                                  : "%s has finished the downloading.",
                                             title),
                                   this);
    QFont bold = LabelFinishTitle1->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    LabelFinishTitle1->setFont(bold);
    LabelFinishTitle1->setWordWrap(true);
    layout->addWidget(LabelFinishTitle1);

    auto* summary = new QLabel("Summary", this);
    QFont heading = summary->font();
    heading.setBold(true);
    summary->setFont(heading);
    layout->addWidget(summary);
    auto* grid = new QGridLayout;
    grid->setContentsMargins(16, 0, 0, 0);
    LabelFinishTotalFiles = new QLabel("0", this);
    LabelFinishSuccessed = new QLabel("0", this);
    LabelFinishFailed = new QLabel("0", this);
    const std::pair<const char*, QLabel*> rows[] = {{"Total files:", LabelFinishTotalFiles},
                                                    {"Successed:", LabelFinishSuccessed},
                                                    {"Failed:", LabelFinishFailed}};
    int r = 0;
    for (const auto& [caption, value] : rows) {
        grid->addWidget(new QLabel(caption, this), r, 0);
        grid->addWidget(value, r++, 1);
    }
    grid->setColumnStretch(2, 1);
    layout->addLayout(grid);

    LabelFinishTitle2 = new QLabel(
        WithTitle("To convert other files, click \"Finish\". Click \"Exit\" to quit %s.", title), this);
    LabelFinishTitle2->setWordWrap(true);
    layout->addWidget(LabelFinishTitle2);

    LabelOpenFolder = new QLabel("Open folder", this);
    LabelOpenFolder->setObjectName("LabelOpenFolder");
    QFont link = LabelOpenFolder->font();
    link.setUnderline(true);
    LabelOpenFolder->setFont(link);
    LabelOpenFolder->setStyleSheet("color: #1a5fb4;");
    LabelOpenFolder->setCursor(Qt::PointingHandCursor);
    LabelOpenFolder->installEventFilter(this);
    layout->addWidget(LabelOpenFolder, 0, Qt::AlignLeft);

    if (kind == skDownload) {
        ButtonConvertDownloaded = new QPushButton("Convert the downloaded file(s) now! ", this);
        layout->addWidget(ButtonConvertDownloaded, 0, Qt::AlignLeft);
    }
    // The lines of what failed, last: the box takes the rest of the page.
    MemoErrorLog = new QPlainTextEdit(this);
    MemoErrorLog->setObjectName("MemoErrorLog");
    MemoErrorLog->setReadOnly(true);
    MemoErrorLog->setFrameShape(QFrame::NoFrame);
    MemoErrorLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoErrorLog->hide();
    layout->addWidget(MemoErrorLog, 1);
    layout->addStretch(0);
}

void TSummaryPage::SetErrors(const QString& lines) {
    MemoErrorLog->setPlainText(lines);
    MemoErrorLog->setVisible(!lines.isEmpty());
}

void TSummaryPage::SetCounts(int total, int succeeded, int failed) {
    LabelFinishTotalFiles->setNum(total);
    LabelFinishSuccessed->setNum(succeeded);
    LabelFinishFailed->setNum(failed);
}

bool TSummaryPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == LabelOpenFolder && event->type() == QEvent::MouseButtonRelease) {
        emit OpenFolderClicked();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace mw
