#include "station/CDailyLogFile.h"

#include "settings/COptionValues.h"
#include "sys/PosixFile.h"
#include "text/Cp932.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace palaverly {
namespace {

// A written line and its line end fit in what one read takes back, so that it reloads as one
// row on this system and on Windows stations alike.
constexpr std::size_t kMaxLineBytes = CDailyLogFile::kReadChunk - 1;

// A tab, CR or LF inside a text would split its line when read back (and let a peer forge
// log lines); other control bytes and DEL would reach whatever terminal or viewer shows the
// file. No Windows station can type them, and they are never a Shift-JIS trail byte. A NUL
// ends a text as it does in the fixed buffers of the wire.
void AppendField(std::string& line, std::string_view text) {
    for (char c : cp932::UpToNul(text)) {
        const auto byte = static_cast<unsigned char>(c);
        line.push_back(byte < 0x20 || byte == 0x7F ? ' ' : c);
    }
}

// Reads a file the way the C runtime's text mode does on Windows: CR LF becomes LF.
class CLineReader {
public:
    explicit CLineReader(int fd) : m_fd(fd) {}

    // The next line of at most kReadChunk bytes, its LF included when it fits; false at the
    // end of the file (or on a read error, which ends the reading as the end would). A piece
    // that fills a whole read leaves its line end to the next read, which then gives an empty
    // line, as the C runtime's line reading does at Windows stations.
    bool ReadLine(std::string& out) {
        out.clear();
        while (out.size() < CDailyLogFile::kReadChunk) {
            int c = GetText();
            if (c < 0)
                break;
            out.push_back(static_cast<char>(c));
            if (c == '\n')
                return true;
        }
        return !out.empty();
    }

private:
    int Peek() {
        if (m_pos == m_length && !Fill())
            return -1;
        return static_cast<unsigned char>(m_buffer[m_pos]);
    }
    int Get() {
        int c = Peek();
        if (c >= 0)
            ++m_pos;
        return c;
    }
    int GetText() {
        int c = Get();
        if (c == '\r' && Peek() == '\n') {
            ++m_pos;
            return '\n';
        }
        return c;
    }
    bool Fill() {
        for (;;) {
            ssize_t n = ::read(m_fd, m_buffer, sizeof m_buffer);
            if (n < 0 && errno == EINTR)
                continue;
            m_pos = 0;
            m_length = n > 0 ? static_cast<std::size_t>(n) : 0;
            return m_length > 0;
        }
    }

    int m_fd;
    char m_buffer[65536];
    std::size_t m_pos = 0;
    std::size_t m_length = 0;
};

// Writes `bytes` at the end; a failed or short write is taken back so that the next line
// starts on a line of its own.
bool AppendWhole(int fd, std::string_view bytes) {
    struct stat before {};
    const bool sized = ::fstat(fd, &before) == 0;
    const bool ok = WriteAll(fd, bytes);
    if (!ok && sized) {
        [[maybe_unused]] int ignored = ::ftruncate(fd, before.st_size);
    }
    return ok;
}

LogLineFields SplitFields(std::string_view text) {
    text = text.substr(0, text.find_first_of("\r\n"));
    LogLineFields fields;
    fields.time = GetTabField(text, 0);
    fields.time.resize(std::min(fields.time.size(), fields.time.find('\'')));
    fields.receiver = GetTabField(text, 1);
    fields.sender = GetTabField(text, 2);
    fields.kind = GetTabField(text, 3);
    fields.content = GetTabField(text, 4);
    return fields;
}

// The rows of the file from byte `from` on, which must start a piece (0, or just after a LF).
std::vector<LogLineFields> SplitLines(int fd, off_t from) {
    std::vector<LogLineFields> lines;
    if (::lseek(fd, from, SEEK_SET) != from)
        return lines;
    CLineReader reader(fd);
    std::string line;
    while (reader.ReadLine(line))
        lines.push_back(SplitFields(line));
    return lines;
}

// Where the last `count` rows can be split from without the rest of the file: just after the
// (count + 1)-th LF from the end. A LF always ends the piece it is read into (CR LF being one
// LF, and a full piece leaving its LF to a piece of its own), so reading from there gives the
// same pieces as reading from the start; there are at least `count` whole lines after it and
// each gives one row or more. 0 when the file has no such LF; -1 on a read error.
off_t FindTailCut(int fd, std::size_t count) {
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return -1;
    off_t pos = info.st_size;
    std::size_t lineEnds = 0;
    char block[16384];
    while (pos > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<off_t>(pos, sizeof block));
        pos -= static_cast<off_t>(n);
        std::size_t got = 0;
        while (got < n) {
            const ssize_t r = ::pread(fd, block + got, n - got, pos + static_cast<off_t>(got));
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0)
                return -1;
            got += static_cast<std::size_t>(r);
        }
        for (std::size_t i = n; i-- > 0;)
            if (block[i] == '\n' && ++lineEnds == count + 1)
                return pos + static_cast<off_t>(i) + 1;
    }
    return 0;
}

} // namespace

