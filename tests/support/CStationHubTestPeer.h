#pragma once
// What tests reach inside the station hub: its tables, models and port, which the front ends
// only see through the hub's intents and read-only views.

#include "hub/CStationHub.h"

#include <memory>

namespace palaverly {

class CStationHubTestPeer {
public:
    explicit CStationHubTestPeer(CStationHub& hub) : m_hub(hub) {}

    CMarkList& RosterList() const { return m_hub.m_roster.List(); }
    CMarkList& LogList() const { return m_hub.m_chatLog.List(); }
    CMemberRoster& Roster() const { return m_hub.m_roster; }
    CChatLog& ChatLog() const { return m_hub.m_chatLog; }
    CDatagramPort* Port() const { return m_hub.m_port.get(); }

private:
    CStationHub& m_hub;
};

inline CStationHubTestPeer Peer(CStationHub& hub) {
    return CStationHubTestPeer(hub);
}
inline CStationHubTestPeer Peer(const std::unique_ptr<CStationHub>& hub) {
    return CStationHubTestPeer(*hub);
}

} // namespace palaverly
