#include "sys/Identity.h"

#include "sys/CurrentUser.h"
#include "text/Cp932.h"

#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <ifaddrs.h>
#include <memory>
#include <mutex>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

namespace palaverly {

std::string ComputerNameFromHostName(std::string_view hostName) {
    const std::string_view name = cp932::UpToNul(hostName.substr(0, hostName.find('.')));
    return cp932::CutToBytes(name, kComputerNameMaxBytes);
}

std::string ChooseUserName(std::string_view passwdName, std::string_view environmentUser) {
    return std::string(passwdName.empty() ? environmentUser : passwdName);
}

bool IsUnusableStationAddress(std::uint32_t address) {
    return address == INADDR_ANY || (address >> 24) == 127;
}

std::optional<std::uint32_t> ChooseStationAddress(std::optional<std::uint32_t> resolved,
                                                  const std::vector<InterfaceAddress>& interfaces) {
    if (resolved && !IsUnusableStationAddress(*resolved))
        return resolved;
    for (const InterfaceAddress& candidate : interfaces) {
        if (candidate.up && !candidate.loopback && !IsUnusableStationAddress(candidate.address))
            return candidate.address;
    }
    return std::nullopt;
}

std::string LocalHostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

namespace {

std::optional<std::uint32_t> LookUpIpv4(const std::string& hostName) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* results = nullptr;
    if (getaddrinfo(hostName.c_str(), nullptr, &hints, &results) != 0 || results == nullptr)
        return std::nullopt;
    std::optional<std::uint32_t> address;
    for (const addrinfo* entry = results; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr != nullptr) {
            address = ntohl(reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr);
            break;
        }
    }
    freeaddrinfo(results);
    return address;
}

} // namespace

std::optional<std::uint32_t> ResolveIpv4(const std::string& hostName,
                                         std::chrono::milliseconds timeout) {
    if (hostName.empty())
        return std::nullopt;
    // getaddrinfo cannot be cancelled, and a silent name server holds it for many seconds: the
    // look-up runs on a thread of its own, and a late answer is dropped with the state it shares.
    struct Lookup {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        std::optional<std::uint32_t> address;
    };
    auto lookup = std::make_shared<Lookup>();
    try {
        std::thread([lookup, hostName] {
            std::optional<std::uint32_t> address = LookUpIpv4(hostName);
            std::lock_guard lock(lookup->mutex);
            lookup->address = address;
            lookup->finished = true;
            lookup->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return LookUpIpv4(hostName); // no thread to spare: wait as before
    }
    std::unique_lock lock(lookup->mutex);
    if (!lookup->done.wait_for(lock, timeout, [&] { return lookup->finished; }))
        return std::nullopt;
    return lookup->address;
}

std::vector<InterfaceAddress> LocalInterfaceAddresses() {
    std::vector<InterfaceAddress> addresses;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return addresses;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        InterfaceAddress item;
        item.name = entry->ifa_name != nullptr ? entry->ifa_name : "";
        item.address =
            ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
        item.up = (entry->ifa_flags & IFF_UP) != 0;
        item.loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        item.broadcast = (entry->ifa_flags & IFF_BROADCAST) != 0;
        item.running = (entry->ifa_flags & IFF_RUNNING) != 0;
        if (entry->ifa_netmask != nullptr && entry->ifa_netmask->sa_family == AF_INET)
            item.netmask =
                ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr);
        // An alias label ("eth0:1") names the link before its colon.
        const std::string link = item.name.substr(0, item.name.find(':'));
        item.index = if_nametoindex(link.c_str());
        addresses.push_back(std::move(item));
    }
    freeifaddrs(list);
    return addresses;
}

// Names from the system are UTF-8; peers expect CP932.
std::string LocalComputerName() {
    return ComputerNameFromHostName(cp932::FromUtf8Lossy(LocalHostName()));
}

std::string LocalUserName() {
    const std::optional<UserAccount> account = CurrentUserAccount();
    const std::string passwdName = account ? account->name : std::string();
    const char* environmentUser = std::getenv("USER");
    return cp932::FromUtf8Lossy(
        ChooseUserName(passwdName, environmentUser != nullptr ? environmentUser : ""));
}

} // namespace palaverly
