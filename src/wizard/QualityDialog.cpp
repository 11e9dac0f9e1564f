#include "wizard/QualityDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace mw {

TFormYouTubeHQ::TFormYouTubeHQ(QWidget* owner, TQualityOrder& order) : QDialog(owner), FModel(order) {
    setObjectName("FormYouTubeHQ");
    setWindowTitle("Prefer YouTube high quality");
    auto* layout = new QHBoxLayout(this);
    ListViewYouTubeHQ = new QTreeWidget(this);
    ListViewYouTubeHQ->setObjectName("ListViewYouTubeHQ");
    ListViewYouTubeHQ->setRootIsDecorated(false);
    ListViewYouTubeHQ->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListViewYouTubeHQ->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListViewYouTubeHQ->setHeaderLabels({"Type", "Format", "Video", "Audio"});
    layout->addWidget(ListViewYouTubeHQ, 1);

    auto* buttons = new QVBoxLayout;
    const struct {
        const char* Caption;
        void (TYouTubeHQModel::*Command)();
    } commands[] = {{"&Up", &TYouTubeHQModel::Up},
                    {"&Down", &TYouTubeHQModel::Down},
                    {"&Default", &TYouTubeHQModel::Default},
                    {"&Best Available", &TYouTubeHQModel::BestAvailable}};
    for (const auto& c : commands) {
        auto* b = new QPushButton(c.Caption, this);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, command = c.Command] { Run(command); });
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    auto* ok = new QPushButton("&OK", this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] {
        FModel.OK();
        accept();
    });
    auto* cancel = new QPushButton("&Cancel", this);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    connect(ListViewYouTubeHQ, &QTreeWidget::currentItemChanged, this, [this] {
        FModel.Select(ListViewYouTubeHQ->indexOfTopLevelItem(ListViewYouTubeHQ->currentItem()));
    });
    Refill();
    ListViewYouTubeHQ->header()->resizeSections(QHeaderView::ResizeToContents);
    setFixedSize(560, 260);
}

void TFormYouTubeHQ::Refill() {
    const QSignalBlocker block(ListViewYouTubeHQ);
    ListViewYouTubeHQ->clear();
    for (const auto& row : FModel.Rows())
        ListViewYouTubeHQ->addTopLevelItem(
            new QTreeWidgetItem({QString::fromStdString(row.Type), QString::fromStdString(row.Format),
                                 QString::fromStdString(row.Video), QString::fromStdString(row.Audio)}));
    if (QTreeWidgetItem* item = ListViewYouTubeHQ->topLevelItem(FModel.Selected())) {
        ListViewYouTubeHQ->setCurrentItem(item);
        ListViewYouTubeHQ->scrollToItem(item);
    }
}

void TFormYouTubeHQ::Run(void (TYouTubeHQModel::*command)()) {
    (FModel.*command)();
    Refill();
    ListViewYouTubeHQ->setFocus();
}

bool EditPreference(QWidget* owner, TQualityOrder& order) {
    TFormYouTubeHQ dialog(owner, order);
    if (owner) {
        const QRect o = owner->frameGeometry();
        dialog.move(o.left() + (o.width() - dialog.width()) / 2,
                    o.top() + (o.height() - dialog.height()) / 2);
    }
    return dialog.exec() == QDialog::Accepted;
}

} // namespace mw
