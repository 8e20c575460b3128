#include "station/CBulletinStore.h"

#include "settings/CNoticeTemplates.h"
#include "text/Cp932.h"

namespace palaverly {

bool CBulletinStore::StoreBulletin(const std::string& key, const std::string& text) {
    if (key.empty() || text.empty())
        return false;
    // A foreign sender may leave the field unterminated; the name then runs into the text.
    const std::string storedKey = cp932::CutToBytes(key, kMaxKeyBytes);
    if (auto found = m_entryOfKey.find(storedKey); found != m_entryOfKey.end()) {
        // Known servers keep updating even when the store is full; only new ones are refused.
        m_entries[found->second].text = text;
        return true;
    }
    if (m_entries.size() >= kCapacity)
        return false;
    m_entryOfKey.emplace(storedKey, m_entries.size());
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
