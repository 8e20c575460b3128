#pragma once
// The environment of a real station on this machine: its sockets, host and user, settings file.

#include "hub/CChatDlg.h"

#include <cstdint>

namespace palaverly {

/// A station on `port` with the real broadcast port, host identity and per-user settings file;
/// list texts are measured at a fixed width (front ends with fonts replace `measure`).
StationEnvironment SystemEnvironment(std::uint16_t port);

} // namespace palaverly
