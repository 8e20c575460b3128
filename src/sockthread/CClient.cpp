#include "CClient.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <string_view>
#include <sys/socket.h>

namespace palaverly {

namespace {

unsigned int NewTcpSocket() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd < 0 ? kInvalidSocket : static_cast<unsigned int>(fd);
}

// Names under ".invalid" never exist; they are answered here instead of asking a name server.
bool IsReservedInvalid(std::string_view host) {
    if (!host.empty() && host.back() == '.')
        host.remove_suffix(1);
    constexpr std::string_view kTld = "invalid";
    if (host.size() < kTld.size())
        return false;
    const std::string_view last = host.substr(host.size() - kTld.size());
    if (host.size() > kTld.size() && host[host.size() - kTld.size() - 1] != '.')
        return false;
    for (std::size_t i = 0; i < kTld.size(); ++i) {
        const char c = last[i];
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != kTld[i])
            return false;
    }
    return true;
}

// The first IPv4 address of `host` as dotted text into `out`; leaves `out` empty otherwise.
void ResolveFirstAddress(const char* host, char* out, socklen_t outSize) {
    out[0] = '\0';
    if (host[0] == '\0' || IsReservedInvalid(host))
        return;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr)
        return;
    const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    if (inet_ntop(AF_INET, &address->sin_addr, out, outSize) == nullptr)
        out[0] = '\0';
    freeaddrinfo(found);
}

} // namespace

CClient::CClient(CLog* log, const char* host, int port)
    : CSockThread(log, NewTcpSocket()), m_port(port) {
    m_address[0] = '\0';
    m_hostName[0] = '\0';
    if (host == nullptr)
        return;
    const std::size_t length = std::strlen(host);
    if (length >= sizeof m_hostName) {
        // Cutting the name would name another host; keep it unresolved instead.
        std::memcpy(m_hostName, host, sizeof m_hostName - 1);
        m_hostName[sizeof m_hostName - 1] = '\0';
        return;
    }
    std::memcpy(m_hostName, host, length + 1);
    ResolveFirstAddress(m_hostName, m_address, sizeof m_address);
}

CClient::CClient(const CClient& other) : CSockThread(other), m_port(other.m_port) {
    std::memcpy(m_address, other.m_address, sizeof m_address);
    std::memcpy(m_hostName, other.m_hostName, sizeof m_hostName);
}

CClient& CClient::operator=(const CClient& other) {
    if (this == &other)
        return *this;
    CSockThread::operator=(other);
    std::memcpy(m_address, other.m_address, sizeof m_address);
    std::memcpy(m_hostName, other.m_hostName, sizeof m_hostName);
    m_port = other.m_port;
    return *this;
}

CClient::~CClient() {
    StopBody();
}

int CClient::Connect() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(m_port));
    if (m_address[0] == '\0' || inet_pton(AF_INET, m_address, &address.sin_addr) != 1)
        return -1;
    const unsigned int socket = CurrentSocket();
    if (socket == kInvalidSocket)
        return -1;
    const int fd = static_cast<int>(socket);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return 0;
    if (errno != EINTR)
        return -1;
    // An interrupted connect carries on in the background; wait for its outcome.
    pollfd writable{fd, POLLOUT, 0};
    while (::poll(&writable, 1, -1) < 0) {
        if (errno != EINTR)
            return -1;
    }
    int error = 0;
    socklen_t errorSize = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &errorSize) != 0)
        return -1;
    return error == 0 ? 0 : -1;
}

} // namespace palaverly
