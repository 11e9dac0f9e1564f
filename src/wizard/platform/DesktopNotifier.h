// Desktop notifications over the session bus (org.freedesktop.Notifications, Notify). A call is
// sent without waiting for the answer: a missing or slow notification service never holds up the
// window, and nothing is retried. The notification carries the application icon (a theme name)
// and asks for no sound: the finish sound is the program's own. GUI thread only.
#pragma once

#include "wizard/RunNotice.h"

#include <QDBusConnection>
#include <QObject>
#include <cstdint>
#include <functional>
#include <string>

namespace mw {

class TDesktopNotifier : public QObject {
    Q_OBJECT
  public:
    explicit TDesktopNotifier(QObject* parent = nullptr,
                              const QDBusConnection& bus = QDBusConnection::sessionBus());

    void Notify(const TRunNotice& notice, TRunKind kind);

    // The service's answer to each call: its notification id, or the error text (id 0).
    std::function<void(uint32_t id, const std::string& error)> OnAnswered;

  private:
    QDBusConnection FBus;
    // The last notification is replaced by the next one, so runs do not pile up on the screen.
    uint32_t FLastId = 0;
};

} // namespace mw
