#include "desktop/CAlertSound.h"

#include "sys/PosixFile.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace palaverly {

CAlertSound::~CAlertSound() {
    if (m_context && m_destroy)
        m_destroy(m_context);
    if (m_library)
        ::dlclose(m_library);
}

bool CAlertSound::Load() {
    if (m_tried)
        return m_context != nullptr;
    m_tried = true;
    m_library = ::dlopen("libcanberra.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!m_library)
        return false;
    using CreateFn = int (*)(void**);
    auto create = reinterpret_cast<CreateFn>(::dlsym(m_library, "ca_context_create"));
    m_play = reinterpret_cast<int (*)(void*, unsigned, ...)>(::dlsym(m_library, "ca_context_play"));
    m_destroy = reinterpret_cast<int (*)(void*)>(::dlsym(m_library, "ca_context_destroy"));
    if (!create || !m_play || !m_destroy || create(&m_context) != 0) {
        m_context = nullptr;
        return false;
    }
    return true;
}

bool CAlertSound::Play(const std::string& pathUtf8) {
    if (pathUtf8.empty() || !Load())
        return false;
    // libcanberra would open a FIFO or device named here and wait on it; only a regular file
    // (the user's or a system sound) is handed on.
    const int fd = OpenRegularFile(pathUtf8, O_RDONLY, 0, FileOwners::MineOrSystem);
    if (fd < 0)
        return false;
    // libcanberra opens the name it is given within this call: through our descriptor that is
    // the file checked here, whatever is put in its place meanwhile. ca_context_play then
    // returns at once; the sound plays in libcanberra's own thread.
    const std::string checked = "/proc/self/fd/" + std::to_string(fd);
    const bool played = m_play(m_context, 0, "media.filename", checked.c_str(), "media.role",
                               "event", static_cast<const char*>(nullptr)) == 0;
    ::close(fd);
    return played;
}

} // namespace palaverly
