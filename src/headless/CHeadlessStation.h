#pragma once
// The headless station: a CStationHub driven by lines on standard input, reporting on standard
// output, one line per event, UTF-8, fields separated by tabs. Texts cross to CP932 here.

#include "hub/CStationHub.h"
#include "hub/IChatFrontEnd.h"

#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace palaverly {

class CHeadlessStation : public IChatFrontEnd {
public:
    /// `in` and `out` are file descriptors (standard input and output in palaverlyd); `in`
    /// -1: no commands are read (a service, whose standard input is /dev/null).
    CHeadlessStation(StationEnvironment environment, int in, int out);
    ~CHeadlessStation() override;

    /// Initialises the station and runs until end of input, `quit`, a termination signal or a
    /// QUIT with "Flg CloseToUnload"; then shuts down in order. Returns the exit status.
    int Run();

    /// Carries out one command line (without its line end); used by Run and by tests.
    void Execute(const std::string& line);

    /// One command of the line interface: its word, what its argument is called in the help
    /// (empty: none) and what it does with the argument.
    struct Command {
        std::string_view name;
        std::string_view argument;
        void (*run)(CHeadlessStation& station, const std::string& argument);
    };
    /// Every command Execute understands, in the order of the help.
    static std::span<const Command> Commands();

    /// True once the station should shut down.
    bool Finished() const { return m_finished; }

    CStationHub& Station() { return *m_station; }

    // IChatFrontEnd
    void Wake() override;
    void Post(std::function<void()> task) override;
    void PostDelayed(std::chrono::milliseconds delay, std::function<void()> task) override;
    void ShowNotice(const std::string& caption, const std::string& text) override;
    void PlaySound(const std::string& path) override;
    void Beep() override;
    void Popup() override;
    void CloseRequested() override;
    void TickerTextChanged(const std::string& text) override;
    void MemberCountChanged(const std::string& caption, int count) override;
    void LogRowAdded(int row) override;
    void Ready() override;
    void WakeAfter(std::int64_t ms) override;

    /// Runs the posted tasks and the received datagrams waiting now.
    void RunPending();

private:
    /// Runs the delayed tasks that are due; returns the poll timeout to the next one (-1: none).
    int RunDueTasks();
    void Print(const std::string& line);
    /// The CP932 form of a command's text; nothing, and an ERROR line, when it has none.
    std::optional<std::string> Cp932Argument(const std::string& argument);
    void Mark(const std::string& argument, bool marked);
    void Send(const std::string& argument);
    void CommitHandleOrStatus(const std::string& argument, bool handle);
    /// One `word` line per row of `list` (its marks too, with `marks`), then END.
    void PrintRows(const CMarkList& list, const std::string& word, bool marks);
    void Search(const std::string& argument);
    /// Writes the lines held back since the batch began, with one write.
    void FlushOutput();

    /// The poll timeout until the hub's timers are due: -1 without one.
    int PollTimeout() const;

    int m_in;
    int m_out;
    MonotonicClock m_monotonic;
    std::optional<std::int64_t> m_timersDue; // on m_monotonic
    int m_wakeFd = -1;
    std::mutex m_postMutex; // Wake() comes from the receive thread
    std::deque<std::function<void()>> m_posted;
    std::multimap<std::chrono::steady_clock::time_point, std::function<void()>> m_delayed;
    bool m_finished = false;
    std::string m_pendingInput;
    bool m_batchOutput = false; // lines wait in m_output until FlushOutput
    std::string m_output;
    std::unique_ptr<CStationHub> m_station;
};

} // namespace palaverly
