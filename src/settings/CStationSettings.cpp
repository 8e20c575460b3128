#include "settings/CStationSettings.h"

#include "settings/CSettingsStore.h"
#include "sys/CurrentUser.h"
#include "text/Cp932.h"

#include <cstdlib>
#include <vector>

namespace palaverly {
namespace {

constexpr const char* kHandleName = "HandleName";
constexpr const char* kStatus = "Status";
constexpr const char* kWindowPos = "WindowPos";

} // namespace

void CStationSettings::LoadSettings(const CSettingsStore& store, const std::string& logonName) {
    m_windowPos.reset();
    if (auto text = store.ReadText(kWindowPos, CSettingsStore::kLongValueLimit))
        m_windowPos = CWindowPos::Parse(*text);
    m_handleName = store.ReadText(kHandleName, CSettingsStore::kLongValueLimit).value_or(logonName);
    m_status = store.ReadText(kStatus, CSettingsStore::kValueLimit).value_or(DefaultStatus());
}

int CStationSettings::SaveSettings(CSettingsStore& store) const {
    std::vector<std::pair<std::string, std::string>> values{{kHandleName, m_handleName},
                                                            {kStatus, m_status}};
    if (m_windowPos)
        values.emplace_back(kWindowPos, m_windowPos->Format());
    return store.WriteSettings(values);
}

std::string CStationSettings::DefaultStatus() {
    return cp932::Sjis("普通");
}

std::string CStationSettings::LogonName() {
    if (const std::optional<UserAccount> account = CurrentUserAccount();
        account && !account->name.empty())
        return cp932::FromUtf8Lossy(account->name);
    for (const char* variable : {"USER", "LOGNAME"}) {
        if (const char* name = std::getenv(variable); name && *name)
            return cp932::FromUtf8Lossy(name);
    }
    return {};
}

} // namespace palaverly
