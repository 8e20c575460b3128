#pragma once
// The five notice templates "文言01" to "文言05", held by the station.

#include <array>
#include <string>

namespace palaverly {

class CSettingsStore;

struct CNoticeTemplates {
    /// CP932 texts; template n ("文言0n") at index n - 1.
    std::array<std::string, 5> m_texts;

    /// Reads "文言01" to "文言05" in order; a missing one takes its default text, which is
    /// also written back to the store (the only defaults that are written back).
    void LoadSettings(CSettingsStore& store);

    static std::string DefaultText(int number); // number 1..5, CP932
};

/// The template with its first "%s" (searched double-byte-aware) replaced by `value`; a
/// template without "%s" is returned unchanged. All texts CP932.
std::string FillTemplate(const std::string& templ, const std::string& value);

} // namespace palaverly
