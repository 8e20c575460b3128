#include "CClient.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <vector>

namespace {

unsigned int NewTcpSocket() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd < 0 ? CSockThread::kInvalidSocket : static_cast<unsigned int>(fd);
}

// The first IPv4 address the resolver gives for `host`, as dotted text into `out`; leaves
// `out` empty otherwise. The reentrant call keeps clients made on several threads apart.
void ResolveFirstAddress(const char* host, char* out, socklen_t outSize) {
    out[0] = '\0';
    if (host[0] == '\0')
        return; // names no host at all
    hostent entry{};
    hostent* found = nullptr;
    int error = 0;
    std::vector<char> work(2048);
    while (gethostbyname2_r(host, AF_INET, &entry, work.data(), work.size(), &found, &error) ==
               ERANGE &&
           work.size() < (1u << 20))
        work.resize(work.size() * 2);
    if (found == nullptr || found->h_addrtype != AF_INET || found->h_addr_list == nullptr ||
        found->h_addr_list[0] == nullptr)
        return;
    if (inet_ntop(AF_INET, found->h_addr_list[0], out, outSize) == nullptr)
        out[0] = '\0';
}

} // namespace

CClient::CClient(CLog* log, char* host, int port) : CSockThread(log, NewTcpSocket()), m_port(port) {
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
