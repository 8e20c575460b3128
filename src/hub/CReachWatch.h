#pragma once
// Whether the LAN reaches this station, and when it must be told of the station again: a roll
// call whose own INFO never comes back means that incoming datagrams are dropped (every
// station hears its own broadcasts through the same input path as the others'), and a new
// broadcast route means a network whose stations have not heard this one. Times come from an
// injected monotonic clock; the hub runs what falls due on its UI thread.

#include "sys/CTimerPhase.h"

#include <cstdint>
#include <optional>

namespace palaverly {

class CReachWatch {
public:
    /// A station's own INFO comes back within milliseconds; a loaded machine gets plenty more.
    static constexpr std::int64_t kEchoWaitMs = 3000;
    /// An interface coming up brings a burst of link, address and route events.
    static constexpr std::int64_t kSettleMs = 1000;
    /// Roll calls for network changes at most this often: a flapping Wi-Fi must not flood.
    static constexpr std::int64_t kRollCallSpacingMs = 10000;

    explicit CReachWatch(MonotonicClock now) : m_now(std::move(now)) {}

    /// A roll call went out on a network while the port can receive: its own INFO is due back
    /// within kEchoWaitMs. Nothing once the deaf notice has been given.
    void RollCallSent();
    /// The station's own INFO came back.
    void OwnInfoHeard() { m_echoDue.reset(); }
    /// The broadcast routes changed (`gained`: a route was added): the identity is read again
    /// once the events have settled, and for a gain a roll call follows.
    void RoutesChanged(bool gained);

    struct Due {
        bool deafNotice = false; ///< once per run
        bool identity = false;   ///< read the station's address again
        bool rollCall = false;   ///< for a new network
    };
    /// What has fallen due by now; each due thing is reported once.
    Due TakeDue();
    /// Milliseconds until the next thing falls due (0: already), or -1 when nothing waits.
    std::int64_t UntilNext() const;

private:
    MonotonicClock m_now;
    std::optional<std::int64_t> m_echoDue;
    bool m_deafNoticeGiven = false;
    std::optional<std::int64_t> m_identityDue;
    std::optional<std::int64_t> m_rollCallDue;
    std::optional<std::int64_t> m_lastNetworkRollCall;
};

} // namespace palaverly
