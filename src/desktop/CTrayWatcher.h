#pragma once
// Follows whether a tray host is there to hold the status icon. An autostart entry often runs
// the program before the panel exists, and a panel may be restarted while the program runs:
// the window's fallback for a missing tray must end when a host appears and begin again when
// it goes. Asking costs little (the platform keeps track of the tray selection's owner), so a
// slow poll serves; the icon itself is embedded by Qt as soon as a host takes the selection.

#include <QObject>
#include <QTimer>
#include <functional>

namespace palaverly {

class CTrayWatcher : public QObject {
    Q_OBJECT
public:
    using Probe = std::function<bool()>;
    static constexpr int kDefaultPollMs = 1000;

    /// `probe` tells whether a tray host is there now; it is asked every `pollMs` once Start()
    /// has run (no polling when `pollMs` is 0).
    explicit CTrayWatcher(Probe probe, int pollMs = kDefaultPollMs, QObject* parent = nullptr);

    /// Asks once at once (no Changed for that answer), then keeps asking.
    bool Start();
    void Stop();
    bool Available() const { return m_available; }
    /// How many times the probe was asked since Start().
    int Polls() const { return m_polls; }

public slots:
    /// Asks the probe; emits Changed when the answer differs from the last one.
    void Poll();

signals:
    void Changed(bool available);

private:
    Probe m_probe;
    QTimer m_timer;
    bool m_available = false;
    int m_polls = 0;
};

} // namespace palaverly
