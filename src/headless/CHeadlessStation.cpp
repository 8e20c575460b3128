#include "headless/CHeadlessStation.h"

#include "station/CLogSearch.h"
#include "station/Columns.h"
#include "sys/PosixFile.h"
#include "text/Cp932.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace palaverly {
namespace {

// Tabs and line ends inside a field would break the one-line, tab-separated output; other
// control characters (C0, DEL and the C1 range) would be run by the terminal or log viewer
// that shows it, so a peer's text writes them as visible escapes: \x1b, \u009b. A backslash
// stays as it is: it is the yen sign of every Shift-JIS text.
std::string Field(const std::string& cp932) {
    const std::string s = cp932::ToUtf8(cp932);
    std::string out;
    out.reserve(s.size());
    char escape[8];
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == '\t' || c == '\n' || c == '\r') {
            out += ' ';
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            out += escape;
        } else if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(s[i + 1]) <= 0x9F) {
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(s[++i]));
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

} // namespace

CHeadlessStation::CHeadlessStation(StationEnvironment environment, int in, int out)
    : m_in(in), m_out(out), m_monotonic(environment.monotonic) {
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_station = std::make_unique<CStationHub>(*this, std::move(environment));
}

CHeadlessStation::~CHeadlessStation() {
    m_station.reset();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void CHeadlessStation::Print(const std::string& line) {
    m_output += line;
    m_output += '\n';
    if (!m_batchOutput)
        FlushOutput();
}

void CHeadlessStation::FlushOutput() {
    std::string out;
    out.swap(m_output);
    // A reader that went away loses the lines; the station goes on regardless.
    WriteAll(m_out, out);
}

void CHeadlessStation::Wake() {
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(m_wakeFd, &one, sizeof one);
}

void CHeadlessStation::Post(std::function<void()> task) {
    {
        std::lock_guard lock(m_postMutex);
        m_posted.push_back(std::move(task));
    }
    Wake();
}

void CHeadlessStation::PostDelayed(std::chrono::milliseconds delay, std::function<void()> task) {
    m_delayed.emplace(std::chrono::steady_clock::now() + delay, std::move(task));
}

int CHeadlessStation::RunDueTasks() {
    using namespace std::chrono;
    // Tasks in order of their time; one may post another, which then waits its turn.
    while (!m_delayed.empty() && m_delayed.begin()->first <= steady_clock::now()) {
        auto task = std::move(m_delayed.begin()->second);
        m_delayed.erase(m_delayed.begin());
        task();
    }
    if (m_delayed.empty())
        return -1;
    // Rounded up, so that the poll never wakes just before the task is due.
    auto left = ceil<milliseconds>(m_delayed.begin()->first - steady_clock::now());
    return static_cast<int>(std::max<milliseconds::rep>(left.count(), 0));
}

void CHeadlessStation::ShowNotice(const std::string& caption, const std::string& text) {
    Print("NOTICE\t" + Field(caption) + "\t" + Field(text));
}

void CHeadlessStation::PlaySound(const std::string& path) {
    Print("SOUND\t" + Field(path));
}
void CHeadlessStation::Beep() {
    Print("BEEP");
}
void CHeadlessStation::Popup() {
    Print("POPUP");
}

void CHeadlessStation::CloseRequested() {
    // There is no window to hide: only "Flg CloseToUnload" makes a close do anything here.
    if (m_station->Settings().Options().m_flgCloseToUnload)
        m_finished = true;
}

void CHeadlessStation::TickerTextChanged(const std::string& text) {
    Print("TICKER\t" + Field(text));
}

void CHeadlessStation::MemberCountChanged(const std::string&, int count) {
    Print("MEMBERS\t" + std::to_string(count));
}

void CHeadlessStation::LogRowAdded(int row) {
    const CMarkList& list = m_station->ChatLog().List();
    std::string line = "LOG";
    for (int c = 0; c < LogColumn::Count; ++c)
        line += "\t" + Field(list.Text(row, c));
    Print(line);
}

void CHeadlessStation::Ready() {
    Print("READY");
}

void CHeadlessStation::WakeAfter(std::int64_t ms) {
    if (ms < 0)
        m_timersDue.reset();
    else
        m_timersDue = m_monotonic() + ms;
}

int CHeadlessStation::PollTimeout() const {
    if (!m_timersDue)
        return -1;
    const std::int64_t left = *m_timersDue - m_monotonic();
    return static_cast<int>(std::clamp<std::int64_t>(left, 0, 60000));
}

void CHeadlessStation::Execute(const std::string& line) {
    const std::string word = line.substr(0, line.find(' '));
    const std::string argument = line.size() > word.size() ? line.substr(word.size() + 1) : "";
    if (word.empty())
        return;
    for (const Command& command : Commands()) {
        if (command.name == word)
            return command.run(*this, argument);
    }
    Print("ERROR\tunknown command " + word);
}

// Texts of the commands are UTF-8; the station takes CP932. What has no CP932 form is refused
// rather than sent or searched for in a changed form.
std::optional<std::string> CHeadlessStation::Cp932Argument(const std::string& argument) {
    auto text = cp932::FromUtf8(argument);
    if (!text)
        Print("ERROR\tcannot be sent in Shift-JIS: " + argument);
    return text;
}

void CHeadlessStation::Mark(const std::string& argument, bool marked) {
    auto name = cp932::FromUtf8(argument);
    if (!name || !m_station->SetMark(*name, marked))
        Print("ERROR\tno member " + argument);
}

void CHeadlessStation::Send(const std::string& argument) {
    if (auto text = Cp932Argument(argument))
        m_station->SendAction(*text);
}

void CHeadlessStation::CommitHandleOrStatus(const std::string& argument, bool handle) {
    auto text = Cp932Argument(argument);
    if (!text)
        return;
    CStationHub& s = *m_station;
    s.CommitHandleAndStatus(handle ? *text : s.Handle(), handle ? s.Status() : *text);
}

void CHeadlessStation::PrintRows(const CMarkList& list, const std::string& word, bool marks) {
    for (int row = 0; row < list.RowCount(); ++row) {
        std::string out = word;
        for (int c = 0; c < list.ColumnCount(); ++c)
            out += "\t" + Field(list.Text(row, c));
        if (marks)
            out += list.IsMarked(row) ? "\t1" : "\t0";
        Print(out);
    }
    Print("END");
}

void CHeadlessStation::Search(const std::string& argument) {
    auto needle = Cp932Argument(argument);
    if (!needle)
        return;
    std::optional<std::filesystem::path> folder =
        CLogSearch::LogFolder(m_station->Settings().Options());
    std::vector<LogSearchHit> hits;
    if (folder)
        hits = CLogSearch::Search(*folder, *needle);
    for (const LogSearchHit& hit : hits)
        Print("FOUND\t" + CLogSearch::FormatDay(hit.day) + "\t" + Field(hit.line.time) + "\t" +
              Field(hit.line.receiver) + "\t" + Field(hit.line.sender) + "\t" +
              Field(hit.line.kind) + "\t" + Field(hit.line.content));
    Print("END\t" + std::to_string(hits.size()));
}

std::span<const CHeadlessStation::Command> CHeadlessStation::Commands() {
    using H = CHeadlessStation;
    using A = const std::string&;
    // In the order of the help, which is built from this table.
    static constexpr Command kCommands[] = {
        {"mark", "NAME", [](H& h, A argument) { h.Mark(argument, true); }},
        {"unmark", "NAME", [](H& h, A argument) { h.Mark(argument, false); }},
        {"mark-all", "", [](H& h, A) { h.m_station->MarkAll(true); }},
        {"unmark-all", "", [](H& h, A) { h.m_station->MarkAll(false); }},
        {"send", "TEXT", [](H& h, A argument) { h.Send(argument); }},
        {"beep", "", [](H& h, A) { h.m_station->BeepAction([] { return false; }); }},
        {"beep-silent", "", [](H& h, A) { h.m_station->BeepAction([] { return true; }); }},
        {"handle", "TEXT", [](H& h, A argument) { h.CommitHandleOrStatus(argument, true); }},
        {"status", "TEXT", [](H& h, A argument) { h.CommitHandleOrStatus(argument, false); }},
        {"refresh", "", [](H& h, A) { h.m_station->PostRefreshRoster(); }},
        {"fetch", "", [](H& h, A) { h.m_station->FetchBulletin(); }},
        {"reload", "", [](H& h, A) { h.m_station->ReloadLog(); }},
        {"clear", "", [](H& h, A) { h.m_station->ClearLog(); }},
        {"suspend", "", [](H& h, A) { h.m_station->OnSuspend(); }},
        {"resume", "", [](H& h, A) { h.m_station->OnResume(); }},
        {"roster", "", [](H& h, A) { h.PrintRows(h.m_station->Roster().List(), "MEMBER", true); }},
        {"log", "", [](H& h, A) { h.PrintRows(h.m_station->ChatLog().List(), "ROW", false); }},
        {"search", "TEXT", [](H& h, A argument) { h.Search(argument); }},
        {"quit", "", [](H& h, A) { h.m_finished = true; }},
    };
    return kCommands;
}

void CHeadlessStation::RunPending() {
    std::uint64_t count;
    [[maybe_unused]] ssize_t n = ::read(m_wakeFd, &count, sizeof count);
    // The lines of one drain leave with one write.
    m_batchOutput = true;
    m_station->DrainReceived();
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard lock(m_postMutex);
            if (m_posted.empty())
                break;
            task = std::move(m_posted.front());
            m_posted.pop_front();
        }
        task();
    }
    m_batchOutput = false;
    FlushOutput();
}

