#include "settings/CSettingsStore.h"

#include "settings/CSettingsLines.h"
#include "sys/XdgPaths.h"
#include "text/Cp932.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace palaverly {
namespace {

namespace fs = std::filesystem;

// Reads a whole regular file. Returns 0 or an errno value. O_NONBLOCK keeps a FIFO put in
// the file's place from hanging the UI thread.
int ReadWholeFile(const fs::path& path, std::string& out) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int error = errno;
        ::close(fd);
        return error;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    }
    out.clear();
    char buffer[8192];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int error = errno;
            ::close(fd);
            return error;
        }
        if (n == 0)
            break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return 0;
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
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

} // namespace

CSettingsStore::CSettingsStore(std::filesystem::path file) : m_file(std::move(file)) {}

std::filesystem::path CSettingsStore::DefaultPath() {
    return XdgConfigHome() / "Quillmark" / "palaverly.conf";
}

void CSettingsStore::Fail(std::string what, int error) const {
    m_lastError = std::move(what);
    if (error != 0) {
        m_lastError += ": ";
        m_lastError += std::strerror(error);
    }
}

std::filesystem::path CSettingsStore::Target() const {
    // Dotfile managers link the file from elsewhere; a rename over the link would cut it off.
    std::error_code ec;
    if (fs::is_symlink(m_file, ec)) {
        fs::path resolved = fs::weakly_canonical(m_file, ec);
        if (!ec)
            return resolved;
    }
    return m_file;
}

bool CSettingsStore::EnsureFile(const std::filesystem::path& target) const {
    std::error_code ec;
    if (target.has_parent_path()) {
        fs::create_directories(target.parent_path(), ec);
        if (ec) {
            Fail("cannot create " + target.parent_path().string(), ec.value());
            return false;
        }
    }
    int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    if (errno == EEXIST)
        return true;
    Fail("cannot create " + target.string(), errno);
    return false;
}

int CSettingsStore::ReadSetting(std::string_view name, std::string& value,
                                std::size_t bufferSize) const {
    fs::path target = Target();
    if (!EnsureFile(target))
        return -1;
    std::string text;
    if (int error = ReadWholeFile(target, text); error != 0) {
        Fail("cannot read " + target.string(), error);
        return -1;
    }
    auto stored = CSettingsLines::Parse(text).Find(name);
    if (!stored)
        return -1;
    auto sjis = cp932::FromUtf8(*stored);
    if (!sjis || sjis->size() + 1 > bufferSize)
        return -1;
    value = std::move(*sjis);
    return 0;
}

std::optional<std::string> CSettingsStore::ReadText(std::string_view name,
                                                    std::size_t bufferSize) const {
    std::string value;
    if (ReadSetting(name, value, bufferSize) != 0)
        return std::nullopt;
    return value;
}

std::optional<int> CSettingsStore::ReadNumber(std::string_view name, std::size_t bufferSize) const {
    auto text = ReadText(name, bufferSize);
    if (!text)
        return std::nullopt;
    return ParseNumber(*text);
}

int CSettingsStore::WriteSetting(std::string_view name, std::string_view value) {
    return WriteSettings({{std::string(name), std::string(value)}});
}

int CSettingsStore::WriteSettings(const std::vector<std::pair<std::string, std::string>>& values) {
    for (const auto& [name, value] : values) {
        if (!CSettingsLines::IsValidName(name)) {
            Fail("invalid value name \"" + name + "\"", 0);
            return -1;
        }
    }
    fs::path target = Target();
    fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        Fail("cannot create " + folder.string(), ec.value());
        return -1;
    }

    // A file we cannot read must not be replaced by one holding only the new values.
    std::string text;
    if (int error = ReadWholeFile(target, text); error != 0 && error != ENOENT) {
        Fail("cannot read " + target.string(), error);
        return -1;
    }
    CSettingsLines lines = CSettingsLines::Parse(text);
    for (const auto& [name, value] : values)
        lines.Set(name, cp932::ToUtf8(cp932::UpToNul(value)));
    text = lines.Text();

    std::string temp = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        Fail("cannot create a temporary file in " + folder.string(), errno);
        return -1;
    }
    auto abandon = [&](const std::string& what) {
        int error = errno;
        if (fd >= 0)
            ::close(fd);
        ::unlink(temp.c_str());
        Fail(what, error);
        return -1;
    };
    if (::fchmod(fd, 0600) != 0)
        return abandon("cannot set the mode of " + temp);
    if (!WriteAll(fd, text))
        return abandon("cannot write " + temp);
    if (::fsync(fd) != 0)
        return abandon("cannot flush " + temp);
    int closed = ::close(fd);
    fd = -1;
    if (closed != 0)
        return abandon("cannot write " + temp);
    if (::rename(temp.c_str(), target.c_str()) != 0)
        return abandon("cannot replace " + target.string());

    // Make the rename itself durable; some file systems cannot sync a folder, which is fine.
    int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return 0;
}

int CSettingsStore::ParseNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1)
            magnitude = static_cast<long long>(INT_MAX) + 1; // saturate, keep reading digits
    }
    long long result = negative ? -magnitude : magnitude;
    if (result > INT_MAX)
        return INT_MAX;
    return static_cast<int>(result);
}

} // namespace palaverly
