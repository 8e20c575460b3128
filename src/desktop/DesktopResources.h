#pragma once
// The icons compiled into the desktop library.

namespace palaverly {

/// Registers the compiled-in icons; call once before the first window is made.
void InitDesktopResources();

} // namespace palaverly
