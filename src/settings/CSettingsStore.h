#pragma once
// The per-user settings file: one text value per name, UTF-8 on disk, CP932 in memory.
//
// File form: one "name=value" a line, the name exactly as the value name; in the value "\" is
// written "\\", LF "\n" and CR "\r". Lines starting with "#" are comments. A name that appears
// twice takes its last value. Lines the program does not know (comments, other names) are kept
// in place by every rewrite, and a new name is appended at the end.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace palaverly {

class CSettingsStore {
public:
    /// Read limit (buffer size, terminating NUL included) of most values.
    static constexpr std::size_t kValueLimit = 128;
    /// Read limit of "HandleName" and "WindowPos".
    static constexpr std::size_t kLongValueLimit = 1024;

    /// A store kept in `file` (created with its folder on first read). When `file` is a
    /// symbolic link, writes go to the file it points to and the link stays.
    explicit CSettingsStore(std::filesystem::path file);

    /// $XDG_CONFIG_HOME/Quillmark/palaverly.conf, with ~/.config when the variable is unset.
    static std::filesystem::path DefaultPath();

    /// Reads the value `name` (the value name as UTF-8, e.g. "Flg Popup(AllMsg)", "文言01")
    /// into `value` as CP932. `bufferSize` is the read limit including the terminating NUL: a
    /// value whose CP932 length + 1 exceeds it counts as missing, and so does a value that has
    /// no CP932 form. 0 when read, -1 when missing or the store cannot be opened or created;
    /// `value` is left alone on -1.
    int ReadSetting(std::string_view name, std::string& value, std::size_t bufferSize) const;

    /// ReadSetting as a return value: std::nullopt when missing.
    std::optional<std::string> ReadText(std::string_view name, std::size_t bufferSize) const;

    /// A number or flag: the leading decimal integer of the value (ParseNumber);
    /// std::nullopt when the value is missing.
    std::optional<int> ReadNumber(std::string_view name, std::size_t bufferSize) const;

    /// Writes `value` (CP932, up to its first NUL) under `name`, replacing the file
    /// atomically (a crash or a full disk leaves the old file whole). 0 or -1; after -1,
    /// LastError() says why and the file is unchanged.
    int WriteSetting(std::string_view name, std::string_view value);

    /// Writes several values (name UTF-8, value CP932) in one atomic replacement: all of them
    /// or none. 0 or -1.
    int WriteSettings(const std::vector<std::pair<std::string, std::string>>& values);

    /// What the last failed operation ran into (empty before any failure), for diagnostics.
    const std::string& LastError() const { return m_lastError; }

    const std::filesystem::path& Path() const { return m_file; }

    /// Leading decimal integer with optional sign after optional white space, as atol reads
    /// it: "abc" gives 0, "12ab" gives 12; out-of-range numbers saturate to the int range.
    static int ParseNumber(std::string_view text);

private:
    std::filesystem::path Target() const;
    bool EnsureFile(const std::filesystem::path& target) const;
    void Fail(std::string what, int error) const;

    std::filesystem::path m_file;
    mutable std::string m_lastError;
};

} // namespace palaverly