std::string GetTabField(std::string_view line, int n) {
    std::size_t start = 0;
    for (int tabs = 0; tabs < n; ++tabs) {
        std::size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos)
            return {};
        start = tab + 1;
    }
    std::string_view field = line.substr(start);
    return std::string(field.substr(0, field.find('\t')));
}

CDailyLogFile::CDailyLogFile(const COptionValues& options, const LocalTime& today, Clock clock)
    : m_options(options), m_clock(std::move(clock)), m_fileName(FileNameFor(today)) {}

std::string CDailyLogFile::FileNameFor(const LocalTime& day) {
    char name[64];
    std::snprintf(name, sizeof name, "CHAT%2d%02d%02d.LOG", day.year - 1900, day.month, day.day);
    return name;
}

std::optional<std::string> CDailyLogFile::LogFilePath() const {
    const std::string& folder = m_options.m_logSavePath;
    if (folder.empty())
        return std::nullopt;
    std::string path = cp932::ToUtf8(folder);
    if (path.front() != '/')
        return std::nullopt;
    if (path.back() != '/')
        path += '/';
    path += m_fileName;
    if (path.size() >= PATH_MAX)
        return std::nullopt;
    return path;
}

int CDailyLogFile::Open(int flags) const {
    const std::optional<std::string> path = LogFilePath();
    if (!path)
        return -1;
    // The log holds private conversations: readable by its owner only. Another user who can
    // write to the folder must not redirect it (a symlink) or hang the station (a FIFO).
    const int fd = OpenRegularFile(*path, flags, 0600, FileOwners::Mine);
    if (fd < 0 && (errno == ELOOP || errno == EINVAL || errno == EPERM))
        Report(Problem::Refused, *path, errno);
    return fd;
}

bool CDailyLogFile::HasRoomFor(int fd, std::size_t bytes) {
    // A flood must not fill the user's file system to the last byte.
    if (KeepsFreeReserve(fd, bytes, kFreeReservePercent))
        return true;
    Report(Problem::LowSpace, LogFilePath().value_or(std::string()), ENOSPC);
    return false;
}

void CDailyLogFile::Report(Problem problem, const std::string& path, int error) const {
    bool& reported = problem == Problem::Refused ? m_refusalReported : m_lowSpaceReported;
    if (reported)
        return;
    reported = true;
    if (m_problemHandler)
        m_problemHandler(problem, path, error);
}

std::string CDailyLogFile::FormatLine(const LocalTime& time, std::string_view receiver,
                                      std::string_view sender, std::string_view kind,
                                      std::string_view content) {
    std::string line = FormatClockTime(time, true);
    for (std::string_view text : {receiver, sender, kind, content}) {
        line += '\t';
        AppendField(line, text);
    }
    if (line.size() > kMaxLineBytes)
        line = cp932::CutToBytes(line, kMaxLineBytes);
    line += "\r\n";
    return line;
}

