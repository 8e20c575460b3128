#include "hub/CChatDlg.h"

#include "text/Cp932.h"

#include <cstdio>
#include <ctime>

namespace palaverly {
namespace {

std::string Format2d02d(int hour, int minute) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%2d:%02d", hour, minute);
    return buffer;
}

// A CP932 text taken from the user, cut on a character boundary to the field's limit.
std::optional<std::string> FromUser(std::string_view utf8, std::size_t limit) {
    auto sjis = cp932::FromUtf8(utf8);
    if (!sjis)
        return std::nullopt;
    return cp932::CutToBytes(*sjis, limit);
}

} // namespace

CChatDlg::CChatDlg(IChatFrontEnd& frontEnd, StationEnvironment environment)
    : m_frontEnd(frontEnd), m_env(std::move(environment)), m_settings(m_env.settingsFile),
      m_logList(CMarkList::Order::Unsorted, CMarkList::Selection::Single, m_env.measure),
      m_rosterList(CMarkList::Order::Sorted, CMarkList::Selection::Multiple, m_env.measure),
      m_logFile(m_options, m_env.clock(), m_env.clock),
      m_chatLog(
          m_logList, m_options, m_logFile, m_env.clock, [this] { return m_handle; },
          [this] { return m_frontEnd.WindowTextColour(); }),
      m_roster(m_rosterList, m_chatLog, m_options, m_templates,
               CMemberRoster::Callbacks{[this](const std::string& caption) {
                                            m_frontEnd.MemberCountChanged(caption,
                                                                          m_rosterList.RowCount());
                                        },
                                        [this] { PostFetchBulletin(); }}),
      m_handOver(m_env.handOverCapacity, [this] { m_frontEnd.Wake(); }) {
    m_chatLog.SetRowAddedHandler([this](int row, const std::string&, const std::string&,
                                        const std::string&, const std::string&,
                                        const std::string&) { m_frontEnd.LogRowAdded(row); });
}

CChatDlg::~CChatDlg() {
    Shutdown();
}

int CChatDlg::Initialize() {
    // Transport first: set-up failures are reported and the station goes on without it.
    m_port =
        m_env.makePort(m_env.port, [this](const std::string& caption, const std::string& text) {
            m_frontEnd.ShowNotice(caption, text);
        });
    m_frontEnd.AddTrayIcon();

    m_options.LoadSettings(m_settings);
    m_info.LoadSettings(m_settings);
    m_phrases.LoadSettings(m_settings);
    m_ticker.SetText(m_info.m_localMessage);
    m_initialized = true;
    m_frontEnd.RestorePlacement();

    std::string host = m_env.hostName ? m_env.hostName() : std::string();
    if (host.empty())
        return -1;

    m_stationId = m_env.stationId ? m_env.stationId() : std::string();

    std::string handle;
    if (m_settings.ReadSetting("HandleName", handle, 1024) != 0)
        handle = m_env.userName ? m_env.userName() : std::string();
    // A handle longer than its field would run into the next one of the INFO.
    m_handle = cp932::CutToBytes(handle, kHandleLimit);

    m_computerName = cp932::CutToBytes(m_env.computerName ? m_env.computerName() : host, 15);
    CDailyLogFile::EnsureDefaultLogFolder(m_options);

    m_templates.LoadSettings(m_settings);

    std::string status;
    if (m_settings.ReadSetting("Status", status, 128) != 0)
        status = cp932::Sjis("普通");
    m_status = cp932::CutToBytes(status, kStatusLimit);
    m_frontEnd.SetEditTexts(m_handle, m_status);

    // Time alone gives stations started in the same second the same datagram ids, and each
    // then drops the other's datagrams as repetitions.
    std::random_device entropy;
    std::seed_seq seed{entropy(), static_cast<unsigned>(std::time(nullptr))};
    m_random.seed(seed);
    m_roster.SetupListColumns(15);

    if (m_env.receiveThread && m_port)
        m_receiveThread = std::thread([this] { ReceiveLoop(); });
    m_frontEnd.StartTimers();

    if (m_options.m_flgLogAutoLoad)
        m_chatLog.OnReloadLog();
    if (m_options.m_flgChatWindowReady)
        m_frontEnd.ToggleWindow();

    RefreshRoster();
    m_frontEnd.Ready();
    return 0;
}

void CChatDlg::StopReception() {
    // Close the hand-over first: nothing queued is dispatched any more and a receive thread
    // waiting for room is released; then wake the blocked receive and join.
    m_handOver.Close();
    if (m_port)
        m_port->Interrupt();
    if (m_receiveThread.joinable())
        m_receiveThread.join();
}

