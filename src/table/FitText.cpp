#include "table/FitText.h"

#include "text/Cp932.h"

#include <vector>

namespace palaverly {

std::string FitText(std::string_view text, int width, int margin, const TextWidthFn& measure) {
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

} // namespace palaverly
