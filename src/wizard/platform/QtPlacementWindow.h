// Adapts a top-level QWidget to the placement rules of the settings store.
#pragma once

#include "app/WindowPlacement.h"

class QWidget;

namespace mw {

class TQtPlacementWindow : public IPlacementWindow {
  public:
    explicit TQtPlacementWindow(QWidget* window) : FWindow(window) {}
    TWindowBounds Bounds() const override;
    bool IsMaximized() const override;
    TScreenSize Screen() const override;
    void MoveTo(int32_t left, int32_t top) override;
    void SetMaximized(bool maximized) override;

  private:
    QWidget* FWindow;
};

} // namespace mw
