#pragma once
// An in-process LAN for tests: every datagram a station sends reaches every attached port,
// the sender's own included, in send order. Optional seeded faults (drop, duplicate, reorder).

#include "wire/CDatagramPort.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace palaverly {

/// Fault probabilities, drawn per datagram and per receiving port from a generator seeded
/// with `seed`, so that a run repeats exactly.
struct LanFaults {
    double drop = 0.0;      // the port never gets the datagram
    double duplicate = 0.0; // the port gets it twice in a row
    double reorder = 0.0;   // the port gets it after the next datagram that reaches it
    std::uint32_t seed = 1;
};

class CSimulatedLan;

/// One station's attachment to a CSimulatedLan. Thread-safe; the destructor detaches it.
class CSimulatedPort : public CDatagramPort {
public:
    ~CSimulatedPort() override;
    CSimulatedPort(const CSimulatedPort&) = delete;
    CSimulatedPort& operator=(const CSimulatedPort&) = delete;

    /// Delivers `length` bytes to every attached port. 0, or EINVAL for a negative length or
    /// a null buffer.
    int Send(const char* buffer, short length) override;
    /// Blocks for the next datagram; EMSGSIZE (datagram dropped) when its length is not
    /// `length`, ECANCELED once interrupted.
    int Receive(char* buffer, short length) override;
    /// Blocks for the first datagram, then takes up to `max` of those queued in one go.
    int ReceiveBatch(char* buffers, short length, int max, int& received) override;
    void Interrupt() override;

    /// What SetOffline and GainRoute of the LAN make them say.
    bool LastSendReachedNetwork() const override;
    RouteChange TakeRouteChange() override;
    /// Like Receive, but gives EAGAIN at once when nothing is queued.
    int TryReceive(char* buffer, short length);
    /// Datagrams queued for this port (held-back reordered ones not counted).
    std::size_t Pending() const;

private:
    friend class CSimulatedLan;
    struct State;
    struct Queue;
    CSimulatedPort(std::shared_ptr<State> state, std::shared_ptr<Queue> queue);
    int TakeLocked(std::deque<std::string>& queue, char* buffer, short length);

    std::shared_ptr<State> m_state;
    std::shared_ptr<Queue> m_queue;
};

class CSimulatedLan {
public:
    CSimulatedLan();
    ~CSimulatedLan();
    CSimulatedLan(const CSimulatedLan&) = delete;
    CSimulatedLan& operator=(const CSimulatedLan&) = delete;

    /// A new port that hears every datagram sent from now on. It may outlive the LAN.
    std::unique_ptr<CSimulatedPort> Attach();

    /// Replaces the fault settings and reseeds the generator.
    void SetFaults(const LanFaults& faults);

    /// Offline, every port says that its sends reach no network (they are delivered anyway).
    void SetOffline(bool offline);
    /// Every port's next TakeRouteChange reports a new route.
    void GainRoute();

    /// Delivers every datagram held back for reordering (after the last one sent).
    void Flush();

    /// Every datagram sent on this LAN so far, in send order, whatever the faults did to it.
    std::vector<std::string> Sent() const;

    std::size_t PortCount() const;

private:
    std::shared_ptr<CSimulatedPort::State> m_state;
};

} // namespace palaverly
