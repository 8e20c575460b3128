#include "hub/CReachWatch.h"

#include <algorithm>

namespace palaverly {

void CReachWatch::RollCallSent() {
    // The first unanswered roll call counts; a second one does not push the check back.
    if (!m_deafNoticeGiven && !m_echoDue)
        m_echoDue = m_now() + kEchoWaitMs;
}

void CReachWatch::RoutesChanged(bool gained) {
    const std::int64_t settled = m_now() + kSettleMs;
    if (!m_identityDue)
        m_identityDue = settled;
    if (!gained || m_rollCallDue)
        return;
    // A gain within the spacing is not dropped: that network hears of us a little later.
    m_rollCallDue = m_lastNetworkRollCall
                        ? std::max(settled, *m_lastNetworkRollCall + kRollCallSpacingMs)
                        : settled;
}

CReachWatch::Due CReachWatch::TakeDue() {
    const std::int64_t now = m_now();
    auto take = [now](std::optional<std::int64_t>& due) {
        if (!due || *due > now)
            return false;
        due.reset();
        return true;
    };
    Due result;
    result.deafNotice = take(m_echoDue);
    m_deafNoticeGiven = m_deafNoticeGiven || result.deafNotice;
    result.identity = take(m_identityDue);
    result.rollCall = take(m_rollCallDue);
    if (result.rollCall)
        m_lastNetworkRollCall = now;
    return result;
}

std::int64_t CReachWatch::UntilNext() const {
    std::optional<std::int64_t> next;
    for (const auto& due : {m_echoDue, m_identityDue, m_rollCallDue})
        if (due && (!next || *due < *next))
            next = due;
    return next ? std::max<std::int64_t>(0, *next - m_now()) : -1;
}

} // namespace palaverly
