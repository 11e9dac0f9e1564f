#include "widgets/SlideGrid.h"

#include <QDragEnterEvent>
#include <QPainter>
#include <algorithm>

namespace mw {

TSlideGrid::TSlideGrid(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new TSlideDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragDropMode(QAbstractItemView::InternalMove);
    setDefaultDropAction(Qt::MoveAction);
    setUniformItemSizes(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Slides take the grid's width; long lines are elided instead of scrolled.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setResizeMode(QListView::Adjust);
}

void TSlideGrid::AppendRow(const QImage& picture, const QStringList& texts) {
    auto* item = new QListWidgetItem(this);
    item->setData(Qt::DecorationRole, picture);
    for (int c = 0; c < texts.size(); ++c)
        item->setData(SlideColumnRole + c, texts[c]);
    // A screen reader reads the row's shown lines, the picture cell being only a picture.
    item->setData(Qt::AccessibleTextRole, texts.mid(1, 4).join(", "));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
}

QString TSlideGrid::Cell(int row, int column) const {
    const QListWidgetItem* it = item(row);
    return it ? it->data(SlideColumnRole + column).toString() : QString();
}

int TSlideGrid::SelectedRow() const {
    const QList<QListWidgetItem*> items = selectedItems();
    return items.isEmpty() ? -1 : row(items.first());
}

void TSlideGrid::SelectRow(int r) {
    clearSelection();
    if (r < 0 || r >= count()) return;
    setCurrentRow(r);
    item(r)->setSelected(true);
}

void TSlideGrid::MoveRow(int from, int to) {
    if (from < 0 || from >= count() || to < 0 || to >= count() || from == to) return;
    QListWidgetItem* it = takeItem(from);
    insertItem(to, it);
    SelectRow(to);
    emit RowsMoved();
}

// Files dragged in from a file manager belong to the window, not to the row reordering.
void TSlideGrid::dragEnterEvent(QDragEnterEvent* event) {
    if (event->source() != this) return event->ignore();
    QListWidget::dragEnterEvent(event);
}

void TSlideGrid::dragMoveEvent(QDragMoveEvent* event) {
    if (event->source() != this) return event->ignore();
    QListWidget::dragMoveEvent(event);
}

void TSlideGrid::dropEvent(QDropEvent* event) {
    if (event->source() != this) return event->ignore();
    QListWidget::dropEvent(event);
    emit RowsMoved();
}

QSize TSlideDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return {std::max(1, option.rect.width()), SlideHeight};
}

void TSlideDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    p->save();
    const QRect r = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& pal = option.palette;
    p->fillRect(r, selected ? pal.highlight() : (index.row() % 2 ? pal.alternateBase() : pal.base()));
    p->setPen(pal.mid().color());
    p->drawLine(r.bottomLeft(), r.bottomRight());

    const QRect pictureArea(r.left() + 4, r.top() + 1, SlidePictureWidth, SlidePictureHeight);
    const QImage picture = index.data(Qt::DecorationRole).value<QImage>();
    p->fillRect(pictureArea, QColor(0, 0, 0, 28));
    if (!picture.isNull()) {
        // In window pixels: a picture made for a high-density screen keeps its size and its detail.
        const QSize s =
            picture.deviceIndependentSize().toSize().scaled(pictureArea.size(), Qt::KeepAspectRatio);
        const QRect target(pictureArea.left() + (pictureArea.width() - s.width()) / 2,
                           pictureArea.top() + (pictureArea.height() - s.height()) / 2, s.width(),
                           s.height());
        p->setRenderHint(QPainter::SmoothPixmapTransform);
        p->drawImage(target, picture);
    }

    const QColor text = selected ? pal.highlightedText().color() : pal.text().color();
    const int left = pictureArea.right() + 12;
    const int lineHeight = (SlideHeight - 10) / 4;
    for (int line = 0; line < 4; ++line) {
        QFont f = option.font;
        f.setBold(line == 0);
        p->setFont(f);
        p->setPen(line == 0 ? text : (selected ? text : pal.placeholderText().color()));
        const QRect lineRect(left, r.top() + 5 + line * lineHeight, r.right() - left - 4, lineHeight);
        const QString text = p->fontMetrics().elidedText(index.data(SlideColumnRole + 1 + line).toString(),
                                                         Qt::ElideRight, lineRect.width());
        p->drawText(lineRect, Qt::AlignLeft | Qt::AlignVCenter, text);
    }
    p->restore();
}

} // namespace mw
