#include "wizard/FailedAddDialog.h"

#include "wizard/Globals.h"
#include "wizard/platform/GuiUtils.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTextLayout>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace mw {

namespace {

QTextOption WrapOption() {
    QTextOption option;
    // Reasons have spaces; a long path has none and breaks anywhere rather than running off.
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

constexpr int TextMargin = 4;

// Rows as high as their text wrapped to the column: every reason is read whole.
class TWrappedTextDelegate : public QStyledItemDelegate {
  public:
    explicit TWrappedTextDelegate(QTreeWidget* view) : QStyledItemDelegate(view), FView(view) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const int width = std::max(40, FView->columnWidth(index.column()) - 2 * TextMargin);
        QTextLayout layout(index.data(Qt::DisplayRole).toString(), option.font);
        layout.setTextOption(WrapOption());
        qreal height = 0;
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, height));
            height += line.height();
        }
        layout.endLayout();
        return {width + 2 * TextMargin, static_cast<int>(std::ceil(height)) + 2 * TextMargin};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem o = option;
        initStyleOption(&o, index);
        const QString text = o.text;
        o.text.clear();
        QWidget* widget = FView;
        widget->style()->drawControl(QStyle::CE_ItemViewItem, &o, painter, widget);
        painter->save();
        painter->setPen(o.palette.color(o.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                                         : QPalette::Text));
        painter->drawText(QRectF(o.rect).adjusted(TextMargin, TextMargin, -TextMargin, -TextMargin), text,
                          WrapOption());
        painter->restore();
    }

  private:
    QTreeWidget* FView;
};

} // namespace

TFormFailedAddFile::TFormFailedAddFile(QWidget* owner) : QDialog(owner) {
    setObjectName("FormFailedAddFile");
    setWindowTitle("Failed to Add Files");
    setSizeGripEnabled(true);
    setMinimumSize(360, 220);
    resize(560, 320);
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
    // Reasons are long ("name: Invalid data found when processing input"): wrapped to the
    // list's width, never cut, and whole in the tooltip as well.
    ListViewFiles->setItemDelegate(new TWrappedTextDelegate(ListViewFiles));
    ListViewFiles->setUniformRowHeights(false);
    ListViewFiles->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListViewFiles->header()->setStretchLastSection(true);
    // A wider or narrower list wraps again.
    connect(ListViewFiles->header(), &QHeaderView::sectionResized, ListViewFiles,
            [this] { ListViewFiles->doItemsLayout(); });
    for (const std::string& entry : GlobalVars.AddFailedFiles) {
        const QString text = QFile::decodeName(QByteArray::fromStdString(entry));
        auto* item = new QTreeWidgetItem(ListViewFiles, {text});
        item->setToolTip(0, text);
    }
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
