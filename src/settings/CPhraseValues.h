#pragma once
// The ten canned phrases "定型Msg01" to "定型Msg10".

#include <array>
#include <string>

namespace palaverly {

class CSettingsStore;

struct CPhraseValues {
    std::array<std::string, 10> m_phrases; // CP932; phrase n at index n - 1

    void LoadSettings(const CSettingsStore& store);
    /// Writes all ten phrases, empty ones included.
    void SaveSettings(CSettingsStore& store) const;
};

} // namespace palaverly
