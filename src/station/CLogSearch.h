#pragma once
// Search over every daily log file of the log folder, newest first. Plain reading of files:
// it holds no station state, so a front end may run it on a worker thread of its own.

#include "sys/Clock.h"

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace palaverly {

struct COptionValues;

/// One line of a daily log file, its texts CP932 as stored.
struct LogFileLine {
    std::string time; // field 0 as stored: "%2d:%02d'%02d"
    std::string receiver;
    std::string sender;
    std::string kind;
    std::string content;
};

/// A daily log file of the folder and the day its name stands for.
struct LogFileEntry {
    LocalTime day;
    std::filesystem::path path;
};

/// One line that matched: its file and its place in that file's lines.
struct LogSearchHit {
    LocalTime day;
    std::filesystem::path path;
    std::size_t lineIndex = 0;
    LogFileLine line;
};

class CLogSearch {
public:
    /// The log folder of "LogSavePath" (CP932) in the file system's encoding; nothing when it
    /// is empty or not absolute, as for the daily log file itself.
    static std::optional<std::filesystem::path> LogFolder(const COptionValues& options);

    /// The day a daily log file name stands for: only names the daily log file would be given
    /// ("CHAT1261208.LOG"), so other files of the folder are left out.
    static std::optional<LocalTime> DayOfFileName(std::string_view name);

    /// Every daily log file of `folder` (regular files only, no symlinks), newest day first.
    static std::vector<LogFileEntry> ListLogFiles(const std::filesystem::path& folder);

    /// The lines of one file in file order (CR LF or LF ends; empty lines left out); nothing
    /// when it cannot be read or is no regular file of the current user (never blocks).
    static std::optional<std::vector<LogFileLine>> ReadLogLines(const std::filesystem::path& path);

    /// Every line of every daily log file of `folder` whose receiver, sender, kind or content
    /// holds `needle` (CP932, character-wise, ASCII letters regardless of case), newest first:
    /// the newest day first and, within a day, the latest line first. An empty needle finds
    /// nothing. `cancel`, when set, stops the search between files (the hits so far are given).
    static std::vector<LogSearchHit> Search(const std::filesystem::path& folder,
                                            std::string_view needle,
                                            const std::atomic<bool>* cancel = nullptr);

    /// "YYYY-MM-DD" of a day.
    static std::string FormatDay(const LocalTime& day);
};

} // namespace palaverly
