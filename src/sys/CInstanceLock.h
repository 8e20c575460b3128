#pragma once
// One station per user: a lock file held with flock for the life of the process.

#include <filesystem>

namespace palaverly {

class CInstanceLock {
public:
    /// Tries to take the lock in `folder` (created when missing); never waits.
    explicit CInstanceLock(const std::filesystem::path& folder);
    ~CInstanceLock();
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;

    /// True when this process holds the lock, false when another process holds it. A lock
    /// file that cannot be opened at all counts as acquired: the station then runs unguarded
    /// rather than not at all.
    bool Acquired() const { return m_acquired; }

    /// $XDG_RUNTIME_DIR when set and usable, else the settings folder.
    static std::filesystem::path DefaultFolder();

private:
    int m_fd = -1;
    bool m_acquired = false;
};

} // namespace palaverly
