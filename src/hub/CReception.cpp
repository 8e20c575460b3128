#include "hub/CReception.h"

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

namespace palaverly {

CReception::CReception(DispatchFn dispatch, Clock clock, std::size_t capacity,
                       std::function<void()> wake)
    : m_dispatch(std::move(dispatch)), m_clock(std::move(clock)), m_capacity(capacity),
      m_handOver(capacity, std::move(wake)) {}

CReception::~CReception() {
    StopReception();
}

void CReception::Start(CDatagramPort& port) {
    if (m_thread.joinable())
        return;
    m_port = &port;
    m_thread = std::thread([this, &port] { ReceiveLoop(port); });
}

void CReception::StopReception() {
    // Close the hand-over first: nothing queued is dispatched any more and a receive thread
    // waiting for room is released; then wake the blocked receive and join.
    m_handOver.Close();
    if (m_port)
        m_port->Interrupt();
    if (m_thread.joinable())
        m_thread.join();
    // The port's owner may destroy it now; a later call must not reach it.
    m_port = nullptr;
}

void CReception::ReceiveLoop(CDatagramPort& port) {
    // One batch of what the socket holds at a time: a flood costs one system call, one lock
    // and one wake-up per batch instead of per datagram.
    constexpr int kBatch = 64;
    std::vector<char> buffers(static_cast<std::size_t>(kBatch) * kDatagramSize);
    for (;;) {
        int received = 0;
        int rc =
            port.ReceiveBatch(buffers.data(), static_cast<short>(kDatagramSize), kBatch, received);
        if (rc == ECANCELED)
            return;
        if (rc != 0 || received <= 0)
            continue; // a bad datagram costs only itself
        if (!AcceptBatch(buffers.data(), static_cast<std::size_t>(received)))
            return;
    }
}

bool CReception::AcceptRaw(const char* bytes) {
    return AcceptBatch(bytes, 1);
}

bool CReception::AcceptBatch(const char* bytes, std::size_t count) {
    std::vector<Received> batch;
    batch.reserve(count);
    std::string receptionTime;
    for (std::size_t i = 0; i < count; ++i) {
        const char* raw = bytes + i * kDatagramSize;
        Received r;
        std::copy(raw, raw + kDatagramSize, r.datagram.bytes.begin());
        Scramble(r.datagram);
        if (std::equal(m_lastId.begin(), m_lastId.end(), r.datagram.bytes.begin()))
            continue;
        m_lastId.assign(r.datagram.bytes.data(), kIdSize);
        // Taken together from the socket, they were received at the same moment.
        if (receptionTime.empty())
            receptionTime = FormatClockTime(m_clock());
        r.receptionTime = receptionTime;
        batch.push_back(std::move(r));
    }
    if (batch.empty())
        return !m_handOver.IsClosed();
    return m_handOver.PushBatch(std::move(batch));
}

std::size_t CReception::DrainReceived() {
    return DrainReceived(m_capacity, [] { return true; });
}

std::size_t CReception::DrainReceived(std::size_t max, const std::function<bool()>& goOn) {
    return m_handOver.DrainWhile([this](Received&& r) { m_dispatch(r.datagram, r.receptionTime); },
                                 goOn, max);
}

} // namespace palaverly
