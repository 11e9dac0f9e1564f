// A button drawn from its state pictures: normal, hover, pressed and (optionally) disabled. It
// takes the size of its pictures; a caption, when set, is drawn centred on top. A checked button
// keeps its pressed picture (the format and class buttons). Without pictures only the caption is
// drawn, underlined while the mouse is over it (the transparent bottom buttons of one skin). On a
// high-density screen the pictures at twice the size are painted when there are any.
// Keyboard focus shows as a ring inside the pictures; Enter or Return presses a focused button
// that is not checkable (checkable ones leave Enter to the window and take Space).
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>
#include <vector>

namespace mw {

class TPictureButton : public QAbstractButton {
    Q_OBJECT
  public:
    explicit TPictureButton(QWidget* parent = nullptr);
    // doubled: the same states at twice the size, or none.
    void SetPictures(std::vector<QPixmap> pictures, std::vector<QPixmap> doubled = {});
    // disabled: the caption's colour while disabled (default: the normal one, faded).
    void SetTextColor(const QColor& color, const QColor& disabled = QColor()) {
        FTextColor = color;
        FDisabledTextColor = disabled;
        update();
    }
    // The focus ring: colour, corner radius, line style.
    void SetFocusMark(const QColor& color, qreal radius, Qt::PenStyle style = Qt::SolidLine);
    QColor FocusMarkColor() const { return FFocusColor; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    const QPixmap* StatePicture() const;
    std::vector<QPixmap> FPictures, FDoubled;
    QColor FTextColor, FDisabledTextColor;
    QColor FFocusColor;
    qreal FFocusRadius = 4;
    Qt::PenStyle FFocusStyle = Qt::SolidLine;
    bool FHover = false;
};

} // namespace mw
