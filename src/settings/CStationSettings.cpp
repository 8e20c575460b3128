#include "settings/CStationSettings.h"

#include "settings/CSettingsStore.h"
#include "text/Cp932.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
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
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* result = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result &&
        result->pw_name && *result->pw_name)
        return cp932::FromUtf8Lossy(result->pw_name);
    for (const char* variable : {"USER", "LOGNAME"}) {
        if (const char* name = std::getenv(variable); name && *name)
            return cp932::FromUtf8Lossy(name);
    }
    return {};
}

} // namespace palaverly
