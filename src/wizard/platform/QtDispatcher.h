// The main-thread dispatcher of the desktop application: the queue of TQueueDispatcher, woken by
// queued invocations (and single-shot timers for delayed calls) on an object of the GUI thread.
// RunPending runs only the queue, never other events, so a pumping wait cannot re-enter the GUI.
// Construct it on the GUI thread.
#pragma once

#include "app/Dispatcher.h"

#include <QObject>

namespace mw {

class TQtDispatcher : public TQueueDispatcher {
  public:
    TQtDispatcher();

  protected:
    void Queued(std::chrono::milliseconds delay) override;

  private:
    QObject FReceiver; // created on, and bound to, the GUI thread; its pending wake-ups die with it
};

} // namespace mw