int CHeadlessStation::Run() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    // Blocked before any thread starts, so only the signalfd sees them.
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    int signalFd = ::signalfd(-1, &signals, SFD_CLOEXEC);
    std::signal(SIGPIPE, SIG_IGN);

    m_station->Initialize();
    const int networkFd = m_station->NetworkChangeDescriptor();

    while (!m_finished) {
        // poll skips the entries whose descriptor is negative.
        pollfd fds[4] = {{m_wakeFd, POLLIN, 0},
                         {signalFd, POLLIN, 0},
                         {m_in, POLLIN, 0},
                         {networkFd, POLLIN, 0}};
        // The sooner of the delayed tasks and the hub's timers.
        const int tasks = RunDueTasks();
        const int timers = PollTimeout();
        int r = ::poll(fds, 4, tasks < 0 ? timers : timers < 0 ? tasks : std::min(tasks, timers));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            break;
        if (fds[0].revents)
            RunPending();
        if (fds[1].revents)
            break;
        if (fds[3].revents)
            m_station->OnNetworkChange();
        if (m_timersDue && *m_timersDue <= m_monotonic()) {
            m_timersDue.reset();
            m_station->RunTimers();
        }
        if (fds[2].revents) {
            char buffer[4096];
            ssize_t n = ::read(m_in, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                break; // end of input: orderly shutdown
            }
            m_pendingInput.append(buffer, static_cast<std::size_t>(n));
            std::size_t eol;
            while (!m_finished && (eol = m_pendingInput.find('\n')) != std::string::npos) {
                std::string line = m_pendingInput.substr(0, eol);
                m_pendingInput.erase(0, eol + 1);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                Execute(line);
            }
        }
    }
    m_station->Shutdown();
    if (signalFd >= 0)
        ::close(signalFd);
    return 0;
}

} // namespace palaverly
