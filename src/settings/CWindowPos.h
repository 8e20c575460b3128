#pragma once
// The saved placement of the main window ("WindowPos").

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace palaverly {

struct CWindowPos {
    std::uint32_t m_flags = 0;   // placement flags
    std::uint32_t m_showCmd = 0; // show state; 0 when the window was hidden
    std::int32_t m_minX = 0;     // minimized position
    std::int32_t m_minY = 0;
    std::int32_t m_maxX = 0; // maximized position
    std::int32_t m_maxY = 0;
    std::int32_t m_left = 0; // normal rectangle
    std::int32_t m_top = 0;
    std::int32_t m_right = 0;
    std::int32_t m_bottom = 0;

    /// Reads "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d": each number after optional white space, the
    /// commas exactly in between, anything after the tenth number ignored. std::nullopt
    /// unless all ten numbers parse and fit their field (a negative number does not fit a
    /// "%u" field).
    static std::optional<CWindowPos> Parse(std::string_view text);

    /// The stored form, "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d".
    std::string Format() const;

    bool operator==(const CWindowPos&) const = default;
};

} // namespace palaverly
