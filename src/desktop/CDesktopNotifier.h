#pragma once
// Messages and alerts that arrive while the chat window is out of sight, as one desktop
// notification: a burst is folded into the notification already showing, which then counts
// the arrivals and shows the latest text. Clicking it shows the window.

#include "desktop/INotificationBus.h"
#include "hub/IStationEvents.h"

#include <QString>
#include <functional>
#include <memory>

namespace palaverly {

class CDesktopNotifier {
public:
    /// `bus` may be null: then nothing is ever shown. `activate` runs when the user clicks
    /// the notification.
    CDesktopNotifier(std::unique_ptr<INotificationBus> bus, std::function<void()> activate);
    ~CDesktopNotifier();
    CDesktopNotifier(const CDesktopNotifier&) = delete;
    CDesktopNotifier& operator=(const CDesktopNotifier&) = delete;

    /// One arrival: a new notification, or the one showing updated to count it.
    void Arrived(const IncomingMessage& message);
    /// The user is looking at the window: the notification is stale and goes.
    void Dismiss();

    /// Arrivals the notification counts now (0: none showing or on its way).
    int Count() const { return m_count; }
    /// A request to the service has not been answered yet.
    bool Pending() const { return m_inFlight; }

    /// "送信者：個人メッセージ" and the like (the computer name for a sender without a row).
    static QString Summary(const IncomingMessage& message);
    /// The text alone for one arrival; for more, "N件のメッセージ" and the latest text below.
    static QString Body(int count, const QString& latestText);
    /// &, < and > as entities: a service that reads body markup must show the text as sent.
    static QString EscapeMarkup(const QString& text);

private:
    void Send();
    void OnShown(quint32 id);
    void Reset();

    std::unique_ptr<INotificationBus> m_bus;
    std::function<void()> m_activate;
    enum class Markup { Unknown, Plain, Interpreted } m_markup = Markup::Unknown;
    quint32 m_id = 0;         // the notification showing, as the service numbered it
    bool m_inFlight = false;  // a request is on its way; arrivals meanwhile wait for its answer
    bool m_changed = false;   // arrivals since the request on its way was made
    bool m_dismissed = false; // dismissed while a request was on its way
    int m_count = 0;
    QString m_summary;
    QString m_latestText;
    std::shared_ptr<bool> m_alive; // answers after the notifier is gone are dropped
};

} // namespace palaverly
