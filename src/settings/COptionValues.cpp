#include "settings/COptionValues.h"

#include "settings/CSettingsStore.h"
#include "sys/XdgPaths.h"
#include "text/Cp932.h"

#include <type_traits>

namespace palaverly {
namespace {

static_assert(std::is_same_v<std::int32_t, int>, "the colour shares the integer table");

struct NumberValue {
    const char* name;
    int COptionValues::*member;
    int fallback;
};

// In the order the options dialog saves them.
constexpr NumberValue kNumbers[] = {
    {"Flg Popup(AllMsg)", &COptionValues::m_flgPopupAllMsg, 0},
    {"Flg Popup(ToYouMsg)", &COptionValues::m_flgPopupToYouMsg, 0},
    {"Flg LocalEcho", &COptionValues::m_flgLocalEcho, 0},
    {"Flg ClearAfterInput", &COptionValues::m_flgClearAfterInput, 0},
    {"Flg Transmission with Enter", &COptionValues::m_flgTransmissionWithEnter, 0},
    {"Flg LogOutput", &COptionValues::m_flgLogOutput, 0},
    {"Flg LogAutoLoad", &COptionValues::m_flgLogAutoLoad, 0},
    {"Flg LoginLogoutCheck", &COptionValues::m_flgLoginLogoutCheck, 0},
    {"Flg LogClickToUserMarkON", &COptionValues::m_flgLogClickToUserMarkOn, 0},
    {"Flg ChatServer", &COptionValues::m_flgChatServer, 0},
    {"Flg ChatServerMsgRecv", &COptionValues::m_flgChatServerMsgRecv, 0},
    {"Flg UseBeepSound", &COptionValues::m_flgUseBeepSound, 0},
    {"Flg CloseToUnload", &COptionValues::m_flgCloseToUnload, 0},
    {"Flg ChatWindowCloseAndHide", &COptionValues::m_flgChatWindowCloseAndHide, 0},
    {"Flg ChatWindowReady", &COptionValues::m_flgChatWindowReady, 0},
    {"AutoClose Timming", &COptionValues::m_autoCloseTimming, 3},
    {"Recv Timming", &COptionValues::m_recvTimming, 30},
    {"Scroll Timming", &COptionValues::m_scrollTimming, 25},
    {"MsgDownload Timming", &COptionValues::m_msgDownloadTimming, 18},
    {"Color MyMessage", &COptionValues::m_colorMyMessage, 16711680},
};

// Read only: the options dialog has no place for it, so its save must not overwrite it.
constexpr NumberValue kDesktopNotify = {"Flg DesktopNotify", &COptionValues::m_flgDesktopNotify, 1};
constexpr const char* kLogSavePath = "LogSavePath";
constexpr const char* kSoundFilePath = "SoundFilePath";

} // namespace

void COptionValues::LoadSettings(const CSettingsStore& store) {
    for (const auto& number : kNumbers)
        this->*number.member =
            store.ReadNumber(number.name, CSettingsStore::kValueLimit).value_or(number.fallback);
    this->*kDesktopNotify.member =
        store.ReadNumber(kDesktopNotify.name, CSettingsStore::kValueLimit)
            .value_or(kDesktopNotify.fallback);
    m_logSavePath =
        store.ReadText(kLogSavePath, CSettingsStore::kValueLimit).value_or(DefaultLogSavePath());
    if (auto sound = store.ReadText(kSoundFilePath, CSettingsStore::kValueLimit))
        m_soundFilePath = std::move(*sound);
}

int COptionValues::SaveSettings(CSettingsStore& store) const {
    std::vector<std::pair<std::string, std::string>> values;
    for (const auto& number : kNumbers)
        values.emplace_back(number.name, std::to_string(this->*number.member));
    values.emplace_back(kLogSavePath, m_logSavePath);
    values.emplace_back(kSoundFilePath, m_soundFilePath);
    return store.WriteSettings(values);
}

std::string COptionValues::DefaultLogSavePath() {
    return cp932::FromUtf8Lossy((XdgDataHome() / "palaverly").string());
}

} // namespace palaverly
