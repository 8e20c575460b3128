#include "settings/CInfoValues.h"

#include "settings/CSettingsStore.h"
#include "text/Cp932.h"

namespace palaverly {
namespace {

constexpr const char* kLocalMessage = "Info Msg01";
constexpr const char* kBulletinMessage = "Info Msg99";

} // namespace

void CInfoValues::LoadSettings(const CSettingsStore& store) {
    m_localMessage =
        store.ReadText(kLocalMessage, CSettingsStore::kValueLimit).value_or(DefaultLocalMessage());
    if (auto bulletin = store.ReadText(kBulletinMessage, CSettingsStore::kValueLimit))
        m_bulletinMessage = std::move(*bulletin);
}

int CInfoValues::SaveSettings(CSettingsStore& store) const {
    return store.WriteSettings(
        {{kLocalMessage, m_localMessage}, {kBulletinMessage, m_bulletinMessage}});
}

std::string CInfoValues::DefaultLocalMessage() {
    // Three ASCII spaces stand before the signature.
    return cp932::Sjis("ここのエリアにいれたメッセージは、ダイアログ上部にあるウィンドウにスクロー"
                       "ルしながら表示されます。何か決めてのメッセージを入れてみて遊んでください。"
                       "   ＜管理者より＞");
}

} // namespace palaverly
