#include "wizard/platform/QtDispatcher.h"

#include <QMetaObject>
#include <QTimer>

namespace mw {

TQtDispatcher::TQtDispatcher() = default;

void TQtDispatcher::Queued(std::chrono::milliseconds delay) {
    // The timer is started on the GUI thread, where the receiver lives.
    QMetaObject::invokeMethod(
        &FReceiver,
        [this, delay] {
            if (delay.count() == 0)
                RunPending();
            else
                QTimer::singleShot(delay, &FReceiver, [this] { RunPending(); });
        },
        Qt::QueuedConnection);
}

} // namespace mw
