#pragma once
// Keeps a burst of requests from turning into a burst of broadcasts: one host asking many
// times in a moment would otherwise make every station on the LAN answer as many times.

#include "hub/IStationEvents.h"

#include <chrono>
#include <functional>
#include <memory>

namespace palaverly {

/// At most one answer per window: the first request of a burst is answered at once, all
/// later ones in the same window by one answer at its end. The answers are broadcasts, so
/// every asker still hears one. UI thread only.
class CAnswerLimiter {
public:
    static constexpr std::chrono::milliseconds kWindow{250};

    /// `answer` sends the answer with the values current when it runs; the window's end
    /// comes through the front end's delayed post.
    CAnswerLimiter(IStationEvents& events, std::chrono::milliseconds window,
                   std::function<void()> answer);

    void Request();
    /// Drops a waiting answer and ends the window (the station signs off).
    void Cancel();

private:
    void StartWindow();
    void WindowEnd(unsigned generation);

    IStationEvents& m_events;
    std::chrono::milliseconds m_window;
    std::function<void()> m_answer;
    bool m_open = false;       // a window runs: requests wait for its end
    bool m_pending = false;    // a request came in during the window
    unsigned m_generation = 0; // window ends posted before a Cancel are stale
    // Posted window ends hold it weakly: one that fires after the limiter is gone does nothing.
    std::shared_ptr<char> m_alive = std::make_shared<char>();
};

} // namespace palaverly
