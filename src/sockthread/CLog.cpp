#include "CLog.h"

#include "sys/PosixFile.h"
#include "sys/XdgPaths.h"
#include "text/Cp932.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <pwd.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace cp932 = palaverly::cp932;

constexpr std::string_view kProfileFileName = "palaverly.ini";

// WriteReg rewrites the whole file; two writers in this process must not lose each other's
// change.
std::mutex& WriteMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string ProfilePath() {
    return (palaverly::XdgConfigHome() / kProfileFileName).string();
}

// The file's lines without their "\n"; nullopt when it exists but cannot be read.
std::optional<std::vector<std::string>> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::string content;
    if (const int error = palaverly::ReadWholeFile(path, content); error != 0) {
        if (error == ENOENT)
            return lines;
        return std::nullopt;
    }
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        lines.emplace_back(content, start, end - start);
        start = end + 1;
    }
    return lines;
}

// A crash while writing leaves either the old profile or the new one, never a torn one.
bool ReplaceFile(const std::string& path, const std::vector<std::string>& lines) {
    std::string content;
    for (const std::string& line : lines) {
        content += line;
        content += '\n';
    }
    return palaverly::ReplaceFileAtomically(path, content) == 0;
}

std::string_view Trim(std::string_view text) {
    constexpr std::string_view kBlank = " \t\r";
    const std::size_t first = text.find_first_not_of(kBlank);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Names compare without ASCII case; the trail byte of a double-byte character is never folded.
bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size();) {
        const std::size_t length = cp932::CharLength(a, i);
        if (length != cp932::CharLength(b, i))
            return false;
        if (length == 1 ? FoldAscii(a[i]) != FoldAscii(b[i])
                        : a.substr(i, length) != b.substr(i, length))
            return false;
        i += length;
    }
    return true;
}

std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return Trim(line.substr(1, close - 1));
}

struct Entry {
    std::string_view name;
    std::string_view value;
};

std::optional<Entry> EntryOf(std::string_view line) {
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[')
        return std::nullopt;
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    std::string_view value = Trim(trimmed.substr(equals + 1));
    // A value written with spaces at its ends, or inside quotes, is kept inside one more pair.
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return Entry{Trim(trimmed.substr(0, equals)), value};
}

std::string EntryLine(std::string_view name, std::string_view value) {
    const bool quote =
        !value.empty() && (value.front() == ' ' || value.front() == '\t' || value.back() == ' ' ||
                           value.back() == '\t' ||
                           (value.size() >= 2 && value.front() == '"' && value.back() == '"'));
    std::string line(name);
    line += '=';
    if (quote)
        line += '"';
    line += value;
    if (quote)
        line += '"';
    return line;
}

struct Range {
    std::size_t begin; // the section's header line
    std::size_t end;   // the next header, or the end of the file
};

std::optional<Range> FindSection(const std::vector<std::string>& lines, std::string_view section,
                                 std::size_t from = 0) {
    for (std::size_t i = from; i < lines.size(); ++i) {
        const auto name = SectionName(lines[i]);
        if (!name || !SameName(*name, section))
            continue;
        std::size_t end = i + 1;
        while (end < lines.size() && !SectionName(lines[end]))
            ++end;
        return Range{i, end};
    }
    return std::nullopt;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

bool IsStorableSection(std::string_view name) {
    return !name.empty() && !HasLineBreak(name) && name.find(']') == std::string_view::npos;
}

bool IsStorableEntry(std::string_view name) {
    return !name.empty() && !HasLineBreak(name) && name.find('=') == std::string_view::npos &&
           name.front() != ';' && name.front() != '[';
}

void SetEntry(std::vector<std::string>& lines, std::string_view section, std::string_view entry,
              std::string_view value) {
    const auto range = FindSection(lines, section);
    if (!range) {
        if (!lines.empty() && !Trim(lines.back()).empty())
            lines.emplace_back();
        lines.push_back("[" + std::string(section) + "]");
        lines.push_back(EntryLine(entry, value));
        return;
    }
    std::size_t lastFilled = range->begin;
    for (std::size_t i = range->begin + 1; i < range->end; ++i) {
        if (const auto found = EntryOf(lines[i]); found && SameName(found->name, entry)) {
            lines[i] = EntryLine(found->name, value); // the name keeps the spelling it had
            return;
        }
        if (!Trim(lines[i]).empty())
            lastFilled = i;
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastFilled + 1),
                 EntryLine(entry, value));
}

bool RemoveEntry(std::vector<std::string>& lines, std::string_view section,
                 std::string_view entry) {
    bool removed = false;
    for (auto range = FindSection(lines, section); range;
         range = FindSection(lines, section, range->end)) {
        for (std::size_t i = range->end; i-- > range->begin + 1;) {
            if (const auto found = EntryOf(lines[i]); found && SameName(found->name, entry)) {
                lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
                --range->end;
                removed = true;
            }
        }
    }
    return removed;
}

bool RemoveSection(std::vector<std::string>& lines, std::string_view section) {
    bool removed = false;
    while (const auto range = FindSection(lines, section)) {
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(range->begin),
                    lines.begin() + static_cast<std::ptrdiff_t>(range->end));
        removed = true;
    }
    return removed;
}

} // namespace

CLog::CLog() = default;

CLog::CLog(const CLog&) = default;

CLog& CLog::operator=(const CLog&) = default;

CLog::~CLog() = default;

int CLog::WriteReg(char* section, char* entry, char* value) {
    if (section == nullptr)
        return -1;
    const std::string_view sectionName = Trim(section);
    if (!IsStorableSection(sectionName))
        return -1;
    std::string_view entryName;
    if (entry != nullptr) {
        entryName = Trim(entry);
        if (!IsStorableEntry(entryName))
            return -1;
    }
    if (value != nullptr) {
        const std::string_view text = value;
        if (HasLineBreak(text) || text.size() > static_cast<std::size_t>(kMaxValueBytes))
            return -1;
    }

    const std::string path = ProfilePath();
    if (path.empty())
        return -1;
    std::lock_guard lock(WriteMutex());
    auto lines = ReadLines(path);
    if (!lines)
        return -1; // an unreadable profile is not overwritten
    if (entry == nullptr) {
        if (!RemoveSection(*lines, sectionName))
            return 1;
    } else if (value == nullptr) {
        if (!RemoveEntry(*lines, sectionName, entryName))
            return 1;
    } else {
        SetEntry(*lines, sectionName, entryName, value);
    }
    if (palaverly::MakePrivateFolders(path.substr(0, path.rfind('/'))) != 0 ||
        !ReplaceFile(path, *lines))
        return -1;
    return 1;
}

int CLog::ReadReg(char* section, char* entry, char* out) {
    if (out == nullptr)
        return -1;
    out[0] = '\0';
    if (section == nullptr || entry == nullptr)
        return -1;
    const std::string path = ProfilePath();
    if (path.empty())
        return -1;
    const auto lines = ReadLines(path);
    if (!lines)
        return -1;
    const std::string_view sectionName = Trim(section);
    const std::string_view entryName = Trim(entry);
    const auto range = FindSection(*lines, sectionName);
    if (!range)
        return -1;
    for (std::size_t i = range->begin + 1; i < range->end; ++i) {
        const auto found = EntryOf((*lines)[i]);
        if (!found || !SameName(found->name, entryName))
            continue;
        const std::string text = cp932::CutToBytes(found->value, kMaxValueBytes);
        std::memcpy(out, text.data(), text.size());
        out[text.size()] = '\0';
        return text.empty() ? -1 : 0;
    }
    return -1;
}
