#pragma once
// Where one Datagram goes. 255.255.255.255 leaves only through the interface of the default
// route, so a multi-homed host sends the limited broadcast once per broadcast domain, each
// bound to its interface, plus the extra destinations the user named.

#include "sys/Identity.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace palaverly {

/// One send of a Datagram.
struct BroadcastRoute {
    std::uint32_t destination = 0; ///< host byte order
    unsigned interfaceIndex = 0;   ///< 0: the routing table picks the interface
    std::uint32_t source = 0;      ///< the interface's address (host order); 0 with index 0

    bool operator==(const BroadcastRoute&) const = default;
};

/// The extra destinations of the "BroadcastAddresses" value.
struct DestinationList {
    std::vector<std::uint32_t> addresses; ///< host byte order, in the order written
    std::vector<std::string> rejected;    ///< entries that are no usable IPv4 address
};

/// Splits `text` at commas and white space and reads each entry as a dotted IPv4 address
/// (four decimal numbers 0-255). 0.0.0.0 and multicast or reserved addresses (224.0.0.0 and
/// above, 255.255.255.255 excepted) are rejected; repetitions are kept once.
DestinationList ParseDestinationList(std::string_view text);

/// The sends for one Datagram: a limited broadcast on each interface that is up with a
/// carrier, broadcast-capable, not loopback and has neighbours (prefix /31 or shorter), one per
/// interface and one per subnet, in interface order; a plain 255.255.255.255 when no interface
/// fits. Then each extra destination that none of those broadcasts already reaches, without
/// repetitions.
std::vector<BroadcastRoute> ChooseBroadcastRoutes(const std::vector<InterfaceAddress>& interfaces,
                                                  const std::vector<std::uint32_t>& extras);

} // namespace palaverly
