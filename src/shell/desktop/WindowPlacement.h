#pragma once
// The saved window placement "WindowPos": ten numbers in the field order of a Windows
// WINDOWPLACEMENT, so that the stored text keeps its old shape.

#include <optional>
#include <string>

namespace palaverly {

struct WindowPlacement {
    enum ShowState : unsigned { Hidden = 0, Normal = 1, Minimized = 2, Maximized = 3 };
    unsigned flags = 0;
    unsigned showState = Hidden;
    int minX = -1, minY = -1;
    int maxX = -1, maxY = -1;
    int left = 0, top = 0, right = 0, bottom = 0; // the normal rectangle, screen pixels
};

/// "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d".
std::string FormatWindowPos(const WindowPlacement& placement);

/// The placement when exactly ten numbers parse (text after the tenth is ignored, as the
/// original's scan did); std::nullopt otherwise.
std::optional<WindowPlacement> ParseWindowPos(const std::string& text);

} // namespace palaverly
