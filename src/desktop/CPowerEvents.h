#pragma once
// Suspend and resume from logind's PrepareForSleep on the system bus. While running, a "delay"
// inhibitor for sleep is held, so that the machine waits for the sign-off ("BYE") to leave
// before it sleeps. Without a system bus there are no events and nothing of D-Bus is loaded.

#include <QObject>

class QDBusError;
class QDBusMessage;

namespace palaverly {

class CPowerEvents : public QObject {
    Q_OBJECT
public:
    explicit CPowerEvents(QObject* parent = nullptr);
    ~CPowerEvents() override;

    /// Connects to the system bus when one is there and asks logind for the sleep inhibitor;
    /// false when there is no bus.
    bool Start();

    /// True while the inhibitor's descriptor is held.
    bool HoldsInhibitor() const { return m_inhibitor >= 0; }

signals:
    void Suspending();
    void Resumed();

public slots:
    /// logind's signal: true before the sleep, false after the wake-up. Before the sleep the
    /// sign-off runs first (Suspending, synchronously), then the inhibitor is let go; after
    /// the wake-up the inhibitor is taken again, then Resumed.
    void OnPrepareForSleep(bool sleeping);

private slots:
    void OnInhibitReply(const QDBusMessage& reply);
    void OnInhibitError(const QDBusError& error);

private:
    void TakeInhibitor();
    void ReleaseInhibitor();

    bool m_connected = false;
    bool m_sleeping = false;
    bool m_asking = false; // an Inhibit call is under way
    int m_inhibitor = -1;
};

} // namespace palaverly
