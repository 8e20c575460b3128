#pragma once
// The station hub: identity, port, roster, chat log, bulletins, ticker, settings and the
// receive thread, without any widget. Front ends (the desktop window, the headless station)
// drive it on their UI thread and are told of changes through IChatFrontEnd.

#include "hub/IChatFrontEnd.h"
#include "settings/CInfoValues.h"
#include "settings/CNoticeTemplates.h"
#include "settings/COptionValues.h"
#include "settings/CPhraseValues.h"
#include "settings/CSettingsStore.h"
#include "station/CBulletinStore.h"
#include "station/CChatLog.h"
#include "station/CDailyLogFile.h"
#include "station/CMemberRoster.h"
#include "station/CTicker.h"
#include "sys/CHandOver.h"
#include "sys/Clock.h"
#include "table/CMarkList.h"
#include "wire/CBroadcastPort.h"
#include "wire/CDatagramPort.h"
#include "wire/Datagram.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>

namespace palaverly {

/// Where a station gets what the machine would otherwise give it; tests replace each piece.
struct StationEnvironment {
    std::uint16_t port = 8000;
    std::filesystem::path settingsFile;
    Clock clock = SystemLocalTime;
    /// Creates the transport; the error sink receives set-up failures (caption, text).
    std::function<std::unique_ptr<CDatagramPort>(std::uint16_t, ErrorSink)> makePort;
    std::function<std::string()> hostName;     // empty: the initialisation stops early
    std::function<std::string()> computerName; // CP932, at most 15 bytes
    std::function<std::string()> userName;     // CP932
    std::function<std::string()> stationId;    // twelve digits or empty
    TextWidthFn measure;                       // text width in the lists' font
    bool receiveThread = true;                 // false: tests feed datagrams themselves
    std::size_t handOverCapacity = 1024;
};

class CChatDlg {
public:
    static constexpr int kMessageLimit = 130; // CP932 bytes
    static constexpr int kHandleLimit = 20;
    static constexpr int kStatusLimit = 20;

    CChatDlg(IChatFrontEnd& frontEnd, StationEnvironment environment);
    ~CChatDlg();
    CChatDlg(const CChatDlg&) = delete;
    CChatDlg& operator=(const CChatDlg&) = delete;

    /// The initialisation sequence; ends with the roll call. 0, or -1 when the host name is
    /// missing (the station then runs without identity, reception or roll call).
    int Initialize();
    /// The shutdown sequence: reception halted, BYE, port destroyed, handle and status saved.
    /// Runs once; later calls do nothing.
    void Shutdown();

    // --- user actions (UI thread); texts from the front end are UTF-8 ---
    enum class SendResult { Sent, Empty, NoReceiver, Unrepresentable };
    SendResult SendAction(std::string_view messageUtf8);
    void BeepAction(const std::function<bool()>& shiftDown);
    void RefreshRoster(); // UM_REFRESH_ROSTER
    void FetchBulletin(); // UM_FETCH_BULLETIN
    void PostRefreshRoster();
    void PostFetchBulletin();
    /// Takes the texts of the handle and status edits (cut to their fields). False, and
    /// nothing taken, when either holds a character CP932 cannot represent.
    bool TakeHandleAndStatus(std::string_view handleUtf8, std::string_view statusUtf8);
    /// The handle or status edit lost the focus: take both texts, then roll call.
    bool CommitHandleAndStatus(std::string_view handleUtf8, std::string_view statusUtf8);
    void SignOff();
    void OnSuspend(); // BYE
    void OnResume();  // posts the roll call
    int OnLogRowClicked(int controlId, int row);
    std::optional<std::string> TickerStep(); // one tick; CP932 text to show, if any

    /// Sends one datagram; 0, or -1 for a refused command word. Any thread.
    int SendDatagram(std::string_view word, const char* payload);

    // --- reception ---
    /// Receive-thread side: unscramble, drop the immediate repetition, stamp, hand over.
    /// Returns false once the hand-over is closed.
    bool AcceptRaw(const char* bytes);
    /// UI-thread side: dispatch everything handed over, in arrival order.
    std::size_t DrainReceived();
    /// Dispatch of one unscrambled datagram received at `receptionTime` ("%2d:%02d").
    void Dispatch(const Datagram& datagram, const std::string& receptionTime);

    // --- state the front ends show and edit ---
    CMarkList& RosterList() { return m_rosterList; }
    CMarkList& LogList() { return m_logList; }
    CMemberRoster& Roster() { return m_roster; }
    CChatLog& ChatLog() { return m_chatLog; }
    COptionValues& Options() { return m_options; }
    CInfoValues& Info() { return m_info; }
    CPhraseValues& Phrases() { return m_phrases; }
    CNoticeTemplates& Templates() { return m_templates; }
    CSettingsStore& Settings() { return m_settings; }
    const std::string& Handle() const { return m_handle; }
    const std::string& Status() const { return m_status; }
    const std::string& ComputerName() const { return m_computerName; }
    const std::string& StationIdText() const { return m_stationId; }
    const std::string& TickerText() const { return m_ticker.Text(); }
    std::string LoginTime() const;
    CDatagramPort* Port() { return m_port.get(); }

private:
    struct Received {
        Datagram datagram;
        std::string receptionTime;
    };

    void ReceiveLoop();
    void StopReception();
    void RebuildTicker();
    std::string Timestamp() const; // "%2d:%02d" now

    void OnMemb();
    void OnInfo(const Datagram& d);
    void NoticeNameClash(const std::string& otherStationId);
    void OnSetm(const Datagram& d);
    void OnGetm();
    void OnBye(const Datagram& d);
    void OnBeep(const Datagram& d, const std::string& receptionTime);
    void OnQuit(const Datagram& d);
    void OnSend(const Datagram& d, const std::string& receptionTime);

    IChatFrontEnd& m_frontEnd;
    StationEnvironment m_env;
    CSettingsStore m_settings;
    COptionValues m_options;
    CInfoValues m_info;
    CPhraseValues m_phrases;
    CNoticeTemplates m_templates;

    std::string m_stationId;
    std::string m_computerName;
    std::string m_handle;
    std::string m_status;

    CMarkList m_logList;
    CMarkList m_rosterList;
    CDailyLogFile m_logFile; // named after the day the station started
    CChatLog m_chatLog;
    CMemberRoster m_roster;
    CBulletinStore m_bulletins;
    CTicker m_ticker;

    std::unique_ptr<CDatagramPort> m_port;
    CHandOver<Received> m_handOver;
    std::thread m_receiveThread;
    std::string m_lastId = std::string(kIdSize, '\0'); // receive thread only; zero at start

    mutable std::mutex m_sendMutex; // guards the id generator and the login time
    std::mt19937 m_random;
    std::string m_loginTime;

    bool m_nameClashShown = false; // once per run
    bool m_initialized = false;
    bool m_shutDown = false;
};

} // namespace palaverly
