#include "sys/CInstanceLock.h"

#include "sys/PosixFile.h"
#include "sys/XdgPaths.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace palaverly {
namespace {

std::string Refusal(const std::filesystem::path& file, const char* what, int error) {
    return "The lock file " + file.string() + " cannot be " + what + " (" + std::strerror(error) +
           "). Without it a second station could start, so this one "
           "does not.";
}

} // namespace

CInstanceLock::CInstanceLock(const std::filesystem::path& folder)
    : m_file(folder / "palaverly.lock") {
    MakePrivateFolders(folder); // a failure shows as the open's failure below
    m_fd = ::open(m_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0) {
        m_problem = Refusal(m_file, "opened", errno);
        return;
    }
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
        m_outcome = Outcome::Acquired;
        return;
    }
    if (errno == EWOULDBLOCK) {
        m_outcome = Outcome::Held;
        return;
    }
    m_problem = Refusal(m_file, "locked", errno);
}

CInstanceLock::~CInstanceLock() {
    if (m_fd >= 0)
        ::close(m_fd); // releases the flock
}

std::filesystem::path CInstanceLock::ChooseFolder(uid_t uid,
                                                  const std::filesystem::path& runtimeRoot,
                                                  const std::filesystem::path& fallback) {
    const std::filesystem::path candidate = runtimeRoot / std::to_string(uid);
    struct stat st {};
    if (::lstat(candidate.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid &&
        (st.st_mode & (S_IWGRP | S_IWOTH)) == 0)
        return candidate;
    return fallback;
}

std::filesystem::path CInstanceLock::DefaultFolder() {
    // XDG_RUNTIME_DIR is not asked: an ssh or su start often lacks it while the desktop's
    // start has it, and both must meet at the same file.
    return ChooseFolder(::getuid(), "/run/user", XdgConfigHome() / "Quillmark");
}

} // namespace palaverly
