#include "sys/Firewall.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace palaverly {

std::filesystem::path FindCommand(std::string_view name) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "";
    folders += ":/usr/sbin:/sbin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string folder = folders.substr(start, end - start);
        start = end + 1;
        if (folder.empty())
            continue;
        const std::filesystem::path candidate = std::filesystem::path(folder) / name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

bool UfwEnabled(const std::filesystem::path& conf) {
    if (FindCommand("ufw").empty())
        return false;
    std::ifstream in(conf);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line == "ENABLED=yes")
            return true;
    }
    return false;
}

Firewall ChooseFirewall(bool firewalldRunning, bool ufwEnabled) {
    if (firewalldRunning)
        return Firewall::Firewalld;
    return ufwEnabled ? Firewall::Ufw : Firewall::Nftables;
}

Firewall LocalFirewall() {
    return ChooseFirewall(!FindCommand("firewall-cmd").empty(), UfwEnabled());
}

std::string OpenPortCommand(Firewall firewall, std::uint16_t port) {
    const std::string number = std::to_string(port);
    switch (firewall) {
    case Firewall::Firewalld:
        return "sudo firewall-cmd --permanent --add-port=" + number +
               "/udp && sudo firewall-cmd --reload";
    case Firewall::Ufw:
        return "sudo ufw allow " + number + "/udp";
    case Firewall::Nftables:
        break;
    }
    // The table and chain of Debian's /etc/nftables.conf.
    return "sudo nft insert rule inet filter input udp dport " + number + " accept";
}

} // namespace palaverly
