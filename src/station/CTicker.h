#pragma once
// The ticker: the one-line text at the top of the main window that scrolls one character per
// tick and stands still at its start and at every "■".

#include <cstddef>
#include <optional>
#include <string>

namespace palaverly {

/// Ticker text and scroll state. Owned and stepped by the user-interface thread; the text is
/// only ever replaced as a whole.
class CTicker {
public:
    /// Ticks the display stands still at the start and at each "■" before it moves on.
    static constexpr int kHoldTicks = 12;

    CTicker() = default;
    explicit CTicker(std::string text) : m_text(std::move(text)) {}

    /// Replaces the text (CP932). The scroll state carries over: a position beyond the end of
    /// the new text counts as its end, and one inside a double-byte character moves on to the
    /// next character.
    void SetText(std::string text);
    const std::string& Text() const { return m_text; }

    /// One tick of the ticker timer. Gives what the ticker shows after this tick (the tail of
    /// the text from the scroll position), or std::nullopt when the display is left unchanged.
    std::optional<std::string> Step();

    /// Scroll position: a byte offset into the text, always on a character boundary.
    std::size_t Position() const { return m_position; }

private:
    bool SquareAt(std::size_t position) const;
    std::string TailFrom(std::size_t position) const;

    std::string m_text;
    std::size_t m_position = 0;
    int m_holdCount = 0;
    bool m_holding = true;
};

} // namespace palaverly
