#include "desktop/CDBusNotificationBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFileInfo>
#include <QVariantMap>

namespace palaverly {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// A service that does not answer within this time is taken as absent for that call.
constexpr int kCallTimeoutMs = 10000;

QDBusMessage Call(const QString& method) {
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

} // namespace

CDBusNotificationBus::CDBusNotificationBus(QObject* parent) : QObject(parent) {}

void CDBusNotificationBus::SetHandlers(Handlers handlers) {
    m_handlers = std::move(handlers);
}

bool CDBusNotificationBus::Connected() {
    if (m_state != State::Untried)
        return m_state == State::Connected;
    m_state = State::Absent;
    // Without an address libdbus would try to launch a bus of its own: only a bus that is
    // there is used.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") &&
        (runtime.isEmpty() || !QFileInfo::exists(QDir(runtime).filePath(QStringLiteral("bus")))))
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                SLOT(OnActionInvoked(quint32, QString)));
    bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                SLOT(OnNotificationClosed(quint32, quint32)));
    m_state = State::Connected;
    return true;
}

void CDBusNotificationBus::GetCapabilities(std::function<void(const QStringList&)> done) {
    if (!Connected()) {
        done({});
        return;
    }
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(
                                        Call(QStringLiteral("GetCapabilities")), kCallTimeoutMs),
                                    this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [done = std::move(done)](QDBusPendingCallWatcher* w) {
                QDBusPendingReply<QStringList> reply = *w;
                w->deleteLater();
                done(reply.isError() ? QStringList() : reply.value());
            });
}

void CDBusNotificationBus::Notify(quint32 replacesId, const QString& summary, const QString& body,
                                  std::function<void(quint32 id)> done) {
    if (!Connected()) {
        done(0);
        return;
    }
    QDBusMessage call = Call(QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("palaverly"));
    hints.insert(QStringLiteral("category"), QStringLiteral("im.received"));
    // "default" is the click on the notification itself: it shows the chat window.
    const QStringList actions{QStringLiteral("default"), QStringLiteral("表示")};
    call << QStringLiteral("Palaverly") << replacesId << QStringLiteral("palaverly") << summary
         << body << actions << hints << qint32(-1);
    auto* watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [done = std::move(done)](QDBusPendingCallWatcher* w) {
                QDBusPendingReply<quint32> reply = *w;
                w->deleteLater();
                done(reply.isError() ? 0 : reply.value());
            });
}

void CDBusNotificationBus::Close(quint32 id) {
    if (!Connected())
        return;
    QDBusMessage call = Call(QStringLiteral("CloseNotification"));
    call << id;
    QDBusConnection::sessionBus().send(call);
}

void CDBusNotificationBus::OnActionInvoked(quint32 id, const QString& actionKey) {
    if (m_handlers.actionInvoked)
        m_handlers.actionInvoked(id, actionKey);
}

void CDBusNotificationBus::OnNotificationClosed(quint32 id, quint32 /*reason*/) {
    if (m_handlers.closed)
        m_handlers.closed(id);
}

} // namespace palaverly
