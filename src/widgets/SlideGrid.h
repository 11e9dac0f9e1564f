// The file list's grid in slide style: one 90-pixel slide per row with the picture at the left in
// a 128x88 area and four text lines beside it (the first bold). Every column of a row is kept as
// item data (role SlideColumnRole + column), the picture as Qt::DecorationRole. Full-row single
// selection, read-only; rows are reordered by dragging. Drops from outside are left to the window.
#pragma once

#include <QListWidget>
#include <QStyledItemDelegate>

namespace mw {

inline constexpr int SlideColumnRole = Qt::UserRole + 100;
inline constexpr int SlideHeight = 90;
inline constexpr int SlidePictureWidth = 128;
inline constexpr int SlidePictureHeight = 88;

class TSlideGrid : public QListWidget {
    Q_OBJECT
  public:
    explicit TSlideGrid(QWidget* parent = nullptr);
    // Appends a row; texts[n] is column n (the shown lines are columns 1..4).
    void AppendRow(const QImage& picture, const QStringList& texts);
    QString Cell(int row, int column) const;
    int SelectedRow() const;
    void SelectRow(int row);
    void MoveRow(int from, int to);

  signals:
    void RowsMoved();

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

class TSlideDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace mw
