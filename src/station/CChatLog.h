#pragma once
// The chat log view's operations: adding rows (and appending them to the daily log file),
// clearing, reloading and copying a line.

#include "sys/Clock.h"
#include "table/CMarkList.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace palaverly {

class CDailyLogFile;
struct COptionValues;

class CChatLog {
public:
    /// Rows a reload keeps: the last this many lines of the file.
    static constexpr int kReloadRowLimit = 300;
    /// Rows the view keeps in memory; the oldest go first. Far above a working week of real
    /// use (ten people, a few hundred rows a day), so only a broken or hostile LAN meets it;
    /// it keeps such a flood from eating memory. The daily log file keeps every line.
    static constexpr int kRowLimit = 20000;
    /// Gives the station's current handle name (CP932).
    using HandleFn = std::function<std::string()>;
    /// Gives the system window-text colour (0x00BBGGRR) at the moment a row is added.
    using ColourFn = std::function<std::int32_t()>;
    /// Told of every row added (reloaded rows included), once it is in the list and written to
    /// the file: the row index and its receiver, sender, time, kind and content.
    using RowAddedFn = std::function<void(int row, const std::string& receiver,
                                          const std::string& sender, const std::string& time,
                                          const std::string& kind, const std::string& content)>;

    /// The log keeps its rows in an unsorted, single-selection list measured by `measure`;
    /// `options` are the live option values ("Flg LogOutput", "Color MyMessage"). Without
    /// `windowTextColour` rows take black.
    CChatLog(TextWidthFn measure, const COptionValues& options, CDailyLogFile& logFile, Clock clock,
             HandleFn currentHandle, ColourFn windowTextColour = {});

    CChatLog(const CChatLog&) = delete;
    CChatLog& operator=(const CChatLog&) = delete;

    void SetRowAddedHandler(RowAddedFn handler) { m_rowAdded = std::move(handler); }

    /// Adds a row below the last one. An absent receiver, sender, kind or content becomes " ",
    /// an absent time the clock's "%2d:%02d"; a given empty text stays empty. The row takes
    /// "Color MyMessage" when the sender equals the current (non-empty) handle, else the
    /// window-text colour. With "Flg LogOutput" on the row is appended to the daily log file
    /// and the result is that of the append (0 or -1; the row stays either way); else 0.
    int AddLogRow(std::optional<std::string_view> receiver, std::optional<std::string_view> sender,
                  std::optional<std::string_view> time, std::optional<std::string_view> kind,
                  std::optional<std::string_view> content);

    /// Rows added until EndBatch reach the daily log file with one open and one write, and the
    /// list's views hear of them as one insertion (the hub brackets each drain so).
    void BeginBatch();
    /// Ends the batch; how many of its lines the file could not take.
    int EndBatch();

    /// Deletes every row; the file and the column widths stay.
    void OnClearLog();
    /// OnClearLog, then ReloadLogFile. 0 when the file was read, 1 when it cannot be opened.
    int OnReloadLog();
    /// Adds the lines of today's file as rows without writing them back, trimming the list to
    /// kReloadRowLimit rows before each and once after, so that it ends with the file's last
    /// lines. 0 when the file was read, 1 when it cannot be opened.
    int ReloadLogFile();
    /// The content of the selected row (at most 1023 bytes), for the message edit; nothing
    /// when no row is selected.
    std::optional<std::string> OnLineCopy() const;

    CMarkList& List() { return m_list; }
    const CMarkList& List() const { return m_list; }
    /// What the log's view changes in its rows.
    CMarkListEdits ViewEdits() { return CMarkListEdits(m_list); }

private:
    enum class FileWrite { Append, Skip };

    int AddRow(std::string receiver, std::string sender, std::string time, std::string kind,
               std::string content, FileWrite write);

    CMarkList m_list;
    const COptionValues& m_options;
    CDailyLogFile& m_logFile;
    Clock m_clock;
    HandleFn m_currentHandle;
    ColourFn m_windowTextColour;
    RowAddedFn m_rowAdded;
};

} // namespace palaverly
