#pragma once
// Tells when the machine's interfaces or their IPv4 addresses have changed, so that a cached
// interface list is read again only then (a Wi-Fi that comes up after the start is used).

#include <chrono>
#include <functional>

namespace palaverly {

class CInterfaceWatch {
public:
    using Now = std::function<std::chrono::steady_clock::time_point()>;

    /// Subscribes to the kernel's link and IPv4 address events (netlink) when `kernelEvents`.
    /// Where that is not possible, a change is assumed every `fallbackInterval` as measured
    /// by `now`.
    explicit CInterfaceWatch(std::chrono::seconds fallbackInterval = std::chrono::seconds(5),
                             Now now = std::chrono::steady_clock::now, bool kernelEvents = true);
    ~CInterfaceWatch();
    CInterfaceWatch(const CInterfaceWatch&) = delete;
    CInterfaceWatch& operator=(const CInterfaceWatch&) = delete;

    /// True on the first call and whenever something may have changed since the last call
    /// that returned true. Never blocks.
    bool TakeChange();

    /// True when the kernel's events are watched (no fallback timing).
    bool Subscribed() const { return m_socket >= 0; }

    /// The netlink socket, readable while an event waits (TakeChange reads them); -1 when
    /// not subscribed. For an event loop to wait on.
    int Descriptor() const { return m_socket; }

private:
    int m_socket = -1;
    bool m_first = true;
    std::chrono::seconds m_interval;
    Now m_now;
    std::chrono::steady_clock::time_point m_lastRead{};
};

} // namespace palaverly
