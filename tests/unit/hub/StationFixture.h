#pragma once
// Stations on the simulated LAN, pumped by hand so that every test is deterministic.

#include "CSimulatedLan.h"
#include "hub/CStationHub.h"
#include "text/Cp932.h"

#include <deque>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace palaverly::test {

/// Records what a station asks of its front end.
class CRecordingFrontEnd : public IChatFrontEnd {
public:
    void Wake() override { ++wakes; }
    void Post(std::function<void()> task) override { posted.push_back(std::move(task)); }
    void ShowNotice(const std::string& caption, const std::string& text) override {
        notices.push_back(cp932::ToUtf8(caption) + "|" + cp932::ToUtf8(text));
    }
    void PlaySound(const std::string& path) override { sounds.push_back(path); }
    void Beep() override { ++beeps; }
    void Popup() override {
        ++popups;
        arrivals.push_back("popup");
    }
    void MessageArrived(const IncomingMessage& m) override {
        arrivals.push_back(std::string(m.kind == IncomingMessage::Kind::Alert ? "alert" : "msg") +
                           (m.broadcast ? "M" : "") + "|" + m.senderComputer + "|" +
                           cp932::ToUtf8(m.senderHandle) + "|" + cp932::ToUtf8(m.text));
    }
    void CloseRequested() override { ++closes; }
    void TickerTextChanged(const std::string& text) override { tickers.push_back(text); }
    void MemberCountChanged(const std::string& caption, int) override {
        captions.push_back(caption);
    }
    void Ready() override {
        ++ready;
        steps.push_back("Ready");
    }
    // The initialisation steps that concern a window, in the order they came.
    void AddTrayIcon() override { steps.push_back("AddTrayIcon"); }
    void RestorePlacement() override {
        steps.push_back("RestorePlacement");
        if (onPlacement)
            onPlacement();
    }
    void SetEditTexts(const std::string&, const std::string&) override {
        steps.push_back("SetEditTexts");
    }
    void StartTimers() override { steps.push_back("StartTimers"); }
    void ToggleWindow() override { steps.push_back("ToggleWindow"); }
    void WakeAfter(std::int64_t ms) override { wakeAfter = ms; }

    std::vector<std::string> steps;
    std::function<void()> onPlacement;
    int wakes = 0, beeps = 0, popups = 0, closes = 0, ready = 0;
    std::int64_t wakeAfter = -1;
    std::deque<std::function<void()>> posted;
    std::vector<std::string> notices, sounds, tickers, captions;
    std::vector<std::string> arrivals; // MessageArrived and Popup, in order
};

struct CTestStation {
    std::string name;
    CRecordingFrontEnd frontEnd;
    std::unique_ptr<CStationHub> station;
};

class CStationLan {
public:
    explicit CStationLan(std::filesystem::path root) : m_root(std::move(root)) {}

    /// A station named `computer` (ASCII) with handle `handleUtf8`; `settings` are extra
    /// "name=value" lines written to its settings file before it starts.
    CTestStation& Add(const std::string& computer, const std::string& handleUtf8,
                      const std::vector<std::string>& settings = {}, bool start = true);

    /// The environment of a station named `computer` on this LAN, files in its folder (made
    /// by Add, or by the caller).
    StationEnvironment Environment(const std::string& computer);

    /// Delivers everything pending, dispatches it and runs posted tasks, until quiet.
    void Pump();

    /// The current local time every station reads.
    LocalTime now{2026, 12, 8, 9, 5, 7, 0};
    /// The monotonic milliseconds of the hubs' own timers.
    std::int64_t monotonicMs = 0;
    /// Changes a station's environment before it is built (computer `computer`).
    std::function<void(const std::string& computer, StationEnvironment&)> adjust;
    CSimulatedLan lan;

private:
    std::filesystem::path m_root;
    std::vector<std::unique_ptr<CTestStation>> m_stations;
};

/// A test with a simulated LAN of stations whose files live in a folder of its own.
class CStationLanTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path m_root;
    std::unique_ptr<CStationLan> lan;
};

/// Column texts of a list as UTF-8, one vector per row.
std::vector<std::vector<std::string>> Rows(const CMarkList& list);

} // namespace palaverly::test
