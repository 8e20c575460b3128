#pragma once
// A log-off that ends the display before any session request or signal reaches the program:
// the X server or the Wayland compositor goes away, and Qt ends the process on the spot
// (exit(1) after a warning on X, _exit(1) on Wayland, the X library's exit after an I/O
// error). The guard catches each of these moments, has the station shut down from the last
// values the window took, and then ends the process itself.

#include <functional>

namespace palaverly {

class CDisplayLossGuard {
public:
    using Handler = std::function<void()>;

    /// Hooks the application's display connection (X11 or Wayland); call once the application
    /// object exists. `onLost` runs once, on the UI thread whenever that thread can still run
    /// it; it must not touch any widget. The process then ends with 0.
    static void Install(Handler onLost);
    /// The orderly shutdown has begun: a display closed after this is no loss.
    static void Disarm();

    /// Whether the connection to the display has broken (peer gone or in error).
    static bool DisplayLost();
    /// The connection is gone: runs the handler and ends the process. A call from inside the
    /// handler returns; any other thread waits for the one running it.
    static void OnDisplayLost();
};

} // namespace palaverly
