#pragma once
// The account the process runs as, from the password database.

#include <optional>
#include <string>

namespace palaverly {

struct UserAccount {
    std::string name; ///< login name
    std::string home; ///< home folder, may be empty
};

/// getpwuid_r of the real user id, with a buffer that grows until the entry fits; nullopt when
/// the account has no entry (a container without /etc/passwd, an NSS failure).
std::optional<UserAccount> CurrentUserAccount();

} // namespace palaverly
