#pragma once
// The station hub: identity, port, roster, chat log, bulletins, ticker, settings and the
// receive thread, without any widget. Front ends (the desktop window, the headless station)
// drive it on their UI thread through its intents and are told of changes through
// IStationEvents; the steps of the initialisation that are theirs go through IStartupSteps.

#include "hub/CAnswerLimiter.h"
#include "hub/CReachWatch.h"
#include "hub/CReception.h"
#include "hub/IChatFrontEnd.h"
#include "settings/CLiveSettings.h"
#include "station/CBulletinStore.h"
#include "station/CChatLog.h"
#include "station/CDailyLogFile.h"
#include "station/CMemberRoster.h"
#include "station/CTicker.h"
#include "sys/Clock.h"
#include "sys/Firewall.h"
#include "sys/Identity.h"
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
    /// The clock of the hub's own timers (the firewall check, roll calls for new networks).
    MonotonicClock monotonic = MonotonicMilliseconds;
    /// The machine's interfaces, for the address after a network change.
    std::function<std::vector<InterfaceAddress>()> interfaces = LocalInterfaceAddresses;
    /// The firewall whose command the notice of dropped datagrams gives.
    std::function<Firewall()> firewall = LocalFirewall;
    std::size_t handOverCapacity = 1024;
    /// Answers to a burst of MEMB or GETM: one at once, then at most one per window.
    std::chrono::milliseconds answerWindow = CAnswerLimiter::kWindow;
};

class CStationHub {
public:
    static constexpr int kMessageLimit = 130; // CP932 bytes
    static constexpr int kHandleLimit = 20;
    static constexpr int kStatusLimit = 20;

    CStationHub(IStationEvents& events, IStartupSteps& startup, StationEnvironment environment);
    CStationHub(IChatFrontEnd& frontEnd, StationEnvironment environment)
        : CStationHub(frontEnd, frontEnd, std::move(environment)) {}
    ~CStationHub();
    CStationHub(const CStationHub&) = delete;
    CStationHub& operator=(const CStationHub&) = delete;

    /// The initialisation sequence; ends with the roll call. 0, or -1 when the host name is
    /// missing (the station then runs without identity, reception or roll call).
    int Initialize();
    /// The shutdown sequence: reception halted, BYE, port destroyed, then handle, status and
    /// placement saved in one replacement of the settings file.
    /// Runs once; later calls do nothing.
    void Shutdown();

    // --- user actions (UI thread); texts from the front end are CP932 ---
    enum class SendResult { Sent, Empty, NoReceiver };
    SendResult SendAction(std::string_view message);
    void BeepAction(const std::function<bool()>& shiftDown);
    void RefreshRoster(); // UM_REFRESH_ROSTER
    void FetchBulletin(); // UM_FETCH_BULLETIN
    void PostRefreshRoster();
    void PostFetchBulletin();
    /// Takes the texts of the handle and status edits, cut to their fields.
    void TakeHandleAndStatus(std::string_view handle, std::string_view status);
    /// The handle or status edit lost the focus: take both texts, then roll call.
    void CommitHandleAndStatus(std::string_view handle, std::string_view status);
    void SignOff();
    void OnSuspend(); // BYE
    void OnResume();  // posts the roll call
    /// Marks the roster rows of the sender of chat-log row `row` (a right click on the log).
    int MarkSenderOfLogRow(int row);
    std::optional<std::string> TickerStep(); // one tick; CP932 text to show, if any

    /// Sends one datagram; 0, or -1 for a refused command word. Any thread.
    int SendDatagram(std::string_view word, const char* payload);

    // --- reception ---
    /// The receive side, for a caller that feeds datagrams itself (`receiveThread` false).
    CReception& Reception() { return m_reception; }
    /// UI-thread side: CReception::DrainReceived into Dispatch; the chat log's rows of one
    /// drain reach the daily log file in one write.
    std::size_t DrainReceived();
    /// The sliced drain (CReception::DrainReceived), with the rows of the slice in one write.
    std::size_t DrainReceived(std::size_t max, const std::function<bool()>& goOn);
    /// Dispatch of one unscrambled datagram received at `receptionTime` ("%2d:%02d").
    void Dispatch(const Datagram& datagram, const std::string& receptionTime);

