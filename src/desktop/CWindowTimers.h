#pragma once
// The chat window's three timers (ticker -1, bulletin -2, auto-hide -3). They are set once and
// keep their phase for the window's whole life; while the window is hidden nothing would act
// on a tick, so they do not wake the program at all, and on show each next tick comes when it
// would have come had the timer run on.

#include "sys/CTimerPhase.h"

#include <QObject>
#include <QTimer>
#include <array>
#include <functional>

namespace palaverly {

class CWindowTimers : public QObject {
    Q_OBJECT
public:
    enum TimerId { kTickerTimer = -1, kBulletinTimer = -2, kAutoHideTimer = -3 };
    using TickFn = std::function<void(int id)>;
    static constexpr int kAutoHidePeriodMs = 1000;

    // The periods from the stored timings. A hand-edited or foreign value is bounded below by
    // one unit of its setting and above by an int of milliseconds; others are used as stored.
    /// "Scroll Timming" × 10 ms.
    static int TickerPeriod(int scrollTimming);
    /// "MsgDownload Timming" × 10 s.
    static int BulletinPeriod(int msgDownloadTimming);
    /// The auto-hide ticks after which an idle window hides: "AutoClose Timming" × 10 s.
    static int AutoHideTicks(int autoCloseTimming);

    CWindowTimers(MonotonicClock clock, TickFn onTick, QObject* parent = nullptr);

    /// SetTimer: the ticks of `id` fall at whole `periodMs` from now on, replacing an earlier
    /// setting of that timer; the others keep their phase.
    void Set(int id, int periodMs);
    /// Kills every timer (the window's end).
    void KillAll();
    /// Whether the window shows: ticks are delivered only then.
    void SetVisible(bool visible);

    bool IsSet(int id) const;
    /// The period of `id` in ms, 0 when it is not set.
    int Period(int id) const;
    /// Time from now to the next tick of `id` on its schedule, in ms.
    qint64 UntilNextTick(int id) const;
    /// Whether a wake-up of `id` is planned, and in how many ms from when it was planned.
    bool WakeUpPlanned(int id) const;
    int PlannedWakeUp(int id) const;

public slots:
    /// The wake-up of `id` arrived: plans the next one and delivers the tick.
    void OnWakeUp(int id);

private:
    struct Timer {
        explicit Timer(MonotonicClock clock) : phase(std::move(clock)) {}
        CTimerPhase phase;
        QTimer wakeUp;
    };
    static std::size_t Index(int id);
    Timer* Find(int id);
    const Timer* Find(int id) const;
    void Plan(Timer& timer, std::int64_t delayMs);

    TickFn m_onTick;
    bool m_visible = false;
    std::array<Timer, 3> m_timers;
};

} // namespace palaverly