int CDailyLogFile::AppendRow(std::string_view receiver, std::string_view sender,
                             std::string_view kind, std::string_view content) {
    if (m_batching && m_batchFd < 0) {
        m_batchFd = Open(O_WRONLY | O_CREAT | O_APPEND);
        if (m_batchFd < 0)
            return -1; // the next line tries again, as each line does outside a batch
    }
    if (m_batching) {
        m_batchBytes += FormatLine(m_clock(), receiver, sender, kind, content);
        m_batchLineEnds.push_back(m_batchBytes.size());
        return 0;
    }
    int fd = Open(O_WRONLY | O_CREAT | O_APPEND);
    if (fd < 0)
        return -1;
    const std::string line = FormatLine(m_clock(), receiver, sender, kind, content);
    bool ok = HasRoomFor(fd, line.size()) && AppendWhole(fd, line);
    if (::close(fd) != 0)
        ok = false;
    return ok ? 0 : -1;
}

void CDailyLogFile::BeginBatch() {
    if (m_batching)
        return;
    m_batching = true;
    m_batchBytes.clear();
    m_batchLineEnds.clear();
}

int CDailyLogFile::EndBatch() {
    if (!m_batching)
        return 0;
    m_batching = false;
    int lost = 0;
    if (m_batchFd >= 0) {
        lost = WriteBatch();
        if (::close(m_batchFd) != 0 && lost == 0)
            lost = static_cast<int>(m_batchLineEnds.size());
        m_batchFd = -1;
    }
    m_batchBytes.clear();
    m_batchLineEnds.clear();
    return lost;
}

int CDailyLogFile::WriteBatch() {
    if (m_batchBytes.empty())
        return 0;
    if (!HasRoomFor(m_batchFd, m_batchBytes.size()))
        return static_cast<int>(m_batchLineEnds.size());
    if (AppendWhole(m_batchFd, m_batchBytes))
        return 0;
    // The one write failed and was taken back: line by line keeps what the file still takes.
    int lost = 0;
    std::size_t start = 0;
    for (std::size_t end : m_batchLineEnds) {
        if (!AppendWhole(m_batchFd, std::string_view(m_batchBytes).substr(start, end - start)))
            ++lost;
        start = end;
    }
    return lost;
}

std::optional<std::vector<LogLineFields>> CDailyLogFile::ReadLines() const {
    const int fd = Open(O_RDONLY);
    if (fd < 0)
        return std::nullopt;
    std::vector<LogLineFields> lines = SplitLines(fd, 0);
    ::close(fd);
    return lines;
}

std::optional<std::vector<LogLineFields>> CDailyLogFile::ReadLastLines(std::size_t count) const {
    const int fd = Open(O_RDONLY);
    if (fd < 0)
        return std::nullopt;
    const off_t cut = count > 0 ? FindTailCut(fd, count) : -1;
    std::vector<LogLineFields> lines;
    if (cut >= 0)
        lines = SplitLines(fd, cut);
    // A cut with too few lines after it means the file changed under us: read it all.
    if (cut < 0 || (cut > 0 && lines.size() < count))
        lines = SplitLines(fd, 0);
    ::close(fd);
    if (lines.size() > count)
        lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(count));
    return lines;
}

int CDailyLogFile::EnsureLogFolder(std::string_view logSavePath, std::string_view defaultPath) {
    if (logSavePath != defaultPath)
        return 0;
    const std::string folder = cp932::ToUtf8(logSavePath);
    if (folder.empty() || folder.front() != '/')
        return -1;
    // Missing parents ($XDG_DATA_HOME on a fresh account) are made private as well.
    return MakePrivateFolders(folder) == 0 ? 0 : -1;
}

int CDailyLogFile::EnsureDefaultLogFolder(const COptionValues& options) {
    return EnsureLogFolder(options.m_logSavePath, COptionValues::DefaultLogSavePath());
}

} // namespace palaverly
