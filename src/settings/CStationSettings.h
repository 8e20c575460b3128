#pragma once
// The values the main window keeps itself: handle name, status and window placement. Read at
// start-up, written at an orderly shutdown.

#include "settings/CWindowPos.h"

#include <optional>
#include <string>

namespace palaverly {

class CSettingsStore;

struct CStationSettings {
    std::string m_handleName;              // "HandleName" (CP932), read limit 1024
    std::string m_status;                  // "Status" (CP932), read limit 128
    std::optional<CWindowPos> m_windowPos; // "WindowPos", read limit 1024; none: not applied

    /// Reads the three values. A missing handle name becomes `logonName` (pass LogonName()
    /// or the station's own source of it), a missing status DefaultStatus(), and a
    /// "WindowPos" that is missing or does not parse as ten numbers leaves no placement.
    void LoadSettings(const CSettingsStore& store, const std::string& logonName);

    /// Writes "HandleName", "Status" and, when there is a placement, "WindowPos", in one
    /// replacement. 0 or -1.
    int SaveSettings(CSettingsStore& store) const;

    /// "普通" (normal) as CP932.
    static std::string DefaultStatus();
    /// The account name of the user running the station as CP932 (a character CP932 lacks
    /// becomes "?"); empty when the system does not know it.
    static std::string LogonName();
};

} // namespace palaverly
