// TFormYouTubeHQ: the quality preference dialog over TYouTubeHQModel. Default and Best Available
// change the order at once; OK stores the list order. GUI thread only.
#pragma once

#include "download/Quality.h"

#include <QDialog>
#include <memory>

class QTreeWidget;

namespace mw {

class TFormYouTubeHQ : public QDialog {
    Q_OBJECT
  public:
    TFormYouTubeHQ(QWidget* owner, TQualityOrder& order);
    QTreeWidget* ListViewYouTubeHQ;

  private:
    void Refill();
    void Run(void (TYouTubeHQModel::*command)());
    TYouTubeHQModel FModel;
};

// Shows the dialog centred over the owner; true after OK.
bool EditPreference(QWidget* owner, TQualityOrder& order);

} // namespace mw
