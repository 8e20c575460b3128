#pragma once
// The freedesktop notification service (org.freedesktop.Notifications) on the session bus,
// through asynchronous calls only: without a bus or a service nothing waits and nothing shows.

#include "desktop/INotificationBus.h"

#include <QObject>

namespace palaverly {

class CDBusNotificationBus : public QObject, public INotificationBus {
    Q_OBJECT
public:
    explicit CDBusNotificationBus(QObject* parent = nullptr);

    void SetHandlers(Handlers handlers) override;
    void GetCapabilities(std::function<void(const QStringList&)> done) override;
    void Notify(quint32 replacesId, const QString& summary, const QString& body,
                std::function<void(quint32 id)> done) override;
    void Close(quint32 id) override;

private slots:
    void OnActionInvoked(quint32 id, const QString& actionKey);
    void OnNotificationClosed(quint32 id, quint32 reason);

private:
    /// Connects to the session bus the first time; false when there is none.
    bool Connected();

    Handlers m_handlers;
    enum class State { Untried, Connected, Absent } m_state = State::Untried;
};

} // namespace palaverly
