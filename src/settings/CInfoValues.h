#pragma once
// The two information texts: the local message (head of the ticker) and the bulletin message.

#include <string>

namespace palaverly {

class CSettingsStore;

struct CInfoValues {
    std::string m_localMessage;    // "Info Msg01" (CP932); default DefaultLocalMessage()
    std::string m_bulletinMessage; // "Info Msg99" (CP932); empty by default

    /// "Info Msg01" (missing: the default text), "Info Msg99" (missing: keeps its value).
    void LoadSettings(const CSettingsStore& store);
    void SaveSettings(CSettingsStore& store) const;

    static std::string DefaultLocalMessage();
};

} // namespace palaverly
