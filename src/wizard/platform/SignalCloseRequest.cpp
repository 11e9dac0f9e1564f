#include "wizard/platform/SignalCloseRequest.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace mw {

namespace {

volatile sig_atomic_t WriteEnd = -1;
const int Signals[] = {SIGTERM, SIGINT};

void OnSignal(int) {
    const int saved = errno;
    const char byte = 1;
    if (WriteEnd >= 0) [[maybe_unused]]
        ssize_t n = write(WriteEnd, &byte, 1);
    errno = saved;
}

} // namespace

TSignalCloseRequest::TSignalCloseRequest() {
    if (pipe2(FPipe, O_CLOEXEC | O_NONBLOCK) != 0) return; // no hand-off: signals keep their defaults
    WriteEnd = FPipe[1];
    FNotifier = new QSocketNotifier(FPipe[0], QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, [this] {
        char buf[64];
        while (read(FPipe[0], buf, sizeof buf) > 0) {
        }
        FPending = true;
        Deliver();
    });
    struct sigaction sa = {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : Signals)
        sigaction(s, &sa, nullptr);
}

TSignalCloseRequest::~TSignalCloseRequest() {
    for (int s : Signals)
        signal(s, SIG_DFL);
    WriteEnd = -1;
    for (int fd : FPipe)
        if (fd >= 0) close(fd);
}

void TSignalCloseRequest::SetWindow(QWidget* window, std::function<bool()> close) {
    FWindow = window;
    FClose = std::move(close);
    if (FPending) Deliver();
}

void TSignalCloseRequest::Deliver() {
    if (!FWindow) return;
    FPending = false;
    // The window's close request, without its questions (nobody is there to answer them). The
    // signal may come while a message box of the window's creation runs its own loop: the queued
    // quit then ends the main loop once it starts.
    if (FClose ? FClose() : FWindow->close()) {
        QCoreApplication::quit();
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                  Qt::QueuedConnection);
    }
}

} // namespace mw
