#pragma once
// Who this station is: its computer name (the address peers use), the user's name (the default
// handle) and the address that identifies it. The choices are pure functions over injected inputs;
// the Local* wrappers feed them from the running system.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace palaverly {

/// How long the start waits for the look-up of its own host name.
inline constexpr std::chrono::milliseconds kResolveTimeout{1000};

/// Peers hold computer names in 16-byte fields.
inline constexpr std::size_t kComputerNameMaxBytes = 15;

/// One IPv4 address of a network interface, as getifaddrs reports it.
struct InterfaceAddress {
    std::string name;
    std::uint32_t address = 0; ///< host byte order
    bool up = false;
    bool loopback = false;
    std::uint32_t netmask = 0; ///< host byte order
    bool broadcast = false;    ///< IFF_BROADCAST: the link has a broadcast domain
    unsigned index = 0;        ///< interface index; 0 when unknown
    bool running = true;       ///< IFF_RUNNING: up with a carrier (a cable, an associated Wi-Fi)
};

/// The computer name for a host name: the text before its first ".", cut to 15 bytes without
/// splitting a double-byte character.
std::string ComputerNameFromHostName(std::string_view hostName);

/// The user name: the password database's name when there is one, else `environmentUser`.
std::string ChooseUserName(std::string_view passwdName, std::string_view environmentUser);

/// True for 127.0.0.0/8 and 0.0.0.0, which no peer can reach this station by.
bool IsUnusableStationAddress(std::uint32_t address);

/// The address that identifies this station: the resolved host address unless it is missing or
/// loopback (Debian maps the host name to 127.0.1.1), else the first up, non-loopback interface
/// address; nullopt when there is none.
std::optional<std::uint32_t> ChooseStationAddress(std::optional<std::uint32_t> resolved,
                                                  const std::vector<InterfaceAddress>& interfaces);

/// gethostname; empty when it fails.
std::string LocalHostName();

/// The first IPv4 address `hostName` resolves to (getaddrinfo, AF_INET), host byte order;
/// nullopt as well when no answer came within `timeout`.
std::optional<std::uint32_t> ResolveIpv4(const std::string& hostName,
                                         std::chrono::milliseconds timeout = kResolveTimeout);

/// Every IPv4 interface address of this machine, in getifaddrs order.
std::vector<InterfaceAddress> LocalInterfaceAddresses();

/// The computer name of this machine (from LocalHostName), in CP932.
std::string LocalComputerName();

/// The user name of the calling process (getpwuid_r of getuid, falling back to $USER), in
/// CP932.
std::string LocalUserName();

} // namespace palaverly
