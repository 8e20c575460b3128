#include "sys/CurrentUser.h"

#include <cerrno>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace palaverly {

std::optional<UserAccount> CurrentUserAccount() {
    const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 1024);
    // Directory services can return entries larger than the suggested size: grow, but bounded.
    for (;;) {
        passwd entry{};
        passwd* found = nullptr;
        const int rc = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found);
        if (rc == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (rc != 0 || found == nullptr)
            return std::nullopt;
        UserAccount account;
        account.name = found->pw_name != nullptr ? found->pw_name : "";
        account.home = found->pw_dir != nullptr ? found->pw_dir : "";
        return account;
    }
}

} // namespace palaverly
