#include "settings/CNoticeTemplates.h"

#include "settings/CSettingsStore.h"
#include "text/Cp932.h"

namespace palaverly {

void CNoticeTemplates::LoadSettings(CSettingsStore& store) {
    std::vector<std::pair<std::string, std::string>> missing;
    for (int n = 1; n <= kCount; ++n) {
        std::string& text = m_texts[static_cast<std::size_t>(n - 1)];
        if (auto stored = store.ReadText(ValueName(n), CSettingsStore::kValueLimit)) {
            text = std::move(*stored);
            continue;
        }
        text = DefaultText(n);
        missing.emplace_back(ValueName(n), text);
    }
    // Written back so that a user finds every template in the file to edit it.
    if (!missing.empty())
        store.WriteSettings(missing);
}

std::string CNoticeTemplates::ValueName(int number) {
    return "文言0" + std::to_string(number);
}

std::string CNoticeTemplates::DefaultText(int number) {
    switch (number) {
    case 1:
        return cp932::Sjis("BEEP攻撃を受けています！！");
    case 2:
        return cp932::Sjis("BEEP攻撃をしました！！");
    case 3:
        return cp932::Sjis("ログイン状態を検知  \"%s\" さんと接続しました");
    case 4:
        return cp932::Sjis("ログアウト状態を検知 \"%s\" さんと切断しました");
    case 5:
        return cp932::Sjis("■%s放送：");
    default:
        return {};
    }
}

std::string FillTemplate(const std::string& templ, const std::string& value) {
    std::size_t pos = cp932::Find(templ, "%s");
    if (pos == std::string::npos)
        return templ;
    std::string out = templ.substr(0, pos);
    out += value;
    out.append(templ, pos + 2);
    return out;
}

} // namespace palaverly
