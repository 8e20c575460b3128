#include "hub/CAnswerLimiter.h"

namespace palaverly {

CAnswerLimiter::CAnswerLimiter(IStationEvents& events, std::chrono::milliseconds window,
                               std::function<void()> answer)
    : m_events(events), m_window(window), m_answer(std::move(answer)) {}

void CAnswerLimiter::Request() {
    if (m_open) {
        m_pending = true;
        return;
    }
    m_answer();
    StartWindow();
}

void CAnswerLimiter::Cancel() {
    ++m_generation;
    m_open = false;
    m_pending = false;
}

void CAnswerLimiter::StartWindow() {
    m_open = true;
    m_events.PostDelayed(m_window,
                         [this, alive = std::weak_ptr<char>(m_alive), generation = m_generation] {
                             if (alive.lock())
                                 WindowEnd(generation);
                         });
}

void CAnswerLimiter::WindowEnd(unsigned generation) {
    if (generation != m_generation)
        return;
    if (!m_pending) {
        m_open = false;
        return;
    }
    // The folded answer opens a window of its own: a flood that goes on gets one per window.
    m_pending = false;
    m_answer();
    StartWindow();
}

} // namespace palaverly
