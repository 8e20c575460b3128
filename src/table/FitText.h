#pragma once
// Text measuring and shortening for the two list views; the front end supplies the measure.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace palaverly {

/// Width in pixels of a CP932 text in the list's font. The desktop front end measures with
/// its font metrics; the headless station and tests use a fixed width per byte.
using TextWidthFn = std::function<int(std::string_view cp932)>;

/// Bytes of a cell that are drawn at most, as Windows stations draw them; the rest of a longer
/// cell (a reloaded line may hold 1,022) stays in the row and in the file.
inline constexpr std::size_t kDrawnCellLimit = 259;

/// The text to draw in `width` pixels with `margin` pixels reserved, of its first
/// kDrawnCellLimit bytes (cut on a character boundary): that text itself when
/// margin + its width fits, otherwise a copy shortened from its end one character at a time
/// (a double-byte character is one character and is never split) until margin + "..." + copy
/// fits or one character is left, followed by "...". An empty text comes back empty.
std::string FitText(std::string_view cell, int width, int margin, const TextWidthFn& measure);

/// `measure` with a memory of the widths it gave: rows that share a text (a time, a sender, a
/// kind) are measured once, not once per row, and the same holds for every repaint. At most
/// `capacity` texts are remembered; when full, the memory starts over. The widths must not
/// change (one font); the returned function is for one thread.
TextWidthFn RememberWidths(TextWidthFn measure, std::size_t capacity = 1024);

} // namespace palaverly
