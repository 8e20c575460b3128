#pragma once
// Desktop windows on the simulated LAN, pumped by hand so that every test is deterministic.

#include "CChatWindowTestPeer.h"
#include "CSimulatedLan.h"
#include "wire/Datagram.h"

#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace palaverly::test {

struct CDesktopStation {
    std::string computer;
    CSimulatedPort* port = nullptr; // owned by the window's station
    std::unique_ptr<CChatWindow> window;
};

class CDesktopLan {
public:
    CDesktopLan();
    ~CDesktopLan();

    /// A window for computer `computer` with handle `handleUtf8`; `settings` are extra
    /// "name=value" lines of its settings file. Started unless `start` is false.
    CDesktopStation& Add(const std::string& computer, const std::string& handleUtf8,
                         const std::vector<std::string>& settings = {}, bool start = true,
                         std::optional<bool> trayAvailable = true);

    /// Delivers every pending datagram and runs queued calls until nothing moves.
    void Pump();

    /// Commands of every datagram sent on the LAN since the last call ("SEND ", "MEMB "...).
    std::vector<Datagram> TakeSent();
    static std::string Word(const Datagram& d);

    QString SettingsFile(const std::string& computer) const;

    LocalTime now{2026, 12, 8, 9, 5, 7, 0};
    /// The monotonic milliseconds the windows' timers keep their phase by.
    std::int64_t monotonicMs = 0;
    CSimulatedLan lan;
    bool shiftDown = false;
    /// The notification service of the windows added from now on; none by default, so that
    /// no test reaches a session bus it did not set up. Empty: the session bus's.
    std::function<std::unique_ptr<INotificationBus>()> notificationBus =
        []() -> std::unique_ptr<INotificationBus> { return nullptr; };
    /// When set, the windows added after it ask this whether a tray is there (tests then poll
    /// by hand through the window's tray watcher).
    std::function<bool()> trayProbe;
    /// Whether the windows added may place themselves (empty: the platform's answer).
    std::optional<bool> placesWindows;

private:
    QTemporaryDir m_root;
    std::vector<std::unique_ptr<CDesktopStation>> m_stations;
    std::size_t m_sentSeen = 0;
};

} // namespace palaverly::test
