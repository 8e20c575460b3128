#include "wire/BroadcastRoutes.h"

#include <algorithm>
#include <arpa/inet.h>
#include <bit>
#include <netinet/in.h>

namespace palaverly {
namespace {

struct Subnet {
    std::uint32_t network;
    std::uint32_t mask;

    bool Contains(std::uint32_t address) const { return (address & mask) == network; }
};

bool IsSeparator(char c) {
    return c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

DestinationList ParseDestinationList(std::string_view text) {
    DestinationList result;
    std::size_t position = 0;
    while (position < text.size()) {
        if (IsSeparator(text[position])) {
            ++position;
            continue;
        }
        std::size_t end = position;
        while (end < text.size() && !IsSeparator(text[end]))
            ++end;
        const std::string entry(text.substr(position, end - position));
        position = end;

        in_addr parsed{};
        const bool dotted = inet_pton(AF_INET, entry.c_str(), &parsed) == 1;
        const std::uint32_t address = ntohl(parsed.s_addr);
        // Multicast and the reserved class E would leave as something other than chat traffic.
        const bool usable = dotted && address != INADDR_ANY &&
                            (address < 0xE0000000u || address == INADDR_BROADCAST);
        if (!usable) {
            result.rejected.push_back(entry);
            continue;
        }
        if (std::find(result.addresses.begin(), result.addresses.end(), address) ==
            result.addresses.end())
            result.addresses.push_back(address);
    }
    return result;
}

std::vector<BroadcastRoute> ChooseBroadcastRoutes(const std::vector<InterfaceAddress>& interfaces,
                                                  const std::vector<std::uint32_t>& extras) {
    std::vector<BroadcastRoute> routes;
    std::vector<Subnet> covered;
    std::vector<unsigned> usedInterfaces;
    for (const InterfaceAddress& candidate : interfaces) {
        // Without a carrier nobody hears it; the carrier's return then counts as a new route.
        if (!candidate.up || !candidate.running || candidate.loopback || !candidate.broadcast ||
            candidate.index == 0)
            continue;
        if (IsUnusableStationAddress(candidate.address))
            continue;
        // A /32 has no neighbour to hear a broadcast; a /31 has one (RFC 3021).
        if (std::popcount(candidate.netmask) > 31)
            continue;
        const Subnet subnet{candidate.address & candidate.netmask, candidate.netmask};
        const bool sameSubnet = std::any_of(covered.begin(), covered.end(), [&](const Subnet& s) {
            return s.network == subnet.network && s.mask == subnet.mask;
        });
        // A second address on one link, or a second link into one subnet, would deliver the
        // Datagram twice to the same stations.
        if (sameSubnet || std::find(usedInterfaces.begin(), usedInterfaces.end(),
                                    candidate.index) != usedInterfaces.end())
            continue;
        covered.push_back(subnet);
        usedInterfaces.push_back(candidate.index);
        routes.push_back({INADDR_BROADCAST, candidate.index, candidate.address});
    }
    if (routes.empty())
        routes.push_back({INADDR_BROADCAST, 0, 0});

    for (const std::uint32_t extra : extras) {
        if (extra == INADDR_BROADCAST)
            continue; // every send above is one already
        const bool reached = std::any_of(covered.begin(), covered.end(),
                                         [extra](const Subnet& s) { return s.Contains(extra); });
        const BroadcastRoute route{extra, 0, 0};
        if (reached || std::find(routes.begin(), routes.end(), route) != routes.end())
            continue;
        routes.push_back(route);
    }
    return routes;
}

} // namespace palaverly
