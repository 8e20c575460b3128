#pragma once
// The icons compiled into the desktop library.

#include <QIcon>

namespace palaverly {

/// Registers the compiled-in icons; call once before the first window is made.
void InitDesktopResources();

/// The program's icon (window and tray): 16 and 32 pixel images, and a 64 pixel one of the
/// same drawing, so that at twice the density nothing is scaled up.
QIcon AppIcon();

} // namespace palaverly
