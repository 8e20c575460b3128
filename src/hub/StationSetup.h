#pragma once
// The environment of a real station on this machine: its sockets, host and user, settings file.

#include "hub/CStationHub.h"

#include <cstdint>
#include <vector>

namespace palaverly {

/// The extra destinations of the "BroadcastAddresses" value (comma or space separated IPv4
/// addresses, read limit 1024); the entries that are no usable address are reported to
/// `errors` in one notice (caption "msg") and skipped. Empty when the value is missing.
std::vector<std::uint32_t> ExtraDestinations(const CSettingsStore& settings,
                                             const ErrorSink& errors);

/// A station on `port` with the real broadcast port, host identity and per-user settings file;
/// list texts are measured at a fixed width (front ends with fonts replace `measure`).
StationEnvironment SystemEnvironment(std::uint16_t port);

} // namespace palaverly
