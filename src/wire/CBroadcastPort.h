#pragma once
// UDP broadcast transport: one socket bound to INADDR_ANY:port for receiving, one socket
// with SO_BROADCAST bound to port 0 for sending to the broadcast destination on the same port.
// The limited broadcast goes out once on every broadcast domain the machine is attached to.

#include "sys/CInterfaceWatch.h"
#include "wire/BroadcastRoutes.h"
#include "wire/CDatagramPort.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <string>
#include <vector>

namespace palaverly {

/// Receives set-up failures: caption and text, as the desktop program shows them in a box.
using ErrorSink = std::function<void(const std::string& caption, const std::string& text)>;

/// The chat port: 8000 plus atol of the command-line text after the program name (null or
/// non-numeric gives 8000), low 16 bits only, as htons would keep.
std::uint16_t ChatPort(const char* commandLine);

class CBroadcastPort : public CDatagramPort {
public:
    /// Sets the port up in order; a failing step reports through `errors` (caption "msg") and
    /// ends the set-up, the object being usable (and failing) all the same.
    /// `destination` (host byte order) is INADDR_BROADCAST except in tests.
    CBroadcastPort(std::uint16_t port, ErrorSink errors,
                   std::uint32_t destination = INADDR_BROADCAST);
    ~CBroadcastPort() override;
    CBroadcastPort(const CBroadcastPort&) = delete;
    CBroadcastPort& operator=(const CBroadcastPort&) = delete;

    /// Sends `length` bytes under the send lock to every route: with the INADDR_BROADCAST
    /// destination, one limited broadcast per broadcast domain of the machine's interfaces
    /// (ChooseBroadcastRoutes, the list read again after the interfaces change), else the
    /// destination itself; then every extra destination. 0 when every send succeeded, else
    /// the errno of the first that failed (EBADF without a send socket, EDESTADDRREQ when the
    /// set-up stopped before the destination).
    int Send(const char* buffer, short length) override;

    /// Destinations (host byte order) that every later Send also reaches, beyond the
    /// broadcast; those a broadcast already reaches are left out.
    void SetExtraDestinations(std::vector<std::uint32_t> extras);

    /// The sends one Datagram takes now (reads the interfaces when they have changed).
    std::vector<BroadcastRoute> Routes();
    /// Waits under the receive lock for one datagram of exactly `length` bytes; a datagram of any
    /// other length is dropped with EMSGSIZE and leaves `buffer` zero-filled. A port that could
    /// not bind its receive socket receives nothing and returns only at Interrupt (ECANCELED).
    int Receive(char* buffer, short length) override;
    /// Takes every datagram queued on the receive socket, up to `max`, with one system call
    /// (recvmmsg); waits (poll on the socket and the wake-up descriptor) only while none is
    /// queued. Same length rule and results as Receive.
    int ReceiveBatch(char* buffers, short length, int max, int& received) override;
    /// Wakes a blocked Receive; from then on Receive returns ECANCELED at once.
    void Interrupt() override;

    /// The chat port this object was set up for.
    std::uint16_t Port() const { return m_port; }

    /// True when the receive socket was created and bound; without it Receive only waits for
    /// Interrupt, as nothing can ever arrive.
    bool CanReceive() const override { return m_receiveSocket >= 0; }

    /// With the limited broadcast: true when the last Send left through an interface's
    /// broadcast route; else when any of its sends succeeded.
    bool LastSendReachedNetwork() const override { return m_lastSendReachedNetwork.load(); }
    /// The interface watch's netlink socket (limited broadcast only).
    int InterfaceChangeDescriptor() const override;
    RouteChange TakeRouteChange() override;

private:
    void RefreshRoutes(); // under the send lock; notes a change of the interface routes
    int SendTo(const char* buffer, std::size_t length, const BroadcastRoute& route);

    std::mutex m_sendLock;
    std::mutex m_receiveLock;
    std::uint16_t m_port;
    sockaddr_in m_receiveAddress{};
    sockaddr_in m_broadcastDestination{};
    sockaddr_in m_sendAddress{};
    bool m_destinationReady = false;
    std::vector<std::uint32_t> m_extras;
    std::vector<BroadcastRoute> m_routes;
    bool m_routesStale = true;
    bool m_routesRead = false;   // the first reading is the start, not a change
    RouteChange m_routeChange{}; // since the last TakeRouteChange
    std::atomic<bool> m_lastSendReachedNetwork{false};
    std::unique_ptr<CInterfaceWatch> m_interfaceWatch; // only for the limited broadcast
    int m_sendSocket = -1;
    int m_receiveSocket = -1;
    int m_wakeFd = -1; // eventfd that wakes a blocked Receive
    std::atomic<bool> m_interrupted{false};
};

} // namespace palaverly
