// SIGTERM (log-out, systemctl, kill) and SIGINT become the main window's close request, so the
// settings and placements are saved exactly as with the close button.
//
// Threading contract: the signal handler only writes one byte into a pipe (async-signal-safe);
// the read end is watched by a QSocketNotifier on the GUI thread, which closes the window from
// the event loop. One instance at a time; construct and destroy it on the GUI thread.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

class QSocketNotifier;

namespace mw {

class TSignalCloseRequest : public QObject {
    Q_OBJECT
  public:
    // Installs the handlers at once; a signal before SetWindow waits in the pipe.
    TSignalCloseRequest();
    ~TSignalCloseRequest() override;
    // close: how the window is closed (true when it closed); empty: its close().
    void SetWindow(QWidget* window, std::function<bool()> close = {});

  private:
    void Deliver();

    int FPipe[2] = {-1, -1};
    QSocketNotifier* FNotifier = nullptr;
    QPointer<QWidget> FWindow;
    std::function<bool()> FClose;
    bool FPending = false;
};

} // namespace mw
