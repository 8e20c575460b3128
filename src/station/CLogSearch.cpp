#include "station/CLogSearch.h"

#include "settings/COptionValues.h"
#include "station/CDailyLogFile.h"
#include "sys/PosixFile.h"
#include "text/Cp932.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <system_error>
#include <tuple>
#include <unistd.h>

namespace palaverly {

std::optional<std::filesystem::path> CLogSearch::LogFolder(const COptionValues& options) {
    const std::string folder = cp932::ToUtf8(options.m_logSavePath);
    if (folder.empty() || folder.front() != '/')
        return std::nullopt;
    return std::filesystem::path(folder);
}

std::optional<LocalTime> CLogSearch::DayOfFileName(std::string_view name) {
    // "CHAT" + year - 1900 (two or three digits) + month and day (two each) + ".LOG".
    constexpr std::string_view kPrefix = "CHAT", kSuffix = ".LOG";
    if (name.size() < kPrefix.size() + 6 + kSuffix.size() || !name.starts_with(kPrefix) ||
        !name.ends_with(kSuffix))
        return std::nullopt;
    const std::string_view digits =
        name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
    if (digits.size() > 8 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int number = std::stoi(std::string(digits));
    LocalTime day;
    day.year = number / 10000 + 1900;
    day.month = number / 100 % 100;
    day.day = number % 100;
    if (day.month < 1 || day.month > 12 || day.day < 1 || day.day > 31)
        return std::nullopt;
    // The name must be the one the daily log file takes for that day, byte for byte.
    if (CDailyLogFile::FileNameFor(day) != name)
        return std::nullopt;
    return day;
}

std::vector<LogFileEntry> CLogSearch::ListLogFiles(const std::filesystem::path& folder) {
    std::vector<LogFileEntry> files;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::optional<LocalTime> day = DayOfFileName(it->path().filename().native());
        // A symlink in a log's place is left out, as the daily log file refuses to follow one.
        if (day && std::filesystem::is_regular_file(it->symlink_status(error)))
            files.push_back({*day, it->path()});
    }
    std::sort(files.begin(), files.end(), [](const LogFileEntry& a, const LogFileEntry& b) {
        return std::tie(a.day.year, a.day.month, a.day.day) >
               std::tie(b.day.year, b.day.month, b.day.day);
    });
    return files;
}

std::optional<std::vector<LogFileLine>>
CLogSearch::ReadLogLines(const std::filesystem::path& path) {
    // Opened as the daily log file opens it: a FIFO, a device or a symlink put in a log's
    // place is refused without blocking, and so is a file of another user.
    const int fd = OpenRegularFile(path, O_RDONLY, 0, FileOwners::Mine);
    if (fd < 0)
        return std::nullopt;
    std::string bytes;
    const int error = ReadToEnd(fd, bytes);
    ::close(fd);
    if (error != 0)
        return std::nullopt;
    std::vector<LogFileLine> lines;
    std::string_view rest = bytes;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view text = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        text = text.substr(0, text.find('\r'));
        if (text.empty())
            continue;
        lines.push_back({GetTabField(text, 0), GetTabField(text, 1), GetTabField(text, 2),
                         GetTabField(text, 3), GetTabField(text, 4)});
    }
    return lines;
}

std::vector<LogSearchHit> CLogSearch::Search(const std::filesystem::path& folder,
                                             std::string_view needle,
                                             const std::atomic<bool>* cancel) {
    std::vector<LogSearchHit> hits;
    if (needle.empty())
        return hits;
    for (const LogFileEntry& file : ListLogFiles(folder)) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            break;
        std::optional<std::vector<LogFileLine>> lines = ReadLogLines(file.path);
        if (!lines)
            continue;
        for (std::size_t i = lines->size(); i-- > 0;) {
            const LogFileLine& line = (*lines)[i];
            // Field by field, so that a match never spans a tab.
            if (cp932::ContainsNoCase(line.content, needle) ||
                cp932::ContainsNoCase(line.sender, needle) ||
                cp932::ContainsNoCase(line.receiver, needle) ||
                cp932::ContainsNoCase(line.kind, needle))
                hits.push_back({file.day, file.path, i, line});
        }
    }
    return hits;
}

std::string CLogSearch::FormatDay(const LocalTime& day) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", day.year, day.month, day.day);
    return text;
}

} // namespace palaverly
