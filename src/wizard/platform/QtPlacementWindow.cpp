#include "wizard/platform/QtPlacementWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace mw {

TWindowBounds TQtPlacementWindow::Bounds() const {
    // The restored (normal) geometry, so a maximised window stores where it will come back to.
    const QRect r = FWindow->isMaximized() ? FWindow->normalGeometry() : FWindow->frameGeometry();
    return {r.x(), r.y(), r.width(), r.height()};
}

bool TQtPlacementWindow::IsMaximized() const {
    return FWindow->isMaximized();
}

TScreenSize TQtPlacementWindow::Screen() const {
    const QScreen* s = FWindow->screen() ? FWindow->screen() : QGuiApplication::primaryScreen();
    if (!s) return {FWindow->width(), FWindow->height()};
    const QSize size = s->size();
    return {size.width(), size.height()};
}

void TQtPlacementWindow::MoveTo(int32_t left, int32_t top) {
    FWindow->move(left, top);
}

void TQtPlacementWindow::SetMaximized(bool maximized) {
    if (maximized)
        FWindow->setWindowState(FWindow->windowState() | Qt::WindowMaximized);
    else
        FWindow->setWindowState(FWindow->windowState() & ~Qt::WindowMaximized);
}

} // namespace mw
