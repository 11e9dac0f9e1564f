// The main-thread dispatcher of the desktop application: queued and blocking-queued invocations
// on an object that lives in the GUI thread.
#pragma once

#include "app/Dispatcher.h"

#include <QObject>

namespace mw {

class TQtDispatcher : public IMainThreadDispatcher {
  public:
    TQtDispatcher();
    void Post(std::function<void()> call) override;
    void CallAndWait(std::function<void()> call) override;
    bool IsMainThread() const override;
    void RunPending() override;

  private:
    QObject FReceiver; // created on, and bound to, the GUI thread
};

} // namespace mw
