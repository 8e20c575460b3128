#include "wire/CBroadcastPort.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>
#include <utility>

namespace palaverly {
namespace {

// Without a wake-up descriptor a blocked Receive re-checks the interrupt flag this often.
constexpr int kFallbackPollMs = 100;

// Datagrams taken by one recvmmsg at most: 16 KB of buffers, a few hundred microseconds of
// dispatch, small enough that the hand-over sees a steady stream rather than lumps.
constexpr int kMaxBatch = 64;

sockaddr_in Ipv4Address(std::uint32_t address, std::uint16_t port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_addr.s_addr = htonl(address);
    result.sin_port = htons(port);
    return result;
}

void CloseIfOpen(int& fd) {
    if (fd >= 0)
        close(fd);
    fd = -1;
}

} // namespace

std::uint16_t ChatPort(const char* commandLine) {
    long offset = 0;
    if (commandLine != nullptr) {
        // atol semantics, but saturating instead of undefined on overflow.
        offset = std::strtol(commandLine, nullptr, 10);
    }
    return static_cast<std::uint16_t>(8000UL + static_cast<unsigned long>(offset));
}

CBroadcastPort::CBroadcastPort(std::uint16_t port, ErrorSink errors, std::uint32_t destination)
    : m_port(port) {
    auto report = [&errors](const char* text) {
        if (errors)
            errors("msg", text);
    };
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);

    m_receiveSocket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_receiveSocket < 0) {
        report("create ssocket  error");
        return;
    }
    // No SO_REUSEADDR: a second station on the same port must see "bind error", as peers do.
    m_receiveAddress = Ipv4Address(INADDR_ANY, m_port);
    if (bind(m_receiveSocket, reinterpret_cast<const sockaddr*>(&m_receiveAddress),
             sizeof m_receiveAddress) != 0) {
        // An unbound socket could never receive; without it Receive fails at once.
        CloseIfOpen(m_receiveSocket);
        report("bind error");
        return;
    }
    // A burst from many stations waits in the kernel while the UI thread dispatches; the
    // default buffer holds only a few hundred datagrams. The kernel caps it at rmem_max.
    const int receiveBuffer = 2 * 1024 * 1024;
    setsockopt(m_receiveSocket, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);

    m_sendSocket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_sendSocket < 0) {
        report("create socket send error");
        return;
    }
    const int enable = 1;
    setsockopt(m_sendSocket, SOL_SOCKET, SO_BROADCAST, &enable, sizeof enable);
    m_sendAddress = Ipv4Address(INADDR_ANY, 0);
    if (bind(m_sendSocket, reinterpret_cast<const sockaddr*>(&m_sendAddress),
             sizeof m_sendAddress) != 0)
        return;

    m_broadcastDestination = Ipv4Address(destination, m_port);
    m_destinationReady = true;
    if (destination == INADDR_BROADCAST)
        m_interfaceWatch = std::make_unique<CInterfaceWatch>();
}

CBroadcastPort::~CBroadcastPort() {
    // Wake a blocked Receive first so that the receive lock becomes free.
    Interrupt();
    {
        std::lock_guard lock(m_receiveLock);
        CloseIfOpen(m_receiveSocket);
    }
    {
        std::lock_guard lock(m_sendLock);
        CloseIfOpen(m_sendSocket);
    }
    CloseIfOpen(m_wakeFd);
}

int CBroadcastPort::Send(const char* buffer, short length) {
    if (buffer == nullptr || length < 0)
        return EINVAL;
    std::lock_guard lock(m_sendLock);
    if (m_sendSocket < 0)
        return EBADF;
    if (!m_destinationReady)
        return EDESTADDRREQ;
    RefreshRoutes();
    int result = 0;
    bool reached = false;
    for (const BroadcastRoute& route : m_routes) {
        const int sent = SendTo(buffer, static_cast<std::size_t>(length), route);
        if (result == 0)
            result = sent;
        // The plain limited broadcast without an interface reaches no LAN (a VPN's default
        // route, or none at all); the extra destinations lie beyond the LAN.
        if (sent == 0 && (route.interfaceIndex != 0 || !m_interfaceWatch))
            reached = true;
    }
    m_lastSendReachedNetwork.store(reached);
    return result;
}

