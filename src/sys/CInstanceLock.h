#pragma once
// One station per user: a lock file held with flock for the life of the process. Its place
// depends on the user alone, not on the environment of the start, so that a start from the
// desktop and one over ssh (with or without XDG_RUNTIME_DIR) find the same file.

#include <filesystem>
#include <string>
#include <sys/types.h>

namespace palaverly {

class CInstanceLock {
public:
    enum class Outcome {
        Acquired,   ///< this process holds the lock
        Held,       ///< another process holds it
        Unavailable ///< the lock file cannot be opened or locked: Problem() says why
    };

    /// Tries to take the lock file "palaverly.lock" in `folder` (created private when
    /// missing); never waits.
    explicit CInstanceLock(const std::filesystem::path& folder);
    ~CInstanceLock();
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;

    /// True only when this process holds the lock. Without a lock file nobody can tell
    /// whether another station runs, so that is a refusal too, never a second station.
    bool Acquired() const { return m_outcome == Outcome::Acquired; }
    Outcome Result() const { return m_outcome; }

    /// The lock file.
    const std::filesystem::path& File() const { return m_file; }

    /// For Unavailable: a sentence naming the file and the reason, for the user; else empty.
    const std::string& Problem() const { return m_problem; }

    /// The folder for the calling user: ChooseFolder with /run/user and the settings folder.
    static std::filesystem::path DefaultFolder();

    /// `runtimeRoot`/<uid> when it is a folder (not a link) owned by `uid` that nobody else
    /// may write to, as logind makes it; else `fallback`.
    static std::filesystem::path ChooseFolder(uid_t uid, const std::filesystem::path& runtimeRoot,
                                              const std::filesystem::path& fallback);

private:
    int m_fd = -1;
    Outcome m_outcome = Outcome::Unavailable;
    std::filesystem::path m_file;
    std::string m_problem;
};

} // namespace palaverly
