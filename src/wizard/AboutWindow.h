// The About window: title and version, holder line with the current year, web site and support
// links, and the Update tab. Modal, centred over the main window, destroyed when closed.
#pragma once

#include "app/ProductConfig.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTabWidget;

namespace mw {

class TFormAbout : public QDialog {
    Q_OBJECT
  public:
    TFormAbout(QWidget* owner, const TProductConfig& config, int year);
    QLabel *LabalTitle, *LabelVersion, *LabelCopyright, *LabelWeb, *LabelSupport;
    QLabel* ImageLeft; // nullptr in skin 3
    QTabWidget* PageControl;
    QPushButton *ButtonUpdates, *ButtonOK;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    const TProductConfig& FConfig;
};

} // namespace mw
