#include "sys/PosixFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace palaverly {

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

int ReadToEnd(int fd, std::string& out) {
    out.clear();
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return 0;
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

int ReadWholeFile(const std::filesystem::path& path, std::string& out) {
    // O_NONBLOCK: a FIFO put in the file's place must not hang the UI thread.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return errno;
    struct stat st {};
    int error = 0;
    if (::fstat(fd, &st) != 0)
        error = errno;
    else if (!S_ISREG(st.st_mode))
        error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    else
        error = ReadToEnd(fd, out);
    ::close(fd);
    return error;
}

int OpenRegularFile(const std::filesystem::path& path, int flags, mode_t mode, FileOwners owners) {
    flags |= O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (owners == FileOwners::Mine)
        flags |= O_NOFOLLOW;
    const int fd = ::open(path.c_str(), flags, mode);
    if (fd < 0) {
        // A FIFO without a reader and a device without hardware refuse a non-blocking open so.
        if (errno == ENXIO)
            errno = EINVAL;
        return -1;
    }
    struct stat st {};
    int error = 0;
    if (::fstat(fd, &st) != 0)
        error = errno;
    else if (!S_ISREG(st.st_mode))
        error = EINVAL;
    else if (st.st_uid != ::geteuid() && !(owners == FileOwners::MineOrSystem && st.st_uid == 0))
        error = EPERM;
    else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        error = errno;
    if (error != 0) {
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

bool KeepsFreeReserve(int fd, std::size_t bytes, unsigned percent) {
    struct statvfs fs {};
    if (::fstatvfs(fd, &fs) != 0 || fs.f_blocks == 0 || fs.f_frsize == 0)
        return true;
    const unsigned long long blockSize = fs.f_frsize;
    const unsigned long long needed = (bytes + blockSize - 1) / blockSize;
    if (fs.f_bavail < needed)
        return false;
    return (fs.f_bavail - needed) * 100 >= static_cast<unsigned long long>(fs.f_blocks) * percent;
}

int ReplaceFileAtomically(const std::filesystem::path& target, std::string_view content,
                          mode_t mode, std::string* failedStep) {
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::string temp = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    auto fail = [&](const std::string& step) {
        const int error = errno != 0 ? errno : EIO;
        if (fd >= 0) {
            ::close(fd);
            ::unlink(temp.c_str());
        }
        if (failedStep != nullptr)
            *failedStep = step;
        return error;
    };
    if (fd < 0)
        return fail("cannot create a temporary file in " + folder.string());
    if (::fchmod(fd, mode) != 0)
        return fail("cannot set the mode of " + temp);
    if (!WriteAll(fd, content))
        return fail("cannot write " + temp);
    if (::fsync(fd) != 0)
        return fail("cannot flush " + temp);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0 || ::rename(temp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        if (failedStep != nullptr)
            *failedStep =
                closed != 0 ? "cannot write " + temp : "cannot replace " + target.string();
        return error;
    }
    // Make the rename itself durable; some file systems cannot sync a folder, which is fine.
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return 0;
}

int MakePrivateFolders(const std::filesystem::path& folder) {
    const std::string path = folder.string();
    if (path.empty())
        return ENOENT;
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        struct stat st {};
        if (::stat(prefix.c_str(), &st) != 0 && ::mkdir(prefix.c_str(), 0700) != 0 &&
            errno != EEXIST)
            return errno;
        if (slash == std::string::npos)
            break;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return errno;
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

} // namespace palaverly
