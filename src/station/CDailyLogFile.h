#pragma once
// The daily log file: one tab-separated CP932 line per chat-log row, CR LF line ends, byte for
// byte the format that Windows stations write, so files move freely between the two.

#include "sys/Clock.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace palaverly {

struct COptionValues;

/// The fields of one log line, named after the view's columns they fill again.
struct LogLineFields {
    std::string time;     // field 0 up to its apostrophe: "%2d:%02d"
    std::string receiver; // field 1
    std::string sender;   // field 2
    std::string kind;     // field 3
    std::string content;  // field 4
};

/// Field `n` of a tab-separated line: n <= 0 gives the text before the first tab, n >= 1 the
/// text after the n-th tab up to the next one. Empty when the line has fewer than n tabs.
std::string GetTabField(std::string_view line, int n);

class CDailyLogFile {
public:
    /// Longest piece of a line read back as one line, its line end included: a longer line
    /// is read as several, and a line end right after a full piece is a line of its own.
    static constexpr std::size_t kReadChunk = 1022;

    /// The file name is fixed from `today` for the whole run; the folder is read from
    /// `options.m_logSavePath` (CP932) each time a path is built; `clock` stamps each line.
    CDailyLogFile(const COptionValues& options, const LocalTime& today, Clock clock);

    /// Appending stops while the log folder's file system has less free than this.
    static constexpr unsigned kFreeReservePercent = 5;

    enum class Problem {
        Refused,  // not a regular file of the user's own: a symlink, FIFO, device, or another's
        LowSpace, // the file system would keep less than kFreeReservePercent % free
    };
    /// Told the first time in the run that each problem stops a write or a reload: the path
    /// (UTF-8) and, for Refused, the errno value of OpenRegularFile.
    using ProblemHandler = std::function<void(Problem, const std::string& path, int error)>;
    void SetProblemHandler(ProblemHandler handler) { m_problemHandler = std::move(handler); }

    /// "CHAT%2d%02d%02d.LOG" of year - 1900, month, day: CHAT1261208.LOG for 8 December 2026.
    const std::string& FileName() const { return m_fileName; }
    /// The file name of the day `day`.
    static std::string FileNameFor(const LocalTime& day);

    /// The full path in the file system's encoding (UTF-8), or nothing when the folder is
    /// empty or not absolute (a desktop program has no meaningful current directory) or the
    /// path is too long.
    std::optional<std::string> LogFilePath() const;

    /// Appends one line stamped with the clock's time: "%2d:%02d'%02d\t%s\t%s\t%s\t%s" CR LF,
    /// cut so that it reads back as one line. The file is created with mode 0600. 0 when the whole
    /// line was written, -1 otherwise (no usable folder, cannot open, short or failed write).
    int AppendRow(std::string_view receiver, std::string_view sender, std::string_view kind,
                  std::string_view content);

    /// Starts a batch: until EndBatch the file is opened once (at the first line) and the
    /// lines are kept in order and written together, byte for byte as AppendRow writes them
    /// alone. Within a batch AppendRow gives -1 when the file cannot be opened (the line is
    /// lost, as outside a batch) and 0 when the line is taken for the batch's write.
    void BeginBatch();
    /// Writes the batch's lines with one write and closes the file. Should that write fail,
    /// the lines are written one at a time so that only those the file refuses are lost (a
    /// partial line is taken back). Returns how many taken lines could not be written.
    int EndBatch();

    /// Every line of the file in file order, split into its fields (CR LF read as LF, pieces
    /// of at most kReadChunk bytes, each cut at its first CR or LF); nothing when the file
    /// cannot be opened.
    std::optional<std::vector<LogLineFields>> ReadLines() const;

    /// The last `count` lines of ReadLines, found without reading the whole file: the file is
    /// read backwards in blocks up to a line end that has enough lines after it, and only the
    /// rest is split. Falls back to the whole file when the cut cannot be trusted. Nothing when
    /// the file cannot be opened.
    std::optional<std::vector<LogLineFields>> ReadLastLines(std::size_t count) const;

    /// The line AppendRow writes for these texts at `time`, CR LF included.
    static std::string FormatLine(const LocalTime& time, std::string_view receiver,
                                  std::string_view sender, std::string_view kind,
                                  std::string_view content);

    /// Creates the log folder (and its missing parents) with mode 0700, but only when
    /// `logSavePath` is `defaultPath`: a folder the user chose is never created. 0 when the
    /// folder exists afterwards or is not the default, -1 when it could not be created.
    static int EnsureLogFolder(std::string_view logSavePath, std::string_view defaultPath);
    /// EnsureLogFolder with the platform default of "LogSavePath"; the station calls it once
    /// at start-up.
    static int EnsureDefaultLogFolder(const COptionValues& options);

private:
    int WriteBatch();
    int Open(int flags) const;
    bool HasRoomFor(int fd, std::size_t bytes);
    void Report(Problem problem, const std::string& path, int error) const;

    const COptionValues& m_options;
    Clock m_clock;
    std::string m_fileName;
    // The batch under way: its open file (-1 until the first line opens it) and its lines.
    bool m_batching = false;
    int m_batchFd = -1;
    std::string m_batchBytes;
    std::vector<std::size_t> m_batchLineEnds; // end offset of each line in m_batchBytes
    ProblemHandler m_problemHandler;
    mutable bool m_refusalReported = false;
    mutable bool m_lowSpaceReported = false;
};

} // namespace palaverly
