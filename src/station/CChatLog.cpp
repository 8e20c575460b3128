#include "station/CChatLog.h"

#include "settings/COptionValues.h"
#include "station/CDailyLogFile.h"
#include "station/Columns.h"
#include "table/CMarkList.h"
#include "text/Cp932.h"

#include <cstdio>
#include <utility>
#include <vector>

namespace palaverly {
namespace {

constexpr std::size_t kCopyLimit = 1023;

std::string OrSpace(std::optional<std::string_view> text) {
    return text ? std::string(*text) : std::string(" ");
}

} // namespace

CChatLog::CChatLog(TextWidthFn measure, const COptionValues& options, CDailyLogFile& logFile,
                   Clock clock, HandleFn currentHandle, ColourFn windowTextColour)
    : m_list(CMarkList::Order::Unsorted, CMarkList::Selection::Single, std::move(measure)),
      m_options(options), m_logFile(logFile), m_clock(std::move(clock)),
      m_currentHandle(std::move(currentHandle)), m_windowTextColour(std::move(windowTextColour)) {}

int CChatLog::AddLogRow(std::optional<std::string_view> receiver,
                        std::optional<std::string_view> sender,
                        std::optional<std::string_view> time, std::optional<std::string_view> kind,
                        std::optional<std::string_view> content) {
    std::string timeText;
    if (time) {
        timeText = *time;
    } else {
        timeText = FormatClockTime(m_clock());
    }
    return AddRow(OrSpace(receiver), OrSpace(sender), std::move(timeText), OrSpace(kind),
                  OrSpace(content), FileWrite::Append);
}

int CChatLog::AddRow(std::string receiver, std::string sender, std::string time, std::string kind,
                     std::string content, FileWrite write) {
    std::int32_t colour = m_windowTextColour ? m_windowTextColour() : 0;
    const std::string handle = m_currentHandle ? m_currentHandle() : std::string();
    // Equality, not containment: Taro2's messages are not Taro's, and an empty handle would
    // otherwise be found in every sender.
    if (!handle.empty() && sender == handle)
        colour = m_options.m_colorMyMessage;

    std::vector<std::string> texts;
    texts.reserve(5);
    texts.push_back(std::move(receiver));
    texts.push_back(std::move(sender));
    texts.push_back(std::move(time));
    texts.push_back(std::move(kind));
    texts.push_back(std::move(content));
    while (m_list.RowCount() >= kRowLimit)
        m_list.DeleteRow(0);
    const int row = m_list.InsertRow(std::move(texts), colour);
    int result = 0;
    if (write == FileWrite::Append && m_options.m_flgLogOutput)
        result = m_logFile.AppendRow(
            m_list.Text(row, LogColumn::Receiver), m_list.Text(row, LogColumn::Sender),
            m_list.Text(row, LogColumn::Kind), m_list.Text(row, LogColumn::Content));
    if (m_rowAdded)
        m_rowAdded(row, m_list.Text(row, LogColumn::Receiver), m_list.Text(row, LogColumn::Sender),
                   m_list.Text(row, LogColumn::Time), m_list.Text(row, LogColumn::Kind),
                   m_list.Text(row, LogColumn::Content));
    return result;
}

void CChatLog::BeginBatch() {
    m_list.BeginBatch();
    m_logFile.BeginBatch();
}

int CChatLog::EndBatch() {
    const int lost = m_logFile.EndBatch();
    m_list.EndBatch();
    return lost;
}

void CChatLog::OnClearLog() {
    m_list.DeleteAllRows();
}

int CChatLog::OnReloadLog() {
    OnClearLog();
    return ReloadLogFile();
}

int CChatLog::ReloadLogFile() {
    // Into an empty view only the file's last rows stay, which the tail gives without reading
    // a large file through; rows already shown take the whole file's trimming.
    std::optional<std::vector<LogLineFields>> lines =
        m_list.RowCount() == 0 ? m_logFile.ReadLastLines(kReloadRowLimit) : m_logFile.ReadLines();
    if (!lines)
        return 1;
    m_list.BeginBatch();
    for (LogLineFields& f : *lines) {
        m_list.TrimRows(kReloadRowLimit);
        // The rows come from the file: writing them back would double every line.
        AddRow(std::move(f.receiver), std::move(f.sender), std::move(f.time), std::move(f.kind),
               std::move(f.content), FileWrite::Skip);
    }
    m_list.TrimRows(kReloadRowLimit);
    m_list.EndBatch();
    return 0;
}

std::optional<std::string> CChatLog::OnLineCopy() const {
    const int row = m_list.FirstMarked();
    if (row < 0)
        return std::nullopt;
    return cp932::CutToBytes(m_list.Text(row, LogColumn::Content), kCopyLimit);
}

} // namespace palaverly
