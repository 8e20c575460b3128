#pragma once
// The text of a settings file as lines: "name=value" entries, "#" comments and anything else,
// kept in order so that a rewrite changes only the entries it sets.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace palaverly {

class CSettingsLines {
public:
    /// Splits a file's UTF-8 text into lines. A UTF-8 byte-order mark and a CR before each
    /// line end (files edited on Windows) are tolerated.
    static CSettingsLines Parse(std::string_view fileText);

    /// The unescaped value of `name`; when a name appears more than once, the last one counts.
    std::optional<std::string> Find(std::string_view name) const;

    /// Sets `name` to `value` (both UTF-8): the line that counts is rewritten in place, a new
    /// name is appended at the end. Every other line stays byte for byte.
    void Set(std::string_view name, std::string_view value);

    /// The file text: every line followed by a newline.
    std::string Text() const;

    /// A name can be stored when it is not empty, has no '=', CR or LF and does not start
    /// with '#'.
    static bool IsValidName(std::string_view name);

    /// "\" -> "\\", LF -> "\n", CR -> "\r".
    static std::string Escape(std::string_view value);
    /// The reverse of Escape; an unknown escape or a lone trailing "\" stays as written.
    static std::string Unescape(std::string_view stored);

private:
    struct Entry {
        std::string_view name;
        std::string_view value;
    };
    std::optional<Entry> EntryAt(std::size_t index) const;
    std::optional<std::size_t> IndexOf(std::string_view name) const;

    std::vector<std::string> m_lines; // without their line ends
};

} // namespace palaverly
