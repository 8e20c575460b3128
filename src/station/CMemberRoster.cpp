#include "station/CMemberRoster.h"

#include "settings/CNoticeTemplates.h"
#include "settings/COptionValues.h"
#include "station/CChatLog.h"
#include "station/Columns.h"
#include "table/CMarkList.h"
#include "text/Cp932.h"
#include "wire/StationId.h"

#include <iterator>
#include <utility>
#include <vector>

namespace palaverly {
namespace {

struct ColumnDefault {
    const char* title; // UTF-8 here, CP932 in the list
    int width;
};

constexpr ColumnDefault kRosterColumns[] = {
    {"ﾊﾝﾄﾞﾙ", 50},   {"状態", 80},          {"ｺﾝﾋﾟｭｰﾀ名", 70},   {"IPｱﾄﾞﾚｽ", 60},
    {"ﾊﾞｰｼﾞｮﾝ", 60}, {"最終ﾛｸﾞｲﾝ日時", 90}, {"ﾈｯﾄﾜｰｸｺﾒﾝﾄ", 100},
};
constexpr int kChatLogWidth = 50;
constexpr const char* kChatLogTitles[] = {"受信者", "送信者", "時刻", "種別", "内容"};

} // namespace

CMemberRoster::CMemberRoster(TextWidthFn measure, CChatLog& chatLog, const COptionValues& options,
                             const CNoticeTemplates& templates, Callbacks callbacks)
    : m_list(CMarkList::Order::Sorted, CMarkList::Selection::Multiple, std::move(measure)),
      m_chatLog(chatLog), m_options(options), m_templates(templates),
      m_callbacks(std::move(callbacks)), m_caption(cp932::Sjis("ﾕｰｻﾞｰ情報()")) {
    m_list.AddObserver(this);
}

CMemberRoster::~CMemberRoster() {
    m_list.RemoveObserver(this);
}

int CMemberRoster::SetupListColumns(int flags) {
    CMarkList& log = m_chatLog.List();
    if (flags & kInsertChatLogColumns)
        for (const char* title : kChatLogTitles)
            log.InsertColumn(cp932::Sjis(title), kChatLogWidth);
    if (flags & kInsertRosterColumns)
        for (const ColumnDefault& c : kRosterColumns)
            m_list.InsertColumn(cp932::Sjis(c.title), c.width);
    if (flags & kResetChatLogWidths)
        for (int c = 0; c < static_cast<int>(std::size(kChatLogTitles)); ++c)
            log.SetColumnWidth(c, kChatLogWidth);
    if (flags & kResetRosterWidths)
        for (int c = 0; c < static_cast<int>(std::size(kRosterColumns)); ++c)
            m_list.SetColumnWidth(c, kRosterColumns[c].width);
    return 0;
}

int CMemberRoster::FindMemberRow(std::string_view key) const {
    // Whole-text equality: a containment test would take PC1 for the PC10 listed above it.
    if (m_indexStale) {
        m_rowOfComputer.clear();
        for (int row = m_list.RowCount() - 1; row >= 0; --row)
            m_rowOfComputer[m_list.Text(row, RosterColumn::Computer)] = row; // the first wins
        m_indexStale = false;
    }
    const auto found = m_rowOfComputer.find(std::string(key));
    return found == m_rowOfComputer.end() ? -1 : found->second;
}

int CMemberRoster::UpsertMember(std::string_view stationId, std::string_view status,
                                std::string_view computerName, std::string_view handleName,
                                std::string_view version, std::string_view comment,
                                std::string_view loginTime) {
    std::vector<std::string> texts{std::string(handleName),   std::string(status),
                                   std::string(computerName), StationIdDisplay(stationId),
                                   std::string(version),      std::string(loginTime),
                                   std::string(comment)};
    const int row = FindMemberRow(computerName);
    if (row < 0 && m_list.RowCount() >= kMemberLimit) {
        if (!m_fullNoticeGiven && m_callbacks.rosterFull) {
            m_fullNoticeGiven = true;
            m_callbacks.rosterFull();
        }
    } else if (row < 0) {
        m_list.InsertRow(std::move(texts), -1);
        if (m_options.m_flgLoginLogoutCheck)
            AddNotice(m_templates.Text(Notice::Login), std::string(handleName));
    } else if (m_list.Text(row, RosterColumn::Handle) != handleName ||
               m_list.Text(row, RosterColumn::Status) != status) {
        m_list.UpdateRow(row, std::move(texts));
    }
    UpdateMemberCount();
    if (!m_firstInfoSeen) {
        m_firstInfoSeen = true;
        if (m_callbacks.fetchBulletin)
            m_callbacks.fetchBulletin();
    }
    return 0;
}

int CMemberRoster::RemoveMember(std::string_view /*stationId*/, std::string_view computerName) {
    const int row = FindMemberRow(computerName);
    if (row >= 0) {
        if (m_options.m_flgLoginLogoutCheck)
            AddNotice(m_templates.Text(Notice::Logout), m_list.Text(row, RosterColumn::Handle));
        m_list.DeleteRow(row);
    }
    UpdateMemberCount();
    return 0;
}

void CMemberRoster::OnRowInserted(int row) {
    // A flood of new stations inserts one row each; shifting beats making the index anew.
    if (m_indexStale)
        return;
    for (auto& entry : m_rowOfComputer)
        if (entry.second >= row)
            ++entry.second;
    auto [found, added] =
        m_rowOfComputer.try_emplace(m_list.Text(row, RosterColumn::Computer), row);
    if (!added && row < found->second)
        found->second = row;
}

std::string CMemberRoster::FindHandleByComputerName(std::string_view computerName) const {
    const int row = FindMemberRow(computerName);
    return row < 0 ? std::string() : m_list.Text(row, RosterColumn::Handle);
}

int CMemberRoster::UpdateMemberCount() {
    const int count = m_list.RowCount();
    if (count == m_countShown)
        return 0;
    const std::size_t paren = m_caption.find('(');
    if (paren != std::string::npos)
        m_caption.resize(paren);
    m_caption += '(' + std::to_string(count) + ')';
    m_countShown = count;
    if (m_callbacks.captionChanged)
        m_callbacks.captionChanged(m_caption);
    return 0;
}

void CMemberRoster::SetCaption(std::string caption) {
    m_caption = std::move(caption);
    if (m_callbacks.captionChanged)
        m_callbacks.captionChanged(m_caption);
}

void CMemberRoster::OnMarkAllOn() {
    for (int row = 0; row < m_list.RowCount(); ++row)
        m_list.SetMark(row, true, true);
}

void CMemberRoster::OnMarkAllOff() {
    for (int row = 0; row < m_list.RowCount(); ++row)
        m_list.SetMark(row, false, true);
}

int CMemberRoster::OnLogRowClicked(int row) {
    if (!m_options.m_flgLogClickToUserMarkOn)
        return 0;
    const CMarkList& log = m_chatLog.List();
    const bool hasSender = row >= 0 && row < log.RowCount();
    const std::string sender = hasSender ? log.Text(row, LogColumn::Sender) : std::string();
    for (int r = 0; r < m_list.RowCount(); ++r) {
        const bool match = hasSender && m_list.Text(r, RosterColumn::Handle) == sender;
        m_list.SetMark(r, match, match);
    }
    return 0;
}

bool CMemberRoster::SetMark(std::string_view computerName, bool marked) {
    const int row = FindMemberRow(computerName);
    if (row < 0)
        return false;
    m_list.SetMark(row, marked, true);
    return true;
}

std::vector<std::string> CMemberRoster::MarkedComputerNames() const {
    std::vector<std::string> names;
    for (int row = 0; row < m_list.RowCount(); ++row)
        if (m_list.IsMarked(row))
            names.push_back(m_list.Text(row, RosterColumn::Computer));
    return names;
}

void CMemberRoster::Clear() {
    m_list.DeleteAllRows();
    SetupListColumns(kResetRosterWidths);
}

void CMemberRoster::AddNotice(const std::string& templ, const std::string& handle) {
    static const std::string kSystemKind = cp932::Sjis("ｼｽﾃﾑ");
    m_chatLog.AddLogRow(std::nullopt, std::nullopt, std::nullopt, kSystemKind,
                        FillTemplate(templ, handle));
}

} // namespace palaverly
