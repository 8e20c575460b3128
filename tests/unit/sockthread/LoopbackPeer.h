#pragma once
// Real TCP peers on 127.0.0.1 with ephemeral ports, for the socket-thread tests.

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <fstream>
#include <netinet/in.h>
#include <sched.h>
#include <string>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

namespace palaverly::test {

/// A listening socket on 127.0.0.1 with a port chosen by the system.
class LoopbackListener {
public:
    LoopbackListener() {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::listen(m_fd, 8) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return;
        m_port = ntohs(address.sin_port);
    }
    ~LoopbackListener() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    int Port() const { return m_port; }
    int Accept() { return ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC); }

    /// A new socket connected to this listener (the client end).
    int Connect() const {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(m_port));
        if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

private:
    int m_fd = -1;
    int m_port = 0;
};

/// Two connected sockets: `local` goes to the code under test, the test plays `peer`.
struct LoopbackPair {
    LoopbackPair() {
        LoopbackListener listener;
        local = listener.Connect();
        peer = listener.Accept();
    }
    ~LoopbackPair() {
        CloseLocal();
        ClosePeer();
    }
    LoopbackPair(const LoopbackPair&) = delete;
    LoopbackPair& operator=(const LoopbackPair&) = delete;

    unsigned int Local() const { return static_cast<unsigned int>(local); }
    /// Hands the local end over to an object that will close it.
    unsigned int ReleaseLocal() {
        const int fd = local;
        local = -1;
        return static_cast<unsigned int>(fd);
    }
    bool PeerSend(const std::string& data) const {
        return ::send(peer, data.data(), data.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(data.size());
    }
    /// Reads from the peer end until the other side closes.
    std::string PeerReadAll() const {
        std::string all;
        char chunk[4096];
        for (;;) {
            const ssize_t got = ::recv(peer, chunk, sizeof chunk, 0);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return all;
            all.append(chunk, static_cast<size_t>(got));
        }
    }
    void CloseLocal() {
        if (local >= 0)
            ::close(local);
        local = -1;
    }
    void ClosePeer() {
        if (peer >= 0)
            ::close(peer);
        peer = -1;
    }

    int local = -1;
    int peer = -1;
};

/// The scheduler state letter of thread `tid` of this process ('R' running, 'S' sleeping, ...).
inline char ThreadState(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto paren = text.rfind(')');
    return paren == std::string::npos || paren + 2 >= text.size() ? '?' : text[paren + 2];
}

/// Spins (yielding) until `done` holds; the CTest time-out ends a test that would hang.
template <typename Predicate> void WaitUntil(Predicate done) {
    while (!done())
        sched_yield();
}

} // namespace palaverly::test
