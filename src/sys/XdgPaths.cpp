#include "sys/XdgPaths.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

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
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* result = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result &&
        result->pw_dir && *result->pw_dir)
        return result->pw_dir;
    return ".";
}

std::filesystem::path XdgConfigHome() {
    return BaseFolder("XDG_CONFIG_HOME", ".config");
}

std::filesystem::path XdgDataHome() {
    return BaseFolder("XDG_DATA_HOME", ".local/share");
}

} // namespace palaverly