void CChatDlg::Shutdown() {
    if (m_shutDown || !m_initialized)
        return;
    m_shutDown = true;
    StopReception();
    if (!m_computerName.empty() || !m_stationId.empty())
        SignOff();
    m_port.reset();
    if (!m_computerName.empty()) {
        m_settings.WriteSetting("HandleName", m_handle);
        m_settings.WriteSetting("Status", m_status);
    }
}

std::string CChatDlg::LoginTime() const {
    std::lock_guard lock(m_sendMutex);
    return m_loginTime;
}

std::string CChatDlg::Timestamp() const {
    LocalTime now = m_env.clock();
    return Format2d02d(now.hour, now.minute);
}

int CChatDlg::SendDatagram(std::string_view word, const char* payload) {
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

CChatDlg::SendResult CChatDlg::SendAction(std::string_view messageUtf8) {
    auto text = FromUser(messageUtf8, kMessageLimit);
    if (!text)
        return SendResult::Unrepresentable;
    if (text->empty())
        return SendResult::Empty;
    int marks = m_rosterList.CountMarks();
    if (marks == 0) {
        m_frontEnd.ShowNotice("Gablinx", cp932::Sjis("ユーザを選択しないと送信できません"));
        return SendResult::NoReceiver;
    }
    const char* word = marks >= 2 ? "SENDM" : "SEND";
    for (int row = 0; row < m_rosterList.RowCount(); ++row) {
        if (!m_rosterList.IsMarked(row))
            continue;
        auto payload = MakeSendPayload(m_computerName, m_rosterList.Text(row, 2), *text);
        SendDatagram(word, payload.data());
    }
    return SendResult::Sent;
}

void CChatDlg::BeepAction(const std::function<bool()>& shiftDown) {
    if (m_rosterList.RowCount() == 0)
        return;
    for (int row = 0; row < m_rosterList.RowCount(); ++row) {
        const char* word = m_rosterList.CountMarks() >= 2 ? "BEEPM" : "BEEP";
        if (!m_rosterList.IsMarked(row))
            continue;
        const std::string& receiver = m_rosterList.Text(row, 2);
        auto payload = MakeBeepPayload(m_computerName, receiver, shiftDown && shiftDown());
        if (receiver == m_computerName) {
            m_frontEnd.ShowNotice("Palaverly", cp932::Sjis("送信先が自分ですので中止します"));
            continue;
        }
        SendDatagram(word, payload.data());
    }
}

void CChatDlg::RefreshRoster() {
    m_roster.Clear();
    SendDatagram("MEMB", nullptr);
}

void CChatDlg::PostRefreshRoster() {
    m_frontEnd.Post([this] {
        if (!m_shutDown)
            RefreshRoster();
    });
}

void CChatDlg::FetchBulletin() {
    auto payload = MakeStationPayload(m_stationId, m_computerName);
    SendDatagram("GETM", payload.data());
}

void CChatDlg::PostFetchBulletin() {
    m_frontEnd.Post([this] {
        if (!m_shutDown)
            FetchBulletin();
    });
}

bool CChatDlg::TakeHandleAndStatus(std::string_view handleUtf8, std::string_view statusUtf8) {
    auto handle = FromUser(handleUtf8, kHandleLimit);
    auto status = FromUser(statusUtf8, kStatusLimit);
    if (!handle || !status)
        return false;
    m_handle = *handle;
    m_status = *status;
    return true;
}

bool CChatDlg::CommitHandleAndStatus(std::string_view handleUtf8, std::string_view statusUtf8) {
    if (!TakeHandleAndStatus(handleUtf8, statusUtf8))
        return false;
    SendDatagram("MEMB", nullptr);
    return true;
}

void CChatDlg::SignOff() {
    m_roster.RemoveMember(m_stationId, m_computerName);
    auto payload = MakeStationPayload(m_stationId, m_computerName);
    SendDatagram("BYE", payload.data());
}

void CChatDlg::OnSuspend() {
    SignOff();
}

void CChatDlg::OnResume() {
    PostRefreshRoster();
}

int CChatDlg::OnLogRowClicked(int controlId, int row) {
    return m_roster.OnLogRowClicked(controlId, row);
}

std::optional<std::string> CChatDlg::TickerStep() {
    return m_ticker.Step();
}

// --- reception ---

void CChatDlg::ReceiveLoop() {
    std::array<char, kDatagramSize> buffer{};
    for (;;) {
        int rc = m_port->Receive(buffer.data(), static_cast<short>(buffer.size()));
        if (rc == ECANCELED)
            return;
        if (rc != 0)
            continue; // a bad datagram costs only itself
        if (!AcceptRaw(buffer.data()))
            return;
    }
}

bool CChatDlg::AcceptRaw(const char* bytes) {
    Received r;
    std::copy(bytes, bytes + kDatagramSize, r.datagram.bytes.begin());
    Scramble(r.datagram);
    std::string id = DatagramId(r.datagram);
    if (id == m_lastId)
        return true;
    m_lastId = id;
    r.receptionTime = Timestamp();
    return m_handOver.Push(std::move(r));
}

std::size_t CChatDlg::DrainReceived() {
    return m_handOver.Drain([this](Received&& r) { Dispatch(r.datagram, r.receptionTime); },
                            m_env.handOverCapacity);
}

void CChatDlg::Dispatch(const Datagram& d, const std::string& receptionTime) {
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

void CChatDlg::OnMemb() {
    InfoFields f;
    f.stationId = m_stationId;
    f.computerName = m_computerName;
    f.handleName = m_handle;
    f.status = m_status;
    f.loginTime = LoginTime();
    auto payload = MakeInfoPayload(f);
    SendDatagram("INFO", payload.data());
}

void CChatDlg::OnInfo(const Datagram& d) {
    InfoFields f = ReadInfo(d);
    m_roster.UpsertMember(f.stationId, f.status, f.computerName, f.handleName, f.version, f.comment,
                          f.loginTime);
}

void CChatDlg::OnSetm(const Datagram& d) {
    if (m_bulletins.StoreBulletin(ReadField(d, kComputerOffset), ReadField(d, kSetmTextOffset)))
        RebuildTicker();
}

void CChatDlg::RebuildTicker() {
    m_ticker.SetText(
        m_bulletins.BuildTickerText(m_info.m_localMessage, m_options.m_flgChatServerMsgRecv != 0,
                                    m_templates.m_texts[4], [this](const std::string& computer) {
                                        return m_roster.FindHandleByComputerName(computer);
                                    }));
    m_frontEnd.TickerTextChanged(m_ticker.Text());
}

void CChatDlg::OnGetm() {
    if (!m_options.m_flgChatServer)
        return;
    auto payload = MakeSetmPayload(m_stationId, m_computerName, m_info.m_bulletinMessage);
    SendDatagram("SETM", payload.data());
}

void CChatDlg::OnBye(const Datagram& d) {
    m_roster.RemoveMember(ReadField(d, kStationIdOffset), ReadField(d, kComputerOffset));
}

void CChatDlg::OnBeep(const Datagram& d, const std::string& receptionTime) {
    std::string sender = ReadField(d, kSenderOffset);
    std::string receiver = ReadField(d, kReceiverOffset);
    if (m_computerName != sender && m_computerName != receiver)
        return;
    std::string kind = cp932::Sjis(IsBroadcastKind(d) ? "同報" : "個人");
    std::string senderHandle = m_roster.FindHandleByComputerName(sender);
    std::string receiverHandle = m_roster.FindHandleByComputerName(receiver);
    if (!SilentFlagSet(d)) {
        const std::string& notice =
            m_computerName == receiver ? m_templates.m_texts[0] : m_templates.m_texts[1];
        m_chatLog.AddLogRow(receiverHandle, senderHandle, receptionTime, kind, notice);
    }
    if (m_options.m_flgUseBeepSound == 1) {
        if (!m_options.m_soundFilePath.empty())
            m_frontEnd.PlaySound(m_options.m_soundFilePath);
    } else {
        m_frontEnd.Beep();
    }
}

void CChatDlg::OnQuit(const Datagram& d) {
    // Shown without blocking anything: reception goes on while the box is open.
    m_frontEnd.ShowNotice("Palaverly", "quit");
    if (m_computerName == ReadField(d, kReceiverOffset))
        m_frontEnd.CloseRequested();
}

void CChatDlg::OnSend(const Datagram& d, const std::string& receptionTime) {
    std::string sender = ReadField(d, kSenderOffset);
    std::string receiver = ReadField(d, kReceiverOffset);
    std::string kind = cp932::Sjis(IsBroadcastKind(d) ? "同報" : "個人");
    std::string senderHandle = m_roster.FindHandleByComputerName(sender);
    std::string receiverHandle = m_roster.FindHandleByComputerName(receiver);
    if (m_computerName != sender && m_computerName != receiver)
        return;
    bool popup = m_options.m_flgPopupAllMsg == 1 || m_options.m_flgPopupToYouMsg == 1;
    m_chatLog.AddLogRow(receiverHandle, senderHandle, receptionTime, kind,
                        ReadField(d, kSendTextOffset));
    if (popup)
        m_frontEnd.Popup();
}

} // namespace palaverly
