#include "wizard/FailedAddDialog.h"

#include "app/Globals.h"
#include "wizard/platform/GuiUtils.h"

#include <QApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace mw {

TFormFailedAddFile::TFormFailedAddFile(QWidget* owner) : QDialog(owner) {
    setObjectName("FormFailedAddFile");
    setWindowTitle("Failed to Add Files");
    resize(480, 300);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    auto* text =
        new QLabel("Failed to add the following files. The converter might not support the file type or "
                   "might not support the codec that was used to compress the file. Click \"More "
                   "Information\" to view a list of supported file types and releavant codecs.",
                   this);
    text->setWordWrap(true);
    top->addWidget(icon);
    top->addWidget(text, 1);
    layout->addLayout(top);

    ListViewFiles = new QTreeWidget(this);
    ListViewFiles->setObjectName("ListViewFiles");
    ListViewFiles->setRootIsDecorated(false);
    ListViewFiles->setHeaderLabels({"File"});
    for (const std::string& entry : GlobalVars.AddFailedFiles)
        new QTreeWidgetItem(ListViewFiles, {QFile::decodeName(QByteArray::fromStdString(entry))});
    layout->addWidget(ListViewFiles, 1);

    auto* buttons = new QHBoxLayout;
    auto* more = new QPushButton("More Information...", this);
    auto* close = new QPushButton("Close", this);
    close->setDefault(true);
    buttons->addStretch(1);
    buttons->addWidget(more);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(more, &QPushButton::clicked, this, [] { ShellOpen(GlobalVars.ProductConfig.HelpSupportLink); });
    if (owner) {
        const QRect o = owner->geometry();
        move(o.left() + (o.width() - width()) / 2, o.top() + (o.height() - height()) / 2);
    }
}

} // namespace mw
