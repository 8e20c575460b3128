#pragma once
// The per-user settings file: one text value per name, UTF-8 on disk, CP932 in memory.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace palaverly {

class CSettingsStore {
public:
    /// A store kept in `file` (created with its folder on first read).
    explicit CSettingsStore(std::filesystem::path file);

    /// $XDG_CONFIG_HOME/Quillmark/palaverly.conf, with ~/.config when the variable is unset.
    static std::filesystem::path DefaultPath();

    /// Reads the value `name` (the value name as UTF-8, e.g. "Flg Popup(AllMsg)", "文言01")
    /// into `value` as CP932. `bufferSize` is the read limit including the terminating NUL: a
    /// value whose CP932 length + 1 exceeds it counts as missing. 0 when read, -1 when missing
    /// or the store cannot be opened or created.
    int ReadSetting(std::string_view name, std::string& value, std::size_t bufferSize) const;

    /// Writes `value` (CP932) under `name`, replacing the file atomically. 0 or -1.
    int WriteSetting(std::string_view name, std::string_view value);

    const std::filesystem::path& Path() const { return m_file; }

private:
    std::filesystem::path m_file;
};

} // namespace palaverly
