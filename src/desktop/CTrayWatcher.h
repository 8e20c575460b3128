#pragma once
// Follows whether a tray host is there to hold the status icon. An autostart entry often runs
// the program before the panel exists, and a panel may be restarted while the program runs:
// the window's fallback for a missing tray must end when a host appears and begin again when
// it goes. The watcher asks again only when a host may have come or gone: on X when the owner
// of the screen's tray selection changes, on the session bus when the StatusNotifier watcher
// comes or goes. A program hidden in the tray thus never wakes up for it. The icon itself is
// embedded by Qt as soon as a host takes the selection.

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>

class QDBusServiceWatcher;

namespace palaverly {

class CTrayWatcher : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    using Probe = std::function<bool()>;

    /// `probe` tells whether a tray host is there now. With `followPlatform` the watcher asks
    /// it again whenever the platform reports a change of tray host; without, only Poll() does.
    explicit CTrayWatcher(Probe probe, bool followPlatform = true, QObject* parent = nullptr);
    ~CTrayWatcher() override;

    /// Asks once at once (no Changed for that answer), then follows the platform.
    bool Start();
    void Stop();
    bool Available() const { return m_available; }
    /// How many times the probe was asked since Start().
    int Polls() const { return m_polls; }
    /// Whether the X server reports the tray selection's owner changes to the watcher.
    bool FollowsX() const { return m_trayAtom != 0; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

public slots:
    /// Asks the probe; emits Changed when the answer differs from the last one.
    void Poll();

signals:
    void Changed(bool available);

private:
    void FollowX();
    void FollowSessionBus();
    /// A change was reported: asked once the events that came with it are handled.
    void PollSoon();
    /// Asks; while the answer differs from what the X server last said, asks again shortly.
    /// The probe answers from Qt's own tracking of the tray, which may learn of a host's end
    /// only from events after the one that told us.
    void Settle();

    Probe m_probe;
    bool m_followPlatform;
    bool m_available = false;
    bool m_pollQueued = false;
    int m_polls = 0;
    std::optional<bool> m_serverSays; // whether the selection has an owner, until settled
    int m_retriesLeft = 0;
    QTimer m_retry;
    std::uint32_t m_trayAtom = 0;
    std::uint8_t m_selectionNotify = 0;
    QDBusServiceWatcher* m_busWatcher = nullptr;
};

} // namespace palaverly
