#include "desktop/CWindowTimers.h"

#include <climits>

namespace palaverly {

CWindowTimers::CWindowTimers(MonotonicClock clock, TickFn onTick, QObject* parent)
    : QObject(parent),
      m_onTick(std::move(onTick)), m_timers{Timer(clock), Timer(clock), Timer(clock)} {
    for (int id : {kTickerTimer, kBulletinTimer, kAutoHideTimer}) {
        QTimer& wakeUp = m_timers[Index(id)].wakeUp;
        // One wake-up at a time, each planned from the schedule: no drift builds up, and a
        // precise timer never fires before its time.
        wakeUp.setSingleShot(true);
        wakeUp.setTimerType(Qt::PreciseTimer);
        connect(&wakeUp, &QTimer::timeout, this, [this, id] { OnWakeUp(id); });
    }
}

int CWindowTimers::TickerPeriod(int scrollTimming) {
    return static_cast<int>(BoundedTimerPeriod(scrollTimming, 10));
}

int CWindowTimers::BulletinPeriod(int msgDownloadTimming) {
    return static_cast<int>(BoundedTimerPeriod(msgDownloadTimming, 10000));
}

int CWindowTimers::AutoHideTicks(int autoCloseTimming) {
    return static_cast<int>(BoundedTimerPeriod(autoCloseTimming, 10000) / kAutoHidePeriodMs);
}

std::size_t CWindowTimers::Index(int id) {
    return static_cast<std::size_t>(-id - 1);
}

CWindowTimers::Timer* CWindowTimers::Find(int id) {
    return id >= kAutoHideTimer && id <= kTickerTimer ? &m_timers[Index(id)] : nullptr;
}

const CWindowTimers::Timer* CWindowTimers::Find(int id) const {
    return id >= kAutoHideTimer && id <= kTickerTimer ? &m_timers[Index(id)] : nullptr;
}

void CWindowTimers::Plan(Timer& timer, std::int64_t delayMs) {
    timer.wakeUp.start(static_cast<int>(std::min<std::int64_t>(delayMs, INT_MAX)));
}

void CWindowTimers::Set(int id, int periodMs) {
    Timer* timer = Find(id);
    if (!timer)
        return;
    timer->phase.Set(periodMs);
    if (m_visible)
        Plan(*timer, timer->phase.UntilNextTick());
}

void CWindowTimers::KillAll() {
    for (Timer& timer : m_timers) {
        timer.phase.Kill();
        timer.wakeUp.stop();
    }
}

void CWindowTimers::SetVisible(bool visible) {
    m_visible = visible;
    for (Timer& timer : m_timers) {
        if (visible && timer.phase.IsSet())
            Plan(timer, timer.phase.UntilNextTick());
        else
            timer.wakeUp.stop();
    }
}

void CWindowTimers::OnWakeUp(int id) {
    Timer* timer = Find(id);
    if (!timer || !timer->phase.IsSet() || !m_visible)
        return;
    Plan(*timer, timer->phase.AfterTick());
    if (m_onTick)
        m_onTick(id);
}

bool CWindowTimers::IsSet(int id) const {
    const Timer* timer = Find(id);
    return timer && timer->phase.IsSet();
}

int CWindowTimers::Period(int id) const {
    const Timer* timer = Find(id);
    return timer ? static_cast<int>(timer->phase.Period()) : 0;
}

qint64 CWindowTimers::UntilNextTick(int id) const {
    const Timer* timer = Find(id);
    return timer ? timer->phase.UntilNextTick() : 0;
}

bool CWindowTimers::WakeUpPlanned(int id) const {
    const Timer* timer = Find(id);
    return timer && timer->wakeUp.isActive();
}

int CWindowTimers::PlannedWakeUp(int id) const {
    const Timer* timer = Find(id);
    return timer && timer->wakeUp.isActive() ? timer->wakeUp.interval() : 0;
}

} // namespace palaverly
