#pragma once
// The two information texts: the local message (head of the ticker) and the bulletin message.

#include <string>

namespace palaverly {

class CSettingsStore;

struct CInfoValues {
    std::string m_localMessage;    // "Info Msg01" (CP932); default DefaultLocalMessage()
    std::string m_bulletinMessage; // "Info Msg99" (CP932); empty by default

    /// "Info Msg01" (missing: the default text), "Info Msg99" (missing: keeps its value);
    /// read limit 128 each.
    void LoadSettings(const CSettingsStore& store);
    /// Writes "Info Msg01" and "Info Msg99" in one replacement. 0 or -1.
    int SaveSettings(CSettingsStore& store) const;

    /// The built-in local message (CP932, 165 bytes: longer than the read limit, so it
    /// always comes from here, never from the store).
    static std::string DefaultLocalMessage();
};

} // namespace palaverly
