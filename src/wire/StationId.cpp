#include "wire/StationId.h"

#include <cstdio>
#include <cstdlib>

namespace palaverly {
namespace {
// atol of a short slice of text (the slice is not zero-terminated).
long AtolOf(std::string_view text) {
    std::string copy(text);
    return std::atol(copy.c_str());
}
} // namespace

std::string StationIdFromDotted(std::string_view dotted) {
    if (dotted.empty())
        return {};
    long octets[4] = {0, 0, 0, 0};
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        std::size_t dot = dotted.find('.', start);
        octets[i] =
            AtolOf(dotted.substr(start, dot == std::string_view::npos ? dotted.npos : dot - start));
        if (dot == std::string_view::npos)
            break;
        start = dot + 1;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%03ld%03ld%03ld%03ld", octets[0], octets[1], octets[2],
                  octets[3]);
    return buffer;
}

std::string StationIdFromAddress(std::uint32_t address) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%03u%03u%03u%03u", (address >> 24) & 0xFFu,
                  (address >> 16) & 0xFFu, (address >> 8) & 0xFFu, address & 0xFFu);
    return buffer;
}

std::string StationIdDisplay(std::string_view stationId) {
    if (stationId.find('.') != std::string_view::npos)
        return std::string(stationId);
    if (stationId.empty())
        return {};
    long parts[4];
    for (int i = 0; i < 4; ++i) {
        std::size_t from = static_cast<std::size_t>(i) * 3;
        parts[i] = from < stationId.size() ? AtolOf(stationId.substr(from, 3)) : 0;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%3ld.%3ld.%3ld.%3ld", parts[0], parts[1], parts[2],
                  parts[3]);
    return buffer;
}

std::string ChooseStationId(std::optional<std::uint32_t> resolved,
                            const std::vector<InterfaceAddress>& interfaces) {
    const std::optional<std::uint32_t> address = ChooseStationAddress(resolved, interfaces);
    return address ? StationIdFromAddress(*address) : std::string();
}

std::string MovedStationId(const std::string& current,
                           const std::vector<InterfaceAddress>& interfaces) {
    std::uint32_t address = 0;
    for (std::size_t i = 0; i < 4 && current.size() == 12; ++i)
        address = address << 8 | static_cast<std::uint32_t>(AtolOf(current.substr(i * 3, 3)));
    for (const InterfaceAddress& candidate : interfaces)
        if (candidate.up && address != 0 && candidate.address == address)
            return current;
    const std::string moved = ChooseStationId(std::nullopt, interfaces);
    return moved.empty() ? current : moved;
}

std::string LocalStationId(const std::string& hostName) {
    return ChooseStationId(ResolveIpv4(hostName), LocalInterfaceAddresses());
}

} // namespace palaverly
