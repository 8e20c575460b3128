#pragma once
// What tests reach inside the station hub: its tables, models and port, which the front ends
// only see through the hub's intents and read-only views.

#include "hub/CChatDlg.h"

#include <memory>

namespace palaverly {

class CChatDlgTestPeer {
public:
    explicit CChatDlgTestPeer(CChatDlg& hub) : m_hub(hub) {}

    CMarkList& RosterList() const { return m_hub.m_rosterList; }
    CMarkList& LogList() const { return m_hub.m_logList; }
    CMemberRoster& Roster() const { return m_hub.m_roster; }
    CChatLog& ChatLog() const { return m_hub.m_chatLog; }
    CNoticeTemplates& Templates() const { return m_hub.m_templates; }
    COptionValues& Options() const { return m_hub.m_options; }
    CPhraseValues& Phrases() const { return m_hub.m_phrases; }
    CInfoValues& Info() const { return m_hub.m_info; }
    CSettingsStore& Settings() const { return m_hub.m_settings; }
    CDatagramPort* Port() const { return m_hub.m_port.get(); }

private:
    CChatDlg& m_hub;
};

inline CChatDlgTestPeer Peer(CChatDlg& hub) {
    return CChatDlgTestPeer(hub);
}
inline CChatDlgTestPeer Peer(const std::unique_ptr<CChatDlg>& hub) {
    return CChatDlgTestPeer(*hub);
}

} // namespace palaverly
