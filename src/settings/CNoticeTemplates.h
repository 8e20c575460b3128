#pragma once
// The five notice templates "文言01" to "文言05", held by the station.

#include <array>
#include <string>

namespace palaverly {

class CSettingsStore;

/// What each template is for; the value is its number n in "文言0n".
enum class Notice {
    BeepReceived = 1,  ///< the target of an alert logs this
    BeepSent = 2,      ///< the sender of an alert logs this
    Login = 3,         ///< a member joined ("%s": the handle)
    Logout = 4,        ///< a member left ("%s": the handle)
    BulletinPrefix = 5 ///< before each bulletin in the ticker ("%s": the server's handle)
};

struct CNoticeTemplates {
    static constexpr int kCount = 5;

    /// CP932 texts; template n ("文言0n") at index n - 1.
    std::array<std::string, kCount> m_texts;

    /// Reads "文言01" to "文言05" in order (read limit 128 each); a missing one takes its
    /// default text, which is also written back to the store (the only defaults that are
    /// written back). A failed write-back leaves the default in effect all the same.
    void LoadSettings(CSettingsStore& store);

    const std::string& Text(Notice notice) const {
        return m_texts[static_cast<std::size_t>(notice) - 1];
    }

    /// "文言0n" of `number` (1..5), UTF-8.
    static std::string ValueName(int number);
    static std::string DefaultText(int number); // number 1..5, CP932
};

/// The template with its first "%s" (searched double-byte-aware) replaced by `value`; a
/// template without "%s" is returned unchanged and a second "%s" stays. All texts CP932.
std::string FillTemplate(const std::string& templ, const std::string& value);

} // namespace palaverly
