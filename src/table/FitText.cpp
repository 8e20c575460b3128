#include "table/FitText.h"

#include "text/Cp932.h"

#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

namespace palaverly {

std::string FitText(std::string_view cell, int width, int margin, const TextWidthFn& measure) {
    std::string drawn;
    std::string_view text = cell;
    if (text.size() > kDrawnCellLimit) {
        drawn = cp932::CutToBytes(cell, kDrawnCellLimit);
        text = drawn;
    }
    if (text.empty() || margin + measure(text) <= width)
        return std::string(text);

    // Character starts, so that the copy can lose its last character without a backward scan
    // (a trail byte cannot be told from a single-byte character when read from the end).
    std::vector<std::size_t> starts;
    for (std::size_t pos = 0; pos < text.size(); pos += cp932::CharLength(text, pos))
        starts.push_back(pos);

    const int dots = measure("...");
    std::size_t chars = starts.size();
    std::size_t length = text.size();
    while (chars > 1 && margin + dots + measure(text.substr(0, length)) > width) {
        --chars;
        length = starts[chars];
    }
    std::string fitted(text.substr(0, length));
    fitted += "...";
    return fitted;
}

namespace {

struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
        return std::hash<std::string_view>{}(text);
    }
};

} // namespace

TextWidthFn RememberWidths(TextWidthFn measure, std::size_t capacity) {
    using Widths = std::unordered_map<std::string, int, TextHash, std::equal_to<>>;
    auto widths = std::make_shared<Widths>();
    const std::size_t limit = capacity > 0 ? capacity : 1;
    return [measure = std::move(measure), widths, limit](std::string_view text) {
        if (auto it = widths->find(text); it != widths->end())
            return it->second;
        const int width = measure(text);
        // A flood of distinct texts must not grow the memory without bound.
        if (widths->size() >= limit)
            widths->clear();
        widths->emplace(text, width);
        return width;
    };
}

} // namespace palaverly
