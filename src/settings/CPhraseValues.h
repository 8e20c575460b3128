#pragma once
// The ten canned phrases "定型Msg01" to "定型Msg10".

#include <array>
#include <string>

namespace palaverly {

class CSettingsStore;

struct CPhraseValues {
    static constexpr int kCount = 10;

    std::array<std::string, kCount> m_phrases; // CP932; phrase n at index n - 1

    /// Reads phrases 1 to 10 (read limit 128 each). A stored text, an empty one included,
    /// replaces the phrase; a missing phrase 1 or 2 takes its default, a missing phrase 3 to
    /// 10 keeps its current text (empty at start-up).
    void LoadSettings(const CSettingsStore& store);
    /// Writes all ten phrases, empty ones included, in one replacement. 0 or -1.
    int SaveSettings(CSettingsStore& store) const;

    /// "定型Msg%02d" of `number` (1..10), UTF-8.
    static std::string ValueName(int number);
    /// The default of phrase `number` (CP932); empty for phrases 3 to 10.
    static std::string DefaultText(int number);
};

} // namespace palaverly
