#include "desktop/CFirewalldProbe.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QFileInfo>

namespace palaverly {
namespace {

const QString kFirewalld = QStringLiteral("org.fedoraproject.FirewallD1");

} // namespace

CFirewalldProbe::CFirewalldProbe(QObject* parent) : QObject(parent) {}

bool CFirewalldProbe::Start() {
    // As for logind: no connection attempt, and no D-Bus thread, without a bus to connect to.
    if (qEnvironmentVariableIsEmpty("DBUS_SYSTEM_BUS_ADDRESS") &&
        !QFileInfo::exists(QStringLiteral("/run/dbus/system_bus_socket")) &&
        !QFileInfo::exists(QStringLiteral("/var/run/dbus/system_bus_socket")))
        return false;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return false;
    auto* watcher =
        new QDBusServiceWatcher(kFirewalld, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            &CFirewalldProbe::OnOwnerChanged);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    call << kFirewalld;
    auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        QDBusPendingReply<bool> reply = *w;
        w->deleteLater();
        if (!reply.isError())
            m_running = reply.value();
    });
    return true;
}

void CFirewalldProbe::OnOwnerChanged(const QString&, const QString&, const QString& newOwner) {
    m_running = !newOwner.isEmpty();
}

} // namespace palaverly
