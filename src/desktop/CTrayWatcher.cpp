#include "desktop/CTrayWatcher.h"

namespace palaverly {

CTrayWatcher::CTrayWatcher(Probe probe, int pollMs, QObject* parent)
    : QObject(parent), m_probe(std::move(probe)) {
    m_timer.setInterval(pollMs);
    // Nothing depends on the exact second: let the system batch this wake-up with others.
    m_timer.setTimerType(Qt::VeryCoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CTrayWatcher::Poll);
}

bool CTrayWatcher::Start() {
    m_polls = 1;
    m_available = m_probe && m_probe();
    if (m_timer.interval() > 0)
        m_timer.start();
    return m_available;
}

void CTrayWatcher::Stop() {
    m_timer.stop();
}

void CTrayWatcher::Poll() {
    ++m_polls;
    const bool available = m_probe && m_probe();
    if (available == m_available)
        return;
    m_available = available;
    emit Changed(available);
}

} // namespace palaverly
