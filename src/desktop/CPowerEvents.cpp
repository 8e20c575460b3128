#include "desktop/CPowerEvents.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QFileInfo>
#include <fcntl.h>
#include <unistd.h>

namespace palaverly {
namespace {

const QString kLogin1 = QStringLiteral("org.freedesktop.login1");
const QString kLogin1Path = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");

} // namespace

CPowerEvents::CPowerEvents(QObject* parent) : QObject(parent) {}

CPowerEvents::~CPowerEvents() {
    ReleaseInhibitor();
}

bool CPowerEvents::Start() {
    // Look for the bus before asking Qt: a connection attempt loads libdbus and starts a thread.
    if (qEnvironmentVariableIsEmpty("DBUS_SYSTEM_BUS_ADDRESS") &&
        !QFileInfo::exists(QStringLiteral("/run/dbus/system_bus_socket")) &&
        !QFileInfo::exists(QStringLiteral("/var/run/dbus/system_bus_socket")))
        return false;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return false;
    m_connected = bus.connect(kLogin1, kLogin1Path, kManager, QStringLiteral("PrepareForSleep"),
                              this, SLOT(OnPrepareForSleep(bool)));
    if (m_connected)
        TakeInhibitor();
    return m_connected;
}

void CPowerEvents::OnPrepareForSleep(bool sleeping) {
    m_sleeping = sleeping;
    if (sleeping) {
        emit Suspending();
        // Only now may the machine sleep: the BYE has been handed to the network.
        ReleaseInhibitor();
    } else {
        TakeInhibitor();
        emit Resumed();
    }
}

void CPowerEvents::TakeInhibitor() {
    if (!m_connected || m_asking || m_inhibitor >= 0)
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kLogin1, kLogin1Path, kManager, QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Palaverly")
         << QStringLiteral("Sign off before sleep") << QStringLiteral("delay");
    // Asynchronous: a slow or missing logind must not hold up the window.
    m_asking = QDBusConnection::systemBus().callWithCallback(
        call, this, SLOT(OnInhibitReply(QDBusMessage)), SLOT(OnInhibitError(QDBusError)));
}

void CPowerEvents::OnInhibitReply(const QDBusMessage& reply) {
    m_asking = false;
    const QList<QVariant> arguments = reply.arguments();
    if (arguments.isEmpty())
        return;
    const auto descriptor = arguments.first().value<QDBusUnixFileDescriptor>();
    if (!descriptor.isValid())
        return;
    // The message's own copy closes with it; ours is the one that holds the inhibitor.
    const int fd = ::fcntl(descriptor.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return;
    if (m_sleeping || m_inhibitor >= 0) {
        // The sleep began while we were asking (or a second reply came): nothing to delay.
        ::close(fd);
        return;
    }
    m_inhibitor = fd;
}

void CPowerEvents::OnInhibitError(const QDBusError&) {
    // Without the inhibitor the BYE may not get out before the sleep; nothing else changes.
    m_asking = false;
}

void CPowerEvents::ReleaseInhibitor() {
    if (m_inhibitor < 0)
        return;
    ::close(m_inhibitor);
    m_inhibitor = -1;
}

} // namespace palaverly
