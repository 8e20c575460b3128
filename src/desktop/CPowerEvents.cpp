#include "desktop/CPowerEvents.h"

#include <QDBusConnection>
#include <QFileInfo>

namespace palaverly {

CPowerEvents::CPowerEvents(QObject* parent) : QObject(parent) {}

bool CPowerEvents::Start() {
    // Look for the bus before asking Qt: a connection attempt loads libdbus and starts a thread.
    if (qEnvironmentVariableIsEmpty("DBUS_SYSTEM_BUS_ADDRESS") &&
        !QFileInfo::exists(QStringLiteral("/run/dbus/system_bus_socket")) &&
        !QFileInfo::exists(QStringLiteral("/var/run/dbus/system_bus_socket")))
        return false;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return false;
    return bus.connect(QStringLiteral("org.freedesktop.login1"),
                       QStringLiteral("/org/freedesktop/login1"),
                       QStringLiteral("org.freedesktop.login1.Manager"),
                       QStringLiteral("PrepareForSleep"), this, SLOT(OnPrepareForSleep(bool)));
}

void CPowerEvents::OnPrepareForSleep(bool sleeping) {
    if (sleeping)
        emit Suspending();
    else
        emit Resumed();
}

} // namespace palaverly