    // --- reach: the notice of dropped datagrams, roll calls for new networks (UI thread) ---
    /// Readable when the machine's interfaces may have changed: then OnNetworkChange. -1 when
    /// the port cannot tell.
    int NetworkChangeDescriptor() const;
    /// Reads the interfaces again; a new broadcast route leads to a roll call (RunTimers).
    void OnNetworkChange();
    /// Does what the hub's timers have due, as IStationEvents::WakeAfter asked.
    void RunTimers();

    // --- marking: the recipients of the send and BEEP actions (UI thread) ---
    /// Marks or unmarks every roster row (the mark-on and mark-off buttons).
    void MarkAll(bool marked);
    /// Marks or unmarks the roster row of `computerName` (CP932); false when no row has it.
    bool SetMark(std::string_view computerName, bool marked);

    // --- the two lists: their rows for the views, and what the views change in them ---
    const CMemberRoster& Roster() const { return m_roster; }
    const CChatLog& ChatLog() const { return m_chatLog; }
    CMarkListEdits RosterViewEdits() { return m_roster.ViewEdits(); }
    CMarkListEdits LogViewEdits() { return m_chatLog.ViewEdits(); }

    // --- the chat log's buttons ---
    void ClearLog();
    /// Clears the log, then shows the last rows of today's daily log file. 0, or 1 when the
    /// file cannot be opened.
    int ReloadLog();
    /// The content of the selected log row, for the message edit (CP932); nothing without one.
    std::optional<std::string> CopyLogLine() const;

    // --- settings: the live values, which the dialogs reload and save ---
    CLiveSettings& Settings() { return m_settings; }
    const CLiveSettings& Settings() const { return m_settings; }

    // --- identity and what the station shows ---
    const std::string& Handle() const { return m_stationSettings.m_handleName; }
    const std::string& Status() const { return m_stationSettings.m_status; }
    const std::string& ComputerName() const { return m_computerName; }
    const std::string& StationIdText() const { return m_stationId; }
    const std::string& TickerText() const { return m_ticker.Text(); }
    std::string LoginTime() const;

private:
    friend class CStationHubTestPeer;

    void RebuildTicker();

    /// A message or alert that concerns this station: its kind and the two handles.
    struct Addressed {
        std::string kind;
        std::string senderHandle;
        std::string receiverHandle;
    };
    /// Nothing unless this station is the sender or the receiver (whole-text equality).
    std::optional<Addressed> AddressedHere(const AddressedFields& fields) const;

    /// MEMB; one that reached a network while the port can receive waits for its own INFO.
    void RollCall();
    void NoticeDeaf();
    void ScheduleTimers();

    void OnMemb();
    void SendInfo();
    void OnInfo(const Datagram& d);
    void NoticeNameClash(const std::string& otherStationId);
    void OnSetm(const Datagram& d);
    void OnGetm();
    void SendSetm();
    void OnBye(const Datagram& d);
    void OnBeep(const Datagram& d, const std::string& receptionTime);
    void OnQuit(const Datagram& d);
    void OnSend(const Datagram& d, const std::string& receptionTime);

    IStationEvents& m_events;
    IStartupSteps& m_startup;
    StationEnvironment m_env;
    CLiveSettings m_settings;
    // What the station reads of the live values; the dialogs replace them through m_settings.
    const COptionValues& m_options = m_settings.Options();
    const CInfoValues& m_info = m_settings.Info();
    const CNoticeTemplates& m_templates = m_settings.Templates();

    std::string m_stationId;
    std::string m_computerName;
    CStationSettings& m_stationSettings =
        m_settings.Station(); // handle, status (both cut), placement

    CDailyLogFile m_logFile; // named after the day the station started
    CChatLog m_chatLog;
    CMemberRoster m_roster;
    CBulletinStore m_bulletins;
    CTicker m_ticker;
    // Answers to MEMB and GETM, at most one per window each.
    CAnswerLimiter m_infoAnswers;
    CAnswerLimiter m_setmAnswers;

    std::unique_ptr<CDatagramPort> m_port;
    CReception m_reception; // after the port: its thread is joined before the port goes

    mutable std::mutex m_sendMutex; // guards the id generator and the login time
    std::mt19937 m_random;
    std::string m_loginTime;

    CReachWatch m_reach;

    bool m_nameClashShown = false; // once per run
    bool m_initialized = false;
    bool m_shutDown = false;
};

} // namespace palaverly
