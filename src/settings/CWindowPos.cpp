#include "settings/CWindowPos.h"

#include <array>
#include <cstdio>
#include <limits>

namespace palaverly {
namespace {

// One number at `pos` (optional white space and sign, then digits), limited to [low, high].
std::optional<long long> ParseField(std::string_view text, std::size_t& pos, long long low,
                                    long long high) {
    while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r')))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    std::size_t first = pos;
    long long magnitude = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        magnitude = magnitude * 10 + (text[pos] - '0');
        if (magnitude > high - low) // beyond every field's range: stop before overflowing
            return std::nullopt;
    }
    if (pos == first)
        return std::nullopt;
    long long value = negative ? -magnitude : magnitude;
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<CWindowPos> CWindowPos::Parse(std::string_view text) {
    constexpr long long kUMax = std::numeric_limits<std::uint32_t>::max();
    constexpr long long kMin = std::numeric_limits<std::int32_t>::min();
    constexpr long long kMax = std::numeric_limits<std::int32_t>::max();
    std::array<long long, 10> numbers{};
    std::size_t pos = 0;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != ',')
                return std::nullopt;
            ++pos;
        }
        auto number = i < 2 ? ParseField(text, pos, 0, kUMax) : ParseField(text, pos, kMin, kMax);
        if (!number)
            return std::nullopt;
        numbers[i] = *number;
    }
    CWindowPos p;
    p.m_flags = static_cast<std::uint32_t>(numbers[0]);
    p.m_showCmd = static_cast<std::uint32_t>(numbers[1]);
    std::int32_t* fields[] = {&p.m_minX, &p.m_minY, &p.m_maxX,  &p.m_maxY,
                              &p.m_left, &p.m_top,  &p.m_right, &p.m_bottom};
    for (std::size_t i = 0; i < 8; ++i)
        *fields[i] = static_cast<std::int32_t>(numbers[i + 2]);
    return p;
}

std::string CWindowPos::Format() const {
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d", m_flags, m_showCmd,
                  m_minX, m_minY, m_maxX, m_maxY, m_left, m_top, m_right, m_bottom);
    return buffer;
}

} // namespace palaverly
