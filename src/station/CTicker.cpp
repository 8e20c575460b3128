#include "station/CTicker.h"

#include "text/Cp932.h"

namespace palaverly {

namespace {
constexpr unsigned char kSquareLead = 0x81; // "■" is 0x81 0xA1
constexpr unsigned char kSquareTrail = 0xA1;
} // namespace

void CTicker::SetText(std::string text) {
    m_text = std::move(text);
    if (m_position >= m_text.size())
        return; // the next advance wraps to the start
    // A byte offset taken over from the old text may fall on a trail byte of the new one;
    // scrolling on from there would show every double-byte character split.
    std::size_t boundary = 0;
    while (boundary < m_position)
        boundary += cp932::CharLength(m_text, boundary);
    m_position = boundary;
}

bool CTicker::SquareAt(std::size_t position) const {
    return position + 1 < m_text.size() &&
           static_cast<unsigned char>(m_text[position]) == kSquareLead &&
           static_cast<unsigned char>(m_text[position + 1]) == kSquareTrail;
}

std::string CTicker::TailFrom(std::size_t position) const {
    return position < m_text.size() ? m_text.substr(position) : std::string();
}

std::optional<std::string> CTicker::Step() {
    std::optional<std::string> shown;
    if (m_position == 0) {
        m_holding = true;
        if (m_holdCount == 0)
            shown = m_text;
    }
    if (!m_holding && SquareAt(m_position)) {
        m_holding = true;
        m_holdCount = 0;
    }
    if (m_holding) {
        if (++m_holdCount <= kHoldTicks)
            return shown;
        m_holdCount = 0;
        m_holding = false;
    }
    // Past the end there is no character: the terminating zero counts as one byte.
    m_position += m_position < m_text.size() && cp932::IsLeadByte(m_text[m_position]) ? 2 : 1;
    if (m_position > m_text.size())
        m_position = 0;
    return TailFrom(m_position);
}

} // namespace palaverly
