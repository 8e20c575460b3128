#include "settings/CPhraseValues.h"

#include "settings/CSettingsStore.h"
#include "text/Cp932.h"

#include <cstdio>

namespace palaverly {

void CPhraseValues::LoadSettings(const CSettingsStore& store) {
    for (int n = 1; n <= kCount; ++n) {
        std::string& phrase = m_phrases[static_cast<std::size_t>(n - 1)];
        if (auto stored = store.ReadText(ValueName(n), CSettingsStore::kValueLimit))
            phrase = std::move(*stored);
        else if (n <= 2)
            phrase = DefaultText(n);
    }
}

int CPhraseValues::SaveSettings(CSettingsStore& store) const {
    std::vector<std::pair<std::string, std::string>> values;
    for (int n = 1; n <= kCount; ++n)
        values.emplace_back(ValueName(n), m_phrases[static_cast<std::size_t>(n - 1)]);
    return store.WriteSettings(values);
}

std::string CPhraseValues::ValueName(int number) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "定型Msg%02d", number);
    return buffer;
}

std::string CPhraseValues::DefaultText(int number) {
    switch (number) {
    case 1:
        return cp932::Sjis("おはようございます！！");
    case 2:
        return cp932::Sjis("お疲れ様です");
    default:
        return {};
    }
}

} // namespace palaverly
