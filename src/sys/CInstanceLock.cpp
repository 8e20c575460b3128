#include "sys/CInstanceLock.h"

#include "sys/PosixFile.h"
#include "sys/XdgPaths.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace palaverly {

CInstanceLock::CInstanceLock(const std::filesystem::path& folder) {
    MakePrivateFolders(folder); // a failure shows as the open's failure below
    std::filesystem::path file = folder / "palaverly.lock";
    m_fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        // Without a lock file we cannot tell whether another station runs; refusing to start
        // would leave the user with no station at all, so we run.
        m_acquired = true;
        return;
    }
    m_acquired = ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
}

CInstanceLock::~CInstanceLock() {
    if (m_fd >= 0)
        ::close(m_fd); // releases the flock
}

std::filesystem::path CInstanceLock::DefaultFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        struct stat st {};
        if (::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) && ::access(runtime, W_OK) == 0)
            return runtime;
    }
    return XdgConfigHome() / "Quillmark";
}

} // namespace palaverly
