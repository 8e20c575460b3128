#include "station/CBulletinStore.h"

#include "settings/CNoticeTemplates.h"
#include "text/Cp932.h"

#include <algorithm>

namespace palaverly {

bool CBulletinStore::StoreBulletin(const std::string& key, const std::string& text) {
    if (key.empty() || text.empty())
        return false;
    // A foreign sender may leave the field unterminated; the name then runs into the text.
    const std::string storedKey = cp932::CutToBytes(key, kMaxKeyBytes);
    auto found = std::find_if(m_entries.rbegin(), m_entries.rend(),
                              [&](const Entry& entry) { return entry.key == storedKey; });
    if (found != m_entries.rend()) {
        // Known servers keep updating even when the store is full; only new ones are refused.
        found->text = text;
        return true;
    }
    if (m_entries.size() >= kCapacity)
        return false;
    m_entries.push_back({storedKey, text});
    return true;
}

std::string CBulletinStore::BuildTickerText(const std::string& localMessage, bool msgRecvOff,
                                            const std::string& template05,
                                            const HandleLookup& lookup) const {
    std::string ticker = localMessage;
    if (msgRecvOff)
        return ticker;
    for (const Entry& entry : m_entries) {
        const std::string handle = lookup ? lookup(entry.key) : std::string();
        if (handle.empty())
            continue; // server not in the roster (yet or any more)
        ticker += FillTemplate(template05, handle);
        ticker += entry.text;
    }
    return ticker;
}

} // namespace palaverly
