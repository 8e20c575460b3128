#include "settings/CSettingsStore.h"

#include "settings/CSettingsLines.h"
#include "sys/PosixFile.h"
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
    if (target.has_parent_path()) {
        if (int error = MakePrivateFolders(target.parent_path()); error != 0) {
            Fail("cannot create " + target.parent_path().string(), error);
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
    if (int error = MakePrivateFolders(folder); error != 0) {
        Fail("cannot create " + folder.string(), error);
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

    std::string failedStep;
    if (int error = ReplaceFileAtomically(target, text, 0600, &failedStep); error != 0) {
        Fail(failedStep, error);
        return -1;
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
