#pragma once
// Which firewall this machine runs, as far as a user without privileges can tell, and the
// command that lets the chat port in through it. Every answer of this protocol is a
// broadcast, so a firewall's "established" rules never let it in: the port must be open.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace palaverly {

enum class Firewall { Firewalld, Ufw, Nftables };

/// The full path of the program `name` in $PATH or in /usr/sbin and /sbin (where ufw lives,
/// and which a user's $PATH often lacks); empty when there is none.
std::filesystem::path FindCommand(std::string_view name);

/// True when ufw is installed and its configuration `conf` says "ENABLED=yes".
bool UfwEnabled(const std::filesystem::path& conf = "/etc/ufw/ufw.conf");

/// The firewall to name: firewalld when it runs, else ufw when it is enabled, else plain
/// nftables, which every other set-up (iptables-nft included) ends in.
Firewall ChooseFirewall(bool firewalldRunning, bool ufwEnabled);

/// The firewall of this machine; firewalld counts as running when its command is installed
/// (a front end that can ask the system bus passes its answer to ChooseFirewall instead).
Firewall LocalFirewall();

/// The command that opens UDP `port` in `firewall`, for a user with sudo. firewalld and ufw
/// keep the rule; an nft rule lasts until the next boot unless /etc/nftables.conf gets it too.
std::string OpenPortCommand(Firewall firewall, std::uint16_t port);

} // namespace palaverly
