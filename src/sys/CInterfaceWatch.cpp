#include "sys/CInterfaceWatch.h"

#include <cerrno>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace palaverly {

CInterfaceWatch::CInterfaceWatch(std::chrono::seconds fallbackInterval, Now now, bool kernelEvents)
    : m_interval(fallbackInterval), m_now(std::move(now)) {
    if (!kernelEvents)
        return;
    m_socket = socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (m_socket < 0)
        return;
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR;
    if (bind(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(m_socket);
        m_socket = -1;
    }
}

CInterfaceWatch::~CInterfaceWatch() {
    if (m_socket >= 0)
        close(m_socket);
}

bool CInterfaceWatch::TakeChange() {
    if (m_first) {
        m_first = false;
        // Events queued before the first read are already in what the caller reads now.
        if (m_socket >= 0) {
            char discard[8192];
            while (recv(m_socket, discard, sizeof discard, MSG_DONTWAIT) > 0) {
            }
        }
        m_lastRead = m_now();
        return true;
    }
    if (m_socket < 0) {
        const auto now = m_now();
        if (now - m_lastRead < m_interval)
            return false;
        m_lastRead = now;
        return true;
    }
    bool changed = false;
    char buffer[8192];
    for (;;) {
        const ssize_t got = recv(m_socket, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got > 0) {
            changed = true;
            continue;
        }
        // ENOBUFS: events were lost, so something changed that we did not see.
        if (got < 0 && errno == ENOBUFS) {
            changed = true;
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        break;
    }
    return changed;
}

} // namespace palaverly
