#pragma once
// The member roster: one row per station present, filled from INFO and emptied by BYE.

#include "table/CMarkList.h"
#include "table/IMarkListObserver.h"

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace palaverly {

class CChatLog;
struct CNoticeTemplates;
struct COptionValues;

class CMemberRoster : private IMarkListObserver {
public:
    /// Members the roster holds at most. An office LAN has a few dozen stations; only a broken
    /// or hostile LAN (INFOs with ever new computer names) reaches it, and without a limit
    /// such a flood would grow the roster and slow every look-up without end.
    static constexpr int kMemberLimit = 4096;

    /// Bits of SetupListColumns.
    static constexpr int kInsertChatLogColumns = 1;
    static constexpr int kInsertRosterColumns = 2;
    static constexpr int kResetChatLogWidths = 4;
    static constexpr int kResetRosterWidths = 8;

    struct Callbacks {
        /// The group caption changed (CP932), e.g. "ﾕｰｻﾞｰ情報(3)".
        std::function<void(const std::string& caption)> captionChanged;
        /// The first INFO of the run arrived: time to ask for bulletins (called once).
        std::function<void()> fetchBulletin;
        /// An INFO of a new station was refused because the roster is full (called once per
        /// run, at the first refusal).
        std::function<void()> rosterFull;
    };

    /// The roster keeps its rows in a sorted, multiple-selection list measured by `measure`;
    /// the chat log receives the login and logout notices and owns the other list that
    /// SetupListColumns prepares. `options` and `templates` are the live settings.
    CMemberRoster(TextWidthFn measure, CChatLog& chatLog, const COptionValues& options,
                  const CNoticeTemplates& templates, Callbacks callbacks);

    ~CMemberRoster() override;
    CMemberRoster(const CMemberRoster&) = delete;
    CMemberRoster& operator=(const CMemberRoster&) = delete;

    /// Bit 1 inserts the five chat-log columns, 2 the seven roster columns, 4 sets the
    /// chat-log widths to their defaults, 8 the roster widths. Returns 0.
    int SetupListColumns(int flags);

    /// Adds the station of an INFO, or rewrites its row when the handle or status changed.
    /// A new station beyond kMemberLimit is refused (rosterFull tells of the first). Returns 0.
    int UpsertMember(std::string_view stationId, std::string_view status,
                     std::string_view computerName, std::string_view handleName,
                     std::string_view version, std::string_view comment,
                     std::string_view loginTime);
    /// The row whose computer name equals `key`, or -1.
    int FindMemberRow(std::string_view key) const;
    /// Deletes the row of a station that said goodbye (with a logout notice when enabled).
    /// `stationId` takes no part. Returns 0.
    int RemoveMember(std::string_view stationId, std::string_view computerName);
    /// The handle of the row whose computer name equals `computerName`; empty when unlisted.
    std::string FindHandleByComputerName(std::string_view computerName) const;
    /// Writes the row count into the caption when it differs from the count last written.
    /// Returns 0.
    int UpdateMemberCount();

    void OnMarkAllOn();
    void OnMarkAllOff();
    /// A right click on the chat log with its `row` selected: only with
    /// "Flg LogClickToUserMarkON", marks exactly the roster rows whose handle equals that row's
    /// sender. Row -1 or a row that does not exist has no sender: every row is unmarked.
    /// Returns 0.
    int OnLogRowClicked(int row);
    /// Marks or unmarks the row of `computerName` (CP932); false when no row has it.
    bool SetMark(std::string_view computerName, bool marked);
    /// The computer names of the marked rows, top to bottom: the receivers of a message.
    std::vector<std::string> MarkedComputerNames() const;

    /// The roll call's fresh start: every row goes and the default widths return; the caption
    /// keeps its count until the next upsert or removal.
    void Clear();

    /// The group caption; starts as "ﾕｰｻﾞｰ情報()".
    const std::string& Caption() const { return m_caption; }
    /// Replaces the caption template (the count is written into it at the next update).
    void SetCaption(std::string caption);

    CMarkList& List() { return m_list; }
    const CMarkList& List() const { return m_list; }
    /// What the roster's view changes in its rows.
    CMarkListEdits ViewEdits() { return CMarkListEdits(m_list); }

private:
    void AddNotice(const std::string& templ, const std::string& handle);

    // A new row moves those below it; any other change of the rows makes the index anew at
    // the next look-up.
    void OnRowInserted(int row) override;
    void OnRowChanged(int) override { m_indexStale = true; }
    void OnRowRemoved(int) override { m_indexStale = true; }
    void OnAllRowsRemoved() override { m_indexStale = true; }

    CMarkList m_list;
    CChatLog& m_chatLog;
    const COptionValues& m_options;
    const CNoticeTemplates& m_templates;
    Callbacks m_callbacks;
    std::string m_caption;
    int m_countShown = -1;
    bool m_firstInfoSeen = false;
    bool m_fullNoticeGiven = false;
    // Computer name to row. Messages and bulletins look a name up several times each while the
    // rows rarely change, so a roster filled with made-up stations costs a flood of them
    // nothing; it is made anew only after the rows changed.
    mutable std::unordered_map<std::string, int> m_rowOfComputer;
    mutable bool m_indexStale = true;
};

} // namespace palaverly
