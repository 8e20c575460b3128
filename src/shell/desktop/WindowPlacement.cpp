#include "WindowPlacement.h"

#include <cstdio>

namespace palaverly {

std::string FormatWindowPos(const WindowPlacement& p) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d", p.flags, p.showState,
                  p.minX, p.minY, p.maxX, p.maxY, p.left, p.top, p.right, p.bottom);
    return buffer;
}

std::optional<WindowPlacement> ParseWindowPos(const std::string& text) {
    WindowPlacement p;
    int n = std::sscanf(text.c_str(), "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d", &p.flags, &p.showState,
                        &p.minX, &p.minY, &p.maxX, &p.maxY, &p.left, &p.top, &p.right, &p.bottom);
    if (n != 10)
        return std::nullopt;
    return p;
}

} // namespace palaverly