int CBroadcastPort::InterfaceChangeDescriptor() const {
    return m_interfaceWatch ? m_interfaceWatch->Descriptor() : -1;
}

CDatagramPort::RouteChange CBroadcastPort::TakeRouteChange() {
    std::lock_guard lock(m_sendLock);
    if (m_destinationReady)
        RefreshRoutes();
    return std::exchange(m_routeChange, RouteChange{});
}

void CBroadcastPort::SetExtraDestinations(std::vector<std::uint32_t> extras) {
    std::lock_guard lock(m_sendLock);
    m_extras = std::move(extras);
    m_routesStale = true;
}

std::vector<BroadcastRoute> CBroadcastPort::Routes() {
    std::lock_guard lock(m_sendLock);
    if (!m_destinationReady)
        return {};
    RefreshRoutes();
    return m_routes;
}

void CBroadcastPort::RefreshRoutes() {
    const bool changed = m_interfaceWatch && m_interfaceWatch->TakeChange();
    if (!changed && !m_routesStale)
        return;
    m_routesStale = false;
    if (m_interfaceWatch) {
        std::vector<BroadcastRoute> routes =
            ChooseBroadcastRoutes(LocalInterfaceAddresses(), m_extras);
        // Only the interfaces' broadcasts count: the extra destinations are the user's.
        auto onInterface = [](const BroadcastRoute& r) { return r.interfaceIndex != 0; };
        auto contains = [](const std::vector<BroadcastRoute>& list, const BroadcastRoute& r) {
            return std::find(list.begin(), list.end(), r) != list.end();
        };
        if (m_routesRead) {
            for (const BroadcastRoute& route : routes)
                if (onInterface(route) && !contains(m_routes, route))
                    m_routeChange.gained = m_routeChange.changed = true;
            for (const BroadcastRoute& route : m_routes)
                if (onInterface(route) && !contains(routes, route))
                    m_routeChange.changed = true;
        }
        m_routesRead = true;
        m_routes = std::move(routes);
        return;
    }
    // Another destination than the limited broadcast (tests): it alone, then the extras.
    const std::uint32_t destination = ntohl(m_broadcastDestination.sin_addr.s_addr);
    m_routes = {BroadcastRoute{destination, 0, 0}};
    for (const std::uint32_t extra : m_extras) {
        const BroadcastRoute route{extra, 0, 0};
        if (std::find(m_routes.begin(), m_routes.end(), route) == m_routes.end())
            m_routes.push_back(route);
    }
}

int CBroadcastPort::SendTo(const char* buffer, std::size_t length, const BroadcastRoute& route) {
    sockaddr_in to = Ipv4Address(route.destination, m_port);
    iovec data{const_cast<char*>(buffer), length};
    msghdr message{};
    message.msg_name = &to;
    message.msg_namelen = sizeof to;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    // IP_PKTINFO picks the interface (and source) of this one send, as SO_BINDTODEVICE would
    // for the whole socket, without needing a socket per interface or any privilege.
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    if (route.interfaceIndex != 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = IPPROTO_IP;
        header->cmsg_type = IP_PKTINFO;
        header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_ifindex = static_cast<int>(route.interfaceIndex);
        info.ipi_spec_dst.s_addr = htonl(route.source);
        std::memcpy(CMSG_DATA(header), &info, sizeof info);
    }
    for (;;) {
        if (sendmsg(m_sendSocket, &message, 0) >= 0)
            return 0;
        if (errno != EINTR)
            return errno;
    }
}

