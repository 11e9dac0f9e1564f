#include "widgets/PictureButton.h"

#include <QKeyEvent>
#include <QPainter>

namespace mw {

TPictureButton::TPictureButton(QWidget* parent) : QAbstractButton(parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

void TPictureButton::SetPictures(std::vector<QPixmap> pictures, std::vector<QPixmap> doubled) {
    FPictures = std::move(pictures);
    // A partial set would paint some states sharp and others blurred: all or nothing.
    FDoubled = doubled.size() == FPictures.size() ? std::move(doubled) : std::vector<QPixmap>();
    if (!FPictures.empty()) resize(FPictures[0].deviceIndependentSize().toSize());
    update();
}

void TPictureButton::SetFocusMark(const QColor& color, qreal radius, Qt::PenStyle style) {
    FFocusColor = color;
    FFocusRadius = radius;
    FFocusStyle = style;
    update();
}

QSize TPictureButton::sizeHint() const {
    return FPictures.empty() ? QSize(90, 30) : FPictures[0].deviceIndependentSize().toSize();
}

const QPixmap* TPictureButton::StatePicture() const {
    if (FPictures.empty()) return nullptr;
    size_t state = 0;
    if (!isEnabled())
        state = 3;
    else if (isDown() || isChecked())
        state = 2;
    else if (FHover)
        state = 1;
    const std::vector<QPixmap>& set = devicePixelRatioF() > 1 && !FDoubled.empty() ? FDoubled : FPictures;
    return &set[std::min(state, set.size() - 1)];
}

void TPictureButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (const QPixmap* picture = StatePicture()) p.drawPixmap(rect(), *picture);
    if (hasFocus()) {
        // Inside the picture, clear of its border, so the chosen state's frame stays readable.
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        QPen pen(FFocusColor.isValid() ? FFocusColor : palette().highlight().color(), 2);
        if (FFocusStyle != Qt::SolidLine) {
            pen.setWidthF(1.5);
            pen.setDashPattern({2.5, 2});
        }
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        const qreal inset = std::min(width(), height()) >= 28 ? 3.5 : 2.5;
        p.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), FFocusRadius, FFocusRadius);
        p.restore();
    }
    if (text().isEmpty()) return;
    QFont f = font();
    f.setUnderline(FPictures.empty() && FHover && isEnabled());
    p.setFont(f);
    QColor color = FTextColor.isValid() ? FTextColor : palette().buttonText().color();
    if (!isEnabled()) {
        if (FDisabledTextColor.isValid())
            color = FDisabledTextColor;
        else
            color.setAlpha(110);
    }
    p.setPen(color);
    const QRect r = rect().translated(isDown() ? QPoint(1, 1) : QPoint());
    p.drawText(r, Qt::AlignCenter | Qt::TextShowMnemonic, text());
}

void TPictureButton::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !isCheckable() && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void TPictureButton::enterEvent(QEnterEvent* event) {
    FHover = true;
    update();
    QAbstractButton::enterEvent(event);
}

void TPictureButton::leaveEvent(QEvent* event) {
    FHover = false;
    update();
    QAbstractButton::leaveEvent(event);
}

} // namespace mw
