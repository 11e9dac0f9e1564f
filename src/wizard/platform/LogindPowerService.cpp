#include "wizard/platform/LogindPowerService.h"

#include <QApplication>
#include <QDBusInterface>
#include <QDBusReply>

namespace mw {

namespace {
bool CallLogind(const char* method) {
    QDBusInterface logind("org.freedesktop.login1", "/org/freedesktop/login1",
                          "org.freedesktop.login1.Manager", QDBusConnection::systemBus());
    if (!logind.isValid()) return false;
    // false: not interactive; the policy decides without asking for a password.
    const QDBusMessage reply = logind.call(method, false);
    return reply.type() != QDBusMessage::ErrorMessage;
}
} // namespace

void TLogindPowerService::QuitApplication() {
    QApplication::quit();
}
bool TLogindPowerService::PowerOff() {
    return CallLogind("PowerOff");
}
bool TLogindPowerService::Reboot() {
    return CallLogind("Reboot");
}
bool TLogindPowerService::Hibernate() {
    return CallLogind("Hibernate");
}
bool TLogindPowerService::Suspend() {
    return CallLogind("Suspend");
}

} // namespace mw
