#include "CSimulatedLan.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace palaverly {

struct CSimulatedPort::Queue {
    std::deque<std::string> datagrams;
    std::optional<std::string> heldBack; // waits for the next datagram, then follows it
    int heldCopies = 0;
    bool interrupted = false;
    bool routeGained = false;
    std::condition_variable arrived;
};

struct CSimulatedPort::State {
    mutable std::mutex mutex;
    std::vector<std::shared_ptr<Queue>> ports; // in attach order
    std::vector<std::string> sent;
    LanFaults faults;
    bool offline = false;
    std::mt19937 random{1};

    // A uniform draw in [0, 1) that does not depend on the library's distributions.
    bool Chance(double probability) {
        if (probability <= 0.0)
            return false;
        return static_cast<double>(random()) / 4294967296.0 < probability;
    }

    void Deliver(Queue& queue, const std::string& bytes) {
        const bool drop = Chance(faults.drop);
        const bool twice = Chance(faults.duplicate);
        const bool reorder = Chance(faults.reorder);
        if (drop)
            return;
        const int copies = twice ? 2 : 1;
        if (reorder && !queue.heldBack) {
            queue.heldBack = bytes;
            queue.heldCopies = copies;
            return;
        }
        queue.datagrams.insert(queue.datagrams.end(), copies, bytes);
        ReleaseHeld(queue);
        queue.arrived.notify_all();
    }

    static void ReleaseHeld(Queue& queue) {
        if (!queue.heldBack)
            return;
        queue.datagrams.insert(queue.datagrams.end(), queue.heldCopies, *queue.heldBack);
        queue.heldBack.reset();
        queue.arrived.notify_all();
    }
};

CSimulatedPort::CSimulatedPort(std::shared_ptr<State> state, std::shared_ptr<Queue> queue)
    : m_state(std::move(state)), m_queue(std::move(queue)) {}

CSimulatedPort::~CSimulatedPort() {
    std::lock_guard lock(m_state->mutex);
    auto& ports = m_state->ports;
    ports.erase(std::remove(ports.begin(), ports.end(), m_queue), ports.end());
}

int CSimulatedPort::Send(const char* buffer, short length) {
    if (length < 0 || (buffer == nullptr && length > 0))
        return EINVAL;
    std::string bytes(buffer, buffer + length);
    std::lock_guard lock(m_state->mutex);
    m_state->sent.push_back(bytes);
    for (const auto& queue : m_state->ports)
        m_state->Deliver(*queue, bytes);
    return 0;
}

int CSimulatedPort::TakeLocked(std::deque<std::string>& queue, char* buffer, short length) {
    std::string datagram = std::move(queue.front());
    queue.pop_front();
    if (length < 0 || datagram.size() != static_cast<std::size_t>(length))
        return EMSGSIZE;
    std::memcpy(buffer, datagram.data(), datagram.size());
    return 0;
}

int CSimulatedPort::Receive(char* buffer, short length) {
    std::unique_lock lock(m_state->mutex);
    m_queue->arrived.wait(lock,
                          [&] { return m_queue->interrupted || !m_queue->datagrams.empty(); });
    if (m_queue->interrupted)
        return ECANCELED;
    return TakeLocked(m_queue->datagrams, buffer, length);
}

int CSimulatedPort::ReceiveBatch(char* buffers, short length, int max, int& received) {
    received = 0;
    if (buffers == nullptr || length <= 0 || max <= 0)
        return EINVAL;
    std::unique_lock lock(m_state->mutex);
    m_queue->arrived.wait(lock,
                          [&] { return m_queue->interrupted || !m_queue->datagrams.empty(); });
    if (m_queue->interrupted)
        return ECANCELED;
    bool dropped = false;
    for (int taken = 0; taken < max && !m_queue->datagrams.empty(); ++taken) {
        char* slot = buffers + static_cast<std::ptrdiff_t>(received) * length;
        if (TakeLocked(m_queue->datagrams, slot, length) == 0)
            ++received;
        else
            dropped = true;
    }
    return received == 0 && dropped ? EMSGSIZE : 0;
}

int CSimulatedPort::TryReceive(char* buffer, short length) {
    std::lock_guard lock(m_state->mutex);
    if (m_queue->interrupted)
        return ECANCELED;
    if (m_queue->datagrams.empty())
        return EAGAIN;
    return TakeLocked(m_queue->datagrams, buffer, length);
}

void CSimulatedPort::Interrupt() {
    std::lock_guard lock(m_state->mutex);
    m_queue->interrupted = true;
    m_queue->arrived.notify_all();
}

bool CSimulatedPort::LastSendReachedNetwork() const {
    std::lock_guard lock(m_state->mutex);
    return !m_state->offline;
}
CDatagramPort::RouteChange CSimulatedPort::TakeRouteChange() {
    std::lock_guard lock(m_state->mutex);
    const bool gained = std::exchange(m_queue->routeGained, false);
    return {gained, gained};
}

std::size_t CSimulatedPort::Pending() const {
    std::lock_guard lock(m_state->mutex);
    return m_queue->datagrams.size();
}

CSimulatedLan::CSimulatedLan() : m_state(std::make_shared<CSimulatedPort::State>()) {}

CSimulatedLan::~CSimulatedLan() = default;

std::unique_ptr<CSimulatedPort> CSimulatedLan::Attach() {
    auto queue = std::make_shared<CSimulatedPort::Queue>();
    {
        std::lock_guard lock(m_state->mutex);
        m_state->ports.push_back(queue);
    }
    return std::unique_ptr<CSimulatedPort>(new CSimulatedPort(m_state, std::move(queue)));
}

void CSimulatedLan::SetFaults(const LanFaults& faults) {
    std::lock_guard lock(m_state->mutex);
    m_state->faults = faults;
    m_state->random.seed(faults.seed);
}

void CSimulatedLan::SetOffline(bool offline) {
    std::lock_guard lock(m_state->mutex);
    m_state->offline = offline;
}
void CSimulatedLan::GainRoute() {
    std::lock_guard lock(m_state->mutex);
    for (const auto& queue : m_state->ports)
        queue->routeGained = true;
}

void CSimulatedLan::Flush() {
    std::lock_guard lock(m_state->mutex);
    for (const auto& queue : m_state->ports)
        CSimulatedPort::State::ReleaseHeld(*queue);
}

std::vector<std::string> CSimulatedLan::Sent() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->sent;
}

std::size_t CSimulatedLan::PortCount() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->ports.size();
}

} // namespace palaverly
