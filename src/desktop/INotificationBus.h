#pragma once
// The desktop notification service as the notifier sees it: the real one on the session bus,
// or a fake in tests. Every call returns at once; answers come later on the UI thread.

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>

namespace palaverly {

class INotificationBus {
public:
    struct Handlers {
        std::function<void(quint32 id, const QString& actionKey)> actionInvoked;
        std::function<void(quint32 id)> closed;
    };

    virtual ~INotificationBus() = default;

    /// Where the service's signals go; set once, before the first call.
    virtual void SetHandlers(Handlers handlers) = 0;
    /// The service's capabilities ("body-markup", "actions"...); empty without a service.
    virtual void GetCapabilities(std::function<void(const QStringList&)> done) = 0;
    /// Shows a notification, or replaces notification `replacesId` (0: a new one). `done`
    /// gets the id the service gave it, or 0 when there is no service or it failed.
    virtual void Notify(quint32 replacesId, const QString& summary, const QString& body,
                        std::function<void(quint32 id)> done) = 0;
    /// Takes notification `id` off the screen; no answer.
    virtual void Close(quint32 id) = 0;
};

} // namespace palaverly
