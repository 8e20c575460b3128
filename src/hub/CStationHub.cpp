#include "hub/CStationHub.h"

#include "sys/Identity.h"
#include "text/Cp932.h"
#include "wire/StationId.h"

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace palaverly {
namespace {

// What the user reads when the daily log file stops taking rows; the rows stay in the view.
std::string LogProblemText(CDailyLogFile::Problem problem, const std::string& path, int error) {
    if (problem == CDailyLogFile::Problem::LowSpace)
        return cp932::Sjis("ログファイル「" + path + "」のあるファイルシステムの空きが" +
                           std::to_string(CDailyLogFile::kFreeReservePercent) +
                           "%を切ったため、ログの書き込みを止めています。"
                           "空きが戻ると自動で再開します。");
    const char* reason = error == ELOOP   ? "シンボリックリンク"
                         : error == EPERM ? "他のユーザのファイル"
                                          : "通常のファイルではないもの";
    return cp932::Sjis("ログファイル「" + path + "」は" + reason +
                       "のため使いません。ログの書き込みと読み込みをしません。");
}

} // namespace

CStationHub::CStationHub(IStationEvents& events, IStartupSteps& startup,
                         StationEnvironment environment)
    : m_events(events), m_startup(startup), m_env(std::move(environment)),
      m_settings(m_env.settingsFile), m_logFile(m_options, m_env.clock(), m_env.clock),
      m_chatLog(
          m_env.measure, m_options, m_logFile, m_env.clock,
          [this] { return m_stationSettings.m_handleName; },
          [this] { return m_events.WindowTextColour(); }),
      m_roster(m_env.measure, m_chatLog, m_options, m_templates,
               CMemberRoster::Callbacks{
                   [this](const std::string& caption) {
                       m_events.MemberCountChanged(caption, m_roster.List().RowCount());
                   },
                   [this] { PostFetchBulletin(); },
                   [this] {
                       m_events.ShowNotice("Palaverly",
                                           cp932::Sjis("名簿が上限の" +
                                                       std::to_string(CMemberRoster::kMemberLimit) +
                                                       "人に達したため、新しい端末を"
                                                       "載せられません。"));
                   }}),
      m_infoAnswers(m_events, m_env.answerWindow, [this] { SendInfo(); }),
      m_setmAnswers(m_events, m_env.answerWindow, [this] { SendSetm(); }),
      m_reception([this](const Datagram& d, const std::string& time) { Dispatch(d, time); },
                  m_env.clock, m_env.handOverCapacity, [this] { m_events.Wake(); }),
      m_reach(m_env.monotonic) {
    m_chatLog.SetRowAddedHandler([this](int row, const std::string&, const std::string&,
                                        const std::string&, const std::string&,
                                        const std::string&) { m_events.LogRowAdded(row); });
    m_logFile.SetProblemHandler(
        [this](CDailyLogFile::Problem problem, const std::string& path, int error) {
            m_events.ShowNotice("msg", LogProblemText(problem, path, error));
        });
}

CStationHub::~CStationHub() {
    Shutdown();
}

int CStationHub::Initialize() {
    // Transport first: set-up failures are reported and the station goes on without it.
    m_port =
        m_env.makePort(m_env.port, [this](const std::string& caption, const std::string& text) {
            m_events.ShowNotice(caption, text);
        });
    m_startup.AddTrayIcon();

    m_settings.LoadSettings(m_env.userName ? m_env.userName() : std::string());
    m_ticker.SetText(m_info.m_localMessage);
    m_initialized = true;
    m_startup.RestorePlacement();

    std::string host = m_env.hostName ? m_env.hostName() : std::string();
    if (host.empty())
        return -1;

    m_stationId = m_env.stationId ? m_env.stationId() : std::string();

    // A handle or status longer than its field would run into the next one of the INFO.
    m_stationSettings.m_handleName =
        cp932::CutToBytes(m_stationSettings.m_handleName, kHandleLimit);

    m_computerName =
        cp932::CutToBytes(m_env.computerName ? m_env.computerName() : host, kComputerNameMaxBytes);
    CDailyLogFile::EnsureDefaultLogFolder(m_options);

    m_settings.LoadTemplates();

    m_stationSettings.m_status = cp932::CutToBytes(m_stationSettings.m_status, kStatusLimit);
    m_startup.SetEditTexts(Handle(), Status());

    // Time alone gives stations started in the same second the same datagram ids, and each
    // then drops the other's datagrams as repetitions.
    std::random_device entropy;
    std::seed_seq seed{entropy(), static_cast<unsigned>(std::time(nullptr))};
    m_random.seed(seed);
    m_roster.SetupListColumns(
        CMemberRoster::kInsertChatLogColumns | CMemberRoster::kInsertRosterColumns |
        CMemberRoster::kResetChatLogWidths | CMemberRoster::kResetRosterWidths);

    if (m_env.receiveThread && m_port)
        m_reception.Start(*m_port);
    m_startup.StartTimers();

    if (m_options.m_flgLogAutoLoad)
        m_chatLog.OnReloadLog();
    if (m_options.m_flgChatWindowReady)
        m_startup.ToggleWindow();

    RefreshRoster();
    m_startup.Ready();
    return 0;
}

void CStationHub::Shutdown() {
    if (m_shutDown || !m_initialized)
        return;
    m_shutDown = true;
    // Nothing is dispatched after the BYE: reception ends before it.
    m_reception.StopReception();
    if (!m_computerName.empty() || !m_stationId.empty())
        SignOff();
    m_port.reset();
    // Without an identity the handle and status were never in use: the stored ones stay.
    if (!m_computerName.empty())
        m_settings.SaveStation();
    else
        m_settings.SavePlacement();
}

std::string CStationHub::LoginTime() const {
    std::lock_guard lock(m_sendMutex);
    return m_loginTime;
}

int CStationHub::SendDatagram(std::string_view word, const char* payload) {
    if (!IsAcceptedCommandWord(word))
        return -1;
    LocalTime now = m_env.clock();
    Datagram d;
    {
        std::lock_guard lock(m_sendMutex);
        int id = static_cast<int>(m_random() % 99999999u);
        d = BuildDatagram(id, now, word, payload);
        if (m_loginTime.empty())
            m_loginTime = FormatLoginTime(now);
    }
    Scramble(d);
    if (m_port)
        m_port->Send(d.bytes.data(), static_cast<short>(kDatagramSize));
    return 0;
}

CStationHub::SendResult CStationHub::SendAction(std::string_view message) {
    // Cut on a character boundary to what the field holds.
    const std::string text = cp932::CutToBytes(message, kMessageLimit);
    if (text.empty())
        return SendResult::Empty;
    const std::vector<std::string> receivers = m_roster.MarkedComputerNames();
    if (receivers.empty()) {
        m_events.ShowNotice("Gablinx", cp932::Sjis("ユーザを選択しないと送信できません"));
        return SendResult::NoReceiver;
    }
    const char* word = receivers.size() >= 2 ? "SENDM" : "SEND";
    for (const std::string& receiver : receivers) {
        auto payload = MakeSendPayload(m_computerName, receiver, text);
        SendDatagram(word, payload.data());
    }
    return SendResult::Sent;
}

void CStationHub::BeepAction(const std::function<bool()>& shiftDown) {
    const std::vector<std::string> receivers = m_roster.MarkedComputerNames();
    const char* word = receivers.size() >= 2 ? "BEEPM" : "BEEP";
    for (const std::string& receiver : receivers) {
        auto payload = MakeBeepPayload(m_computerName, receiver, shiftDown && shiftDown());
        if (receiver == m_computerName) {
            m_events.ShowNotice("Palaverly", cp932::Sjis("送信先が自分ですので中止します"));
            continue;
        }
        SendDatagram(word, payload.data());
    }
}

void CStationHub::RefreshRoster() {
    m_roster.Clear();
    RollCall();
}

void CStationHub::RollCall() {
    SendDatagram("MEMB", nullptr);
    // Offline, nothing can come back: a station started before its network says nothing.
    if (m_port && m_port->CanReceive() && m_port->LastSendReachedNetwork()) {
        m_reach.RollCallSent();
        ScheduleTimers();
    }
}

int CStationHub::NetworkChangeDescriptor() const {
    return m_port ? m_port->InterfaceChangeDescriptor() : -1;
}

void CStationHub::OnNetworkChange() {
    if (!m_port)
        return;
    // Taken in any case: the descriptor stays readable until its events are read.
    const CDatagramPort::RouteChange change = m_port->TakeRouteChange();
    if (!change.changed || m_computerName.empty() || m_shutDown)
        return;
    m_reach.RoutesChanged(change.gained);
    ScheduleTimers();
}

void CStationHub::RunTimers() {
    if (m_shutDown)
        return;
    const CReachWatch::Due due = m_reach.TakeDue();
    // A laptop that moved keeps its computer name but not its address; its INFO, GETM, SETM
    // and BYE would otherwise announce the address it had at start.
    if ((due.identity || due.rollCall) && m_env.interfaces)
        m_stationId = MovedStationId(m_stationId, m_env.interfaces());
    if (due.rollCall)
        RefreshRoster();
    if (due.deafNotice)
        NoticeDeaf();
    ScheduleTimers();
}

void CStationHub::ScheduleTimers() {
    m_events.WakeAfter(m_reach.UntilNext());
}

void CStationHub::NoticeDeaf() {
    const Firewall firewall = m_env.firewall ? m_env.firewall() : Firewall::Nftables;
    const std::string port = std::to_string(m_env.port);
    m_events.ShowNotice("msg", cp932::Sjis("UDP ポート " + port +
                                           " に届くデータが、ファイアウォールで止められているよう"
                                           "です。自分の応答も戻ってこないため、ほかの端末が見え"
                                           "ません。\n次のコマンドでポートを開けてください:\n" +
                                           OpenPortCommand(firewall, m_env.port)));
}

void CStationHub::PostRefreshRoster() {
    m_events.Post([this] {
        if (!m_shutDown)
            RefreshRoster();
    });
}

void CStationHub::FetchBulletin() {
    auto payload = MakeStationPayload(m_stationId, m_computerName);
    SendDatagram("GETM", payload.data());
}

void CStationHub::PostFetchBulletin() {
    m_events.Post([this] {
        if (!m_shutDown)
            FetchBulletin();
    });
}

void CStationHub::TakeHandleAndStatus(std::string_view handle, std::string_view status) {
    m_stationSettings.m_handleName = cp932::CutToBytes(handle, kHandleLimit);
    m_stationSettings.m_status = cp932::CutToBytes(status, kStatusLimit);
}

void CStationHub::CommitHandleAndStatus(std::string_view handle, std::string_view status) {
    TakeHandleAndStatus(handle, status);
    SendDatagram("MEMB", nullptr);
}

void CStationHub::SignOff() {
    // An answer sent after the BYE would put this station back on every roster.
    m_infoAnswers.Cancel();
    m_setmAnswers.Cancel();
    m_roster.RemoveMember(m_stationId, m_computerName);
    auto payload = MakeStationPayload(m_stationId, m_computerName);
    SendDatagram("BYE", payload.data());
}

void CStationHub::OnSuspend() {
    SignOff();
}

void CStationHub::OnResume() {
    PostRefreshRoster();
}

int CStationHub::MarkSenderOfLogRow(int row) {
    return m_roster.OnLogRowClicked(row);
}

void CStationHub::MarkAll(bool marked) {
    if (marked)
        m_roster.OnMarkAllOn();
    else
        m_roster.OnMarkAllOff();
}

bool CStationHub::SetMark(std::string_view computerName, bool marked) {
    return m_roster.SetMark(computerName, marked);
}

void CStationHub::ClearLog() {
    m_chatLog.OnClearLog();
}

int CStationHub::ReloadLog() {
    return m_chatLog.OnReloadLog();
}

std::optional<std::string> CStationHub::CopyLogLine() const {
    return m_chatLog.OnLineCopy();
}

std::optional<std::string> CStationHub::TickerStep() {
    return m_ticker.Step();
}

// --- reception ---

std::size_t CStationHub::DrainReceived() {
    return DrainReceived(m_env.handOverCapacity, [] { return true; });
}

std::size_t CStationHub::DrainReceived(std::size_t max, const std::function<bool()>& goOn) {
    // The rows of one drain go to the daily log file with one open and one write.
    m_chatLog.BeginBatch();
    const std::size_t delivered = m_reception.DrainReceived(max, goOn);
    m_chatLog.EndBatch();
    return delivered;
}

void CStationHub::Dispatch(const Datagram& d, const std::string& receptionTime) {
    switch (RecognizeCommand(d)) {
    case Command::Memb:
        OnMemb();
        break;
    case Command::Info:
        OnInfo(d);
        break;
    case Command::Setm:
        OnSetm(d);
        break;
    case Command::Getm:
        OnGetm();
        break;
    case Command::Bye:
        OnBye(d);
        break;
    case Command::Beep:
        OnBeep(d, receptionTime);
        break;
    case Command::Quit:
        OnQuit(d);
        break;
    case Command::Send:
        OnSend(d, receptionTime);
        break;
    case Command::None:
        break;
    }
}

void CStationHub::OnMemb() {
    m_infoAnswers.Request();
}

void CStationHub::SendInfo() {
    InfoFields f;
    f.stationId = m_stationId;
    f.computerName = m_computerName;
    f.handleName = Handle();
    f.status = Status();
    f.loginTime = LoginTime();
    auto payload = MakeInfoPayload(f);
    SendDatagram("INFO", payload.data());
}

void CStationHub::OnInfo(const Datagram& d) {
    InfoFields f = ReadInfo(d);
    if (f.computerName == m_computerName && f.stationId == m_stationId)
        m_reach.OwnInfoHeard();
    // Host names cut to 15 bytes can meet; the two stations would then share one roster row
    // and each other's messages, which only a new host name mends.
    if (!m_nameClashShown && !m_computerName.empty() && f.computerName == m_computerName &&
        f.stationId != m_stationId)
        NoticeNameClash(f.stationId);
    m_roster.UpsertMember(f.stationId, f.status, f.computerName, f.handleName, f.version, f.comment,
                          f.loginTime);
}

void CStationHub::NoticeNameClash(const std::string& otherStationId) {
    m_nameClashShown = true;
    std::string dotted = StationIdDisplay(otherStationId);
    std::erase(dotted, ' ');
    m_events.ShowNotice("Palaverly", cp932::Sjis("別の端末（") + dotted +
                                         cp932::Sjis("）も同じコンピュータ名「") + m_computerName +
                                         cp932::Sjis("」を使っています。メッセージが混ざるので、"
                                                     "どちらかのホスト名を変えてください。"));
}

void CStationHub::OnSetm(const Datagram& d) {
    StationFields f = ReadStation(d);
    if (m_bulletins.StoreBulletin(f.computerName, f.text))
        RebuildTicker();
}

void CStationHub::RebuildTicker() {
    m_ticker.SetText(m_bulletins.BuildTickerText(
        m_info.m_localMessage, m_options.m_flgChatServerMsgRecv != 0,
        m_templates.Text(Notice::BulletinPrefix), [this](const std::string& computer) {
            return m_roster.FindHandleByComputerName(computer);
        }));
    m_events.TickerTextChanged(m_ticker.Text());
}

void CStationHub::OnGetm() {
    if (m_options.m_flgChatServer)
        m_setmAnswers.Request();
}

void CStationHub::SendSetm() {
    // A folded answer goes out later: the options may have changed meanwhile.
    if (!m_options.m_flgChatServer)
        return;
    auto payload = MakeSetmPayload(m_stationId, m_computerName, m_info.m_bulletinMessage);
    SendDatagram("SETM", payload.data());
}

void CStationHub::OnBye(const Datagram& d) {
    StationFields f = ReadStation(d);
    m_roster.RemoveMember(f.stationId, f.computerName);
}

std::optional<CStationHub::Addressed> CStationHub::AddressedHere(const AddressedFields& f) const {
    if (m_computerName != f.sender && m_computerName != f.receiver)
        return std::nullopt;
    return Addressed{cp932::Sjis(f.broadcast ? "同報" : "個人"),
                     m_roster.FindHandleByComputerName(f.sender),
                     m_roster.FindHandleByComputerName(f.receiver)};
}

void CStationHub::OnBeep(const Datagram& d, const std::string& receptionTime) {
    const AddressedFields f = ReadAddressed(d);
    const std::optional<Addressed> a = AddressedHere(f);
    if (!a)
        return;
    if (!f.silent) {
        const std::string& notice = m_computerName == f.receiver
                                        ? m_templates.Text(Notice::BeepReceived)
                                        : m_templates.Text(Notice::BeepSent);
        m_chatLog.AddLogRow(a->receiverHandle, a->senderHandle, receptionTime, a->kind, notice);
        if (f.sender != m_computerName)
            m_events.MessageArrived(
                {IncomingMessage::Kind::Alert, f.broadcast, f.sender, a->senderHandle, notice});
    }
    if (m_options.m_flgUseBeepSound == 1) {
        if (!m_options.m_soundFilePath.empty())
            m_events.PlaySound(m_options.m_soundFilePath);
    } else {
        m_events.Beep();
    }
}

void CStationHub::OnQuit(const Datagram& d) {
    // Shown without blocking anything: reception goes on while the box is open.
    m_events.ShowQuitNotice();
    if (m_computerName == ReadAddressed(d).receiver)
        m_events.CloseRequested();
}

void CStationHub::OnSend(const Datagram& d, const std::string& receptionTime) {
    AddressedFields f = ReadAddressed(d);
    const std::optional<Addressed> a = AddressedHere(f);
    if (!a)
        return;
    bool popup = m_options.m_flgPopupAllMsg == 1 || m_options.m_flgPopupToYouMsg == 1;
    m_chatLog.AddLogRow(a->receiverHandle, a->senderHandle, receptionTime, a->kind, f.text);
    if (f.sender != m_computerName)
        m_events.MessageArrived({IncomingMessage::Kind::Message, f.broadcast, f.sender,
                                 a->senderHandle, std::move(f.text)});
    if (popup)
        m_events.Popup();
}

} // namespace palaverly
