#include "wizard/QtDispatcher.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <exception>

namespace mw {

TQtDispatcher::TQtDispatcher() = default;

void TQtDispatcher::Post(std::function<void()> call) {
    QMetaObject::invokeMethod(&FReceiver, std::move(call), Qt::QueuedConnection);
}

void TQtDispatcher::CallAndWait(std::function<void()> call) {
    if (IsMainThread()) {
        call();
        return;
    }
    std::exception_ptr error;
    QMetaObject::invokeMethod(
        &FReceiver,
        [&] {
            try {
                call();
            } catch (...) {
                error = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (error) std::rethrow_exception(error);
}

bool TQtDispatcher::IsMainThread() const {
    return QThread::currentThread() == FReceiver.thread();
}

void TQtDispatcher::RunPending() {
    QCoreApplication::processEvents();
}

} // namespace mw
