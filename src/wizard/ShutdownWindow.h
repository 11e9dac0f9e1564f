// The countdown before the computer is shut down after a run: 30 down to 0, one step a second,
// then the dialog closes with OK; Cancel (or Esc) closes it with Cancel. GUI thread only.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;

namespace mw {

class TFormShutdown : public QDialog {
    Q_OBJECT
  public:
    static constexpr int StartCount = 30;
    // title: the application's title, named in the warning; tickMs: the step (tests shorten it).
    TFormShutdown(QWidget* parent, const QString& title, int tickMs = 1000);
    int Counter() const { return FCounter; }
    // One step of the countdown; below 0 accepts the dialog.
    void Tick();

    QLabel* LabelTimeOut;
    QPushButton* ButtonCancel;
    QTimer* TimerShutdown;

  private:
    int FCounter = StartCount;
};

} // namespace mw