int CBroadcastPort::Receive(char* buffer, short length) {
    if (buffer == nullptr || length <= 0)
        return EINVAL;
    if (m_interrupted.load())
        return ECANCELED;
    std::lock_guard lock(m_receiveLock);
    const std::size_t wanted = static_cast<std::size_t>(length);
    for (;;) {
        if (m_interrupted.load())
            return ECANCELED;
        // Without a bound socket nothing can arrive: wait for Interrupt rather than failing at
        // once, which would make a receive loop spin.
        pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {m_receiveSocket, POLLIN, 0}};
        const nfds_t count = m_receiveSocket >= 0 ? 2 : 1;
        const int ready = poll(fds, count, m_wakeFd >= 0 ? -1 : kFallbackPollMs);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (m_interrupted.load() || fds[0].revents != 0)
            return ECANCELED;
        if (count < 2 || fds[1].revents == 0)
            continue;
        // MSG_TRUNC makes recv report the datagram's real length, so a longer one is noticed.
        const ssize_t received = recv(m_receiveSocket, buffer, wanted, MSG_TRUNC | MSG_DONTWAIT);
        if (received < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                continue;
            return errno;
        }
        if (static_cast<std::size_t>(received) != wanted) {
            std::memset(buffer, 0, wanted);
            return EMSGSIZE;
        }
        return 0;
    }
}

int CBroadcastPort::ReceiveBatch(char* buffers, short length, int max, int& received) {
    received = 0;
    if (buffers == nullptr || length <= 0 || max <= 0)
        return EINVAL;
    if (m_interrupted.load())
        return ECANCELED;
    std::lock_guard lock(m_receiveLock);
    const std::size_t wanted = static_cast<std::size_t>(length);
    const unsigned slots = static_cast<unsigned>(std::min(max, kMaxBatch));
    std::array<mmsghdr, kMaxBatch> messages{};
    std::array<iovec, kMaxBatch> vectors{};
    for (;;) {
        if (m_interrupted.load())
            return ECANCELED;
        if (m_receiveSocket >= 0) {
            for (unsigned i = 0; i < slots; ++i) {
                vectors[i] = {buffers + i * wanted, wanted};
                messages[i] = {};
                messages[i].msg_hdr.msg_iov = &vectors[i];
                messages[i].msg_hdr.msg_iovlen = 1;
            }
            // Only what is queued now: the wait below is the one place that blocks.
            const int got =
                recvmmsg(m_receiveSocket, messages.data(), slots, MSG_DONTWAIT, nullptr);
            if (got > 0) {
                // Keep the datagrams of the right length, packed in arrival order.
                int kept = 0;
                bool dropped = false;
                for (int i = 0; i < got; ++i) {
                    if (messages[i].msg_len != wanted ||
                        (messages[i].msg_hdr.msg_flags & MSG_TRUNC)) {
                        dropped = true;
                        continue;
                    }
                    if (kept != i)
                        std::memmove(buffers + kept * wanted, buffers + i * wanted, wanted);
                    ++kept;
                }
                received = kept;
                if (kept == 0 && dropped)
                    return EMSGSIZE;
                return 0;
            }
            if (got < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)
                return errno;
        }
        pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {m_receiveSocket, POLLIN, 0}};
        const nfds_t count = m_receiveSocket >= 0 ? 2 : 1;
        const int ready = poll(fds, count, m_wakeFd >= 0 ? -1 : kFallbackPollMs);
        if (ready < 0 && errno != EINTR)
            return errno;
        if (m_interrupted.load() || (ready > 0 && fds[0].revents != 0))
            return ECANCELED;
    }
}

void CBroadcastPort::Interrupt() {
    m_interrupted.store(true);
    if (m_wakeFd >= 0) {
        // The counter is never read back, so the descriptor stays readable for every later poll.
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(m_wakeFd, &one, sizeof one);
    }
}

} // namespace palaverly
