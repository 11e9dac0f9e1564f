#include "widgets/PictureButton.h"

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
    if (hasFocus() && FPictures.empty()) p.drawRect(rect().adjusted(0, 0, -1, -1));
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
