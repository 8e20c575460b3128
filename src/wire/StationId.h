#pragma once
// The station identifier carried in INFO, GETM, SETM and BYE: the IPv4 address as twelve digits.

#include "sys/Identity.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace palaverly {

/// "192.168.1.10" -> "192168001010" (each octet "%03d"); empty for an empty text.
std::string StationIdFromDotted(std::string_view dotted);

/// The StationId of an IPv4 address given in host byte order (0xC0A8010A -> "192168001010").
std::string StationIdFromAddress(std::uint32_t address);

/// Display form for the roster's address column: a text containing "." is shown unchanged,
/// an empty text stays empty, otherwise characters 0-2, 3-5, 6-8 and 9-11 are each read as a
/// number and written "%3d.%3d.%3d.%3d" ("192168001010" -> "192.168.  1. 10").
std::string StationIdDisplay(std::string_view stationId);

/// The StationId for the address ChooseStationAddress picks; empty when there is none.
std::string ChooseStationId(std::optional<std::uint32_t> resolved,
                            const std::vector<InterfaceAddress>& interfaces);

/// The StationId once the interfaces have changed, without looking up any name (a silent name
/// server would hold the caller): `current` while its address is still on an up interface,
/// else the one ChooseStationAddress picks from `interfaces` alone; `current` when none fits.
std::string MovedStationId(const std::string& current,
                           const std::vector<InterfaceAddress>& interfaces);

/// The StationId of this machine for `hostName`; empty when no address fits.
std::string LocalStationId(const std::string& hostName);

} // namespace palaverly
