#include "wizard/platform/DesktopNotifier.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace mw {

namespace {

const char* const Service = "org.freedesktop.Notifications";
const char* const Path = "/org/freedesktop/Notifications";
// Long enough for a service started on demand, short enough that no answer is kept for long.
constexpr int CallTimeoutMs = 10000;

} // namespace

TDesktopNotifier::TDesktopNotifier(QObject* parent, const QDBusConnection& bus)
    : QObject(parent), FBus(bus) {}

void TDesktopNotifier::Notify(const TRunNotice& notice, TRunKind kind) {
    if (!FBus.isConnected()) {
        if (OnAnswered) OnAnswered(0, "no session bus");
        return;
    }
    QVariantMap hints;
    hints["desktop-entry"] = QString(MW_APP_ID);
    hints["suppress-sound"] = true;
    hints["urgency"] = QVariant::fromValue<uchar>(1); // normal
    if (kind == TRunKind::Download) hints["category"] = QString("transfer.complete");
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Service, "Notify");
    call << QCoreApplication::applicationName() << static_cast<uint>(FLastId) << QString(MW_APP_ID)
         << QString::fromStdString(notice.Summary) << QString::fromStdString(notice.Body) << QStringList()
         << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(FBus.asyncCall(call, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<uint> reply = *w;
        w->deleteLater();
        if (reply.isError()) {
            if (OnAnswered) OnAnswered(0, reply.error().message().toStdString());
            return;
        }
        FLastId = reply.value();
        if (OnAnswered) OnAnswered(FLastId, {});
    });
}

} // namespace mw
