#include "sys/XdgPaths.h"

#include "sys/CurrentUser.h"

#include <cstdlib>

namespace palaverly {
namespace {

std::filesystem::path BaseFolder(const char* variable, const char* fallback) {
    // Relative values are to be ignored: they would depend on the working folder.
    if (const char* value = std::getenv(variable); value && *value == '/')
        return value;
    return HomeFolder() / fallback;
}

} // namespace

std::filesystem::path HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const std::optional<UserAccount> account = CurrentUserAccount();
        account && !account->home.empty())
        return account->home;
    return ".";
}

std::filesystem::path XdgConfigHome() {
    return BaseFolder("XDG_CONFIG_HOME", ".config");
}

std::filesystem::path XdgDataHome() {
    return BaseFolder("XDG_DATA_HOME", ".local/share");
}

} // namespace palaverly
