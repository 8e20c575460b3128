#include "desktop/CChatWindow.h"

#include "desktop/CDBusNotificationBus.h"
#include "desktop/CDesktopNotifier.h"
#include "desktop/CInputEdit.h"
#include "desktop/CLogSearchDialog.h"
#include "desktop/CMarkListCtrl.h"
#include "desktop/DesktopResources.h"
#include "dialogs/CDialogCommands.h"
#include "qtsupport/QtText.h"
#include "settings/CWindowPos.h"
#include "text/Cp932.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMoveEvent>
#include <QPushButton>
#include <QShortcut>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolTip>

namespace palaverly {
namespace {

// The frame the template was laid out for (sizing border 4, caption 19): the layout rules
// count from the outer size, and X window managers' decorations vary too much to use theirs.
constexpr int kFrameWidth = 8;
constexpr int kFrameHeight = 27;

// The edits refuse what CP932 cannot hold; a text that has no CP932 form all the same leaves
// the station's handle and status as they were.
void HandOver(CStationHub& station, const QString& handle, const QString& status, bool commit) {
    const std::optional<std::string> h = ToCp932(handle);
    const std::optional<std::string> s = ToCp932(status);
    if (!h || !s)
        return;
    if (commit)
        station.CommitHandleAndStatus(*h, *s);
    else
        station.TakeHandleAndStatus(*h, *s);
}

} // namespace

CChatWindow::CChatWindow(StationEnvironment station, DesktopEnvironment desktop, QWidget* parent)
    : QWidget(parent, Qt::Window), m_desktop(std::move(desktop)),
      m_layout(*this, CDialogUnits(CDialogUnits::DialogFont())),
      m_placement(*this,
                  m_desktop.placesWindows.value_or(
                      !QGuiApplication::platformName().startsWith(QLatin1String("wayland"))),
                  QSize(kMinimumWidth, kMinimumHeight)),
      m_timers(m_desktop.monotonic ? m_desktop.monotonic : MonotonicClock(MonotonicMilliseconds),
               [this](int id) { OnTimer(id); }) {
    if (!m_desktop.trayAvailable)
        m_desktop.trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    if (!m_desktop.shiftDown)
        m_desktop.shiftDown = [] {
            return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
        };

    m_hubTimer.setSingleShot(true);
    connect(&m_hubTimer, &QTimer::timeout, this, [this] { m_station->RunTimers(); });
    setFont(m_layout.Units().Font());
    std::unique_ptr<INotificationBus> bus = m_desktop.notificationBus
                                                ? m_desktop.notificationBus()
                                                : std::make_unique<CDBusNotificationBus>();
    m_notifier = std::make_unique<CDesktopNotifier>(std::move(bus), [this] { ShowAction(); });

    // Every row widens its columns by measuring its texts, and shaping text is the dearest
    // step of taking a datagram in; rows mostly repeat their time, sender and kind.
    m_measure = RememberWidths([this](std::string_view text) { return TextWidth(text); });
    station.measure = m_measure;
    m_station =
        std::make_unique<CStationHub>(static_cast<IChatFrontEnd&>(*this), std::move(station));

    setWindowTitle(QStringLiteral("Palaverly  - 2026 Quillmark"));
    setWindowIcon(AppIcon());
    // No frame is known before the window manager decorates the window: until then the
    // minimum is the whole window's.
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    CreateControls();
    CreateTray();
    // After a save the ticker and bulletin timers take the new periods, and new information
    // texts make the station ask for bulletins again.
    CDialogCommands::Hooks hooks;
    hooks.optionsSaved = [this] { RestartTimersAfterSave(); };
    hooks.infoSaved = [this] { m_station->PostFetchBulletin(); };
    m_dialogs = std::make_unique<CDialogCommands>(m_station->Settings(), m_layout.Units().Font(),
                                                  std::move(hooks));
    connect(this, &CChatWindow::OptionsRequested, m_dialogs.get(), &CDialogCommands::OpenOptions);
    connect(this, &CChatWindow::PhrasesRequested, m_dialogs.get(), &CDialogCommands::OpenPhrases);
    connect(this, &CChatWindow::InfoRequested, m_dialogs.get(), &CDialogCommands::OpenInfo);
    connect(this, &CChatWindow::AboutRequested, m_dialogs.get(), &CDialogCommands::OpenAbout);
    const QRect size = m_layout.ToPixels(0, 0, 378, 354);
    resize(std::max(size.width(), kMinimumWidth), std::max(size.height(), kMinimumHeight));
}

CChatWindow::~CChatWindow() {
    Shutdown();
    // The views observe the hub's tables: they go before the hub does.
    delete m_logView;
    delete m_rosterView;
    m_logView = m_rosterView = nullptr;
}

int CChatWindow::TextWidth(std::string_view cp932) const {
    return QFontMetrics(m_layout.Units().Font()).horizontalAdvance(FromCp932(cp932));
}

QPushButton* CChatWindow::Button(int id) const {
    return m_layout.ControlAs<QPushButton>(id);
}

QPushButton* CChatWindow::AddButton(int id, const QString& caption, int x, int y, int w, int h) {
    return m_layout.AddButton(id, caption, x, y, w, h);
}

QLineEdit* CChatWindow::AddEdit(QLineEdit* edit, int id, int limit, int x, int y, int w, int h) {
    m_layout.AddEdit(id, edit, x, y, w, h);
    if (limit > 0) {
        QPointer<QLineEdit> guard(edit);
        edit->setValidator(new CCp932Validator(
            limit,
            [this, guard, id, limit](CCp932Validator::Refusal refusal) {
                QString hint = CCp932Validator::HintText(refusal, limit);
                if (guard)
                    QToolTip::showText(guard->mapToGlobal(QPoint(0, guard->height())), hint, guard);
                emit InputRefused(id, hint);
            },
            edit));
    }
    return edit;
}

void CChatWindow::CreateControls() {
    // Template order, which is also the tab order.
    m_messageEdit = new CInputEdit(this);
    AddEdit(m_messageEdit, kMessageEdit, CStationHub::kMessageLimit, 5, 186, 305, 14);
    AddButton(kSendButton, QStringLiteral("送信(&S)"), 310, 185, 35, 13);
    AddButton(kPhraseButton, QStringLiteral("..."), 345, 185, 10, 13);
    AddButton(kClearButton, QStringLiteral("全消去"), 45, 173, 40, 13);
    AddButton(kReloadButton, QStringLiteral("再読込"), 5, 173, 40, 13);
    AddButton(kLineCopyButton, QStringLiteral("行ｺﾋﾟｰ"), 85, 173, 40, 13);
    AddButton(kBeepButton, QStringLiteral("BEEP攻撃"), 45, 215, 40, 13);
    AddButton(kMarkOnButton, QStringLiteral("全ﾏｰｸON"), 85, 215, 40, 13);
    AddButton(kMarkOffButton, QStringLiteral("全ﾏｰｸOFF"), 125, 215, 40, 13);
    m_handleEdit =
        AddEdit(new QLineEdit(this), kHandleEdit, CStationHub::kHandleLimit, 35, 3, 75, 14);
    m_ticker = AddEdit(new QLineEdit(this), kTicker, 0, 160, 3, 190, 14);
    m_ticker->setReadOnly(true);
    // The label ends where its edit begins: a wider caption grows to the left.
    m_handleLabel =
        m_layout.AddLabel(-1, QStringLiteral("ﾊﾝﾄﾞﾙ名"), 5, 5, 25, 10, CTemplateLayout::Grow::Left);
    m_rosterGroup =
        m_layout.AddGroup(kRosterGroup, QStringLiteral("ﾕｰｻﾞｰ情報()"), 0, 206, 355, 138);
    m_logGroup = m_layout.AddGroup(kLogGroup, QStringLiteral("ﾁｬｯﾄﾛｸﾞ"), 0, 17, 365, 187);
    m_logView = new CMarkListCtrl(m_station->ChatLog().List(), m_station->LogViewEdits(), kLogList,
                                  false, m_measure, this);
    m_layout.Place(kLogList, m_logView, 5, 27, 355, 145);
    m_rosterView = new CMarkListCtrl(m_station->Roster().List(), m_station->RosterViewEdits(),
                                     kRosterList, true, m_measure, this);
    m_layout.Place(kRosterList, m_rosterView, 5, 229, 345, 115);
    m_statusEdit =
        AddEdit(new QLineEdit(this), kStatusEdit, CStationHub::kStatusLimit, 110, 3, 50, 14);
    AddButton(kRefreshButton, QStringLiteral("更新"), 5, 215, 40, 13);

    // The controls the template leaves without a label of their own are named here; the
    // roster is named without the member count its group's caption carries.
    m_messageEdit->setAccessibleName(QStringLiteral("ﾒｯｾｰｼﾞ"));
    m_statusEdit->setAccessibleName(QStringLiteral("状態"));
    m_ticker->setAccessibleName(QStringLiteral("ﾃｨｯｶｰ"));
    m_rosterView->setAccessibleName(QStringLiteral("ﾕｰｻﾞｰ情報"));
    Button(kPhraseButton)->setAccessibleName(QStringLiteral("定型ﾌｫｰﾑ"));
    m_layout.FitFrames();
    // Only the template's tab stops take the focus from the keyboard.
    for (QLineEdit* edit : {m_handleEdit, m_statusEdit, m_ticker})
        edit->setFocusPolicy(Qt::ClickFocus);
    const int tabOrder[] = {kMessageEdit,   kSendButton,     kPhraseButton, kClearButton,
                            kReloadButton,  kLineCopyButton, kBeepButton,   kMarkOnButton,
                            kMarkOffButton, kLogList,        kRosterList,   kRefreshButton};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(m_layout.Control(tabOrder[i - 1]), m_layout.Control(tabOrder[i]));

    connect(Button(kSendButton), &QPushButton::clicked, this, [this] { OnSend(); });
    connect(Button(kPhraseButton), &QPushButton::clicked, this, [this] {
        auto menu = BuildPhraseMenu();
        if (QAction* chosen = menu->exec(QCursor::pos()))
            OnCommand(chosen->data().toInt());
    });
    connect(Button(kClearButton), &QPushButton::clicked, this, [this] { m_station->ClearLog(); });
    connect(Button(kReloadButton), &QPushButton::clicked, this, [this] { m_station->ReloadLog(); });
    connect(Button(kLineCopyButton), &QPushButton::clicked, this, [this] { OnLineCopy(); });
    connect(Button(kBeepButton), &QPushButton::clicked, this, [this] {
        // The edits show the texts as last taken (the BEEP writes them back first).
        m_handleEdit->setText(FromCp932(m_station->Handle()));
        m_statusEdit->setText(FromCp932(m_station->Status()));
        m_messageEdit->setText(m_takenMessage);
        m_station->BeepAction(m_desktop.shiftDown);
    });
    connect(Button(kMarkOnButton), &QPushButton::clicked, this,
            [this] { m_station->MarkAll(true); });
    connect(Button(kMarkOffButton), &QPushButton::clicked, this,
            [this] { m_station->MarkAll(false); });
    connect(Button(kRefreshButton), &QPushButton::clicked, this,
            [this] { m_station->PostRefreshRoster(); });
    connect(m_messageEdit, &CInputEdit::Activity, this, [this] { m_idleCount = 0; });
    for (CMarkListCtrl* view : {m_logView, m_rosterView})
        connect(view, &CMarkListCtrl::Activity, this, [this] { m_idleCount = 0; });
    // A right click in the roster asks for nothing.
    connect(m_logView, &CMarkListCtrl::RowClicked, this,
            [this](int, int row) { m_station->MarkSenderOfLogRow(row); });
    m_handleEdit->installEventFilter(this);
    m_statusEdit->installEventFilter(this);
    connect(m_handleEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_handleText = text; });
    connect(m_statusEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_statusText = text; });
    m_ticker->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_ticker, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { ShowTickerMenu(pos); });
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this,
            [this] { OpenLogSearch(); });
}

void CChatWindow::OpenLogSearch() {
    if (!m_logSearch) {
        m_logSearch =
            new CLogSearchDialog(m_station->Settings().Options(), m_layout.Units().Font(), this);
        m_logSearch->setAttribute(Qt::WA_DeleteOnClose);
        m_logSearch->setWindowIcon(windowIcon());
    }
    m_logSearch->show();
    m_logSearch->raise();
    m_logSearch->activateWindow();
}

void CChatWindow::ShowUnread() {
    m_tray->SetLook(m_unread.Icon(windowIcon()), m_unread.ToolTip());
}

void CChatWindow::CreateTray() {
    const std::vector<CTrayIcon::MenuEntry> menu = {
        {kCmdToggle, QStringLiteral("ｳｨﾝﾄﾞｳ表示切替(&D)")},
        {},
        {kCmdOptions, QStringLiteral("ｵﾌﾟｼｮﾝ設定(&O)")},
        {kCmdPhrases, QStringLiteral("定型ﾌｫｰﾑ設定")},
        {kCmdInfo, QStringLiteral("ｲﾝﾌｫﾒｰｼｮﾝ設定")},
        {kCmdAbout, QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&V)")},
        {},
        {kCmdQuit, QStringLiteral("常駐終了(&Q)")},
    };
    m_tray = new CTrayIcon(m_desktop.trayAvailable, m_desktop.followTrayHost, menu, this);
    connect(m_tray, &CTrayIcon::Activated, this, [this] { OnCommand(kCmdToggle); });
    connect(m_tray, &CTrayIcon::CommandChosen, this, &CChatWindow::OnCommand);
    connect(m_tray, &CTrayIcon::HostChanged, this, &CChatWindow::OnTrayHostChanged);
}

std::unique_ptr<QMenu> CChatWindow::BuildPhraseMenu() {
    auto menu = std::make_unique<QMenu>();
    const auto& phrases = m_station->Settings().Phrases().m_phrases;
    for (int n = 1; n <= CPhraseValues::kCount; ++n) {
        const std::string& phrase = phrases[static_cast<std::size_t>(n - 1)];
        if (phrase.empty())
            continue;
        // An ampersand in a phrase is text, not a mnemonic.
        QAction* action = menu->addAction(FromCp932(phrase).replace('&', QStringLiteral("&&")));
        action->setData(kCmdPhraseFirst + n - 1);
    }
    return menu;
}

void CChatWindow::ShowTickerMenu(const QPoint& pos) {
    // The tray menu's commands stay reachable from the window, tray or not.
    std::unique_ptr<QMenu> menu(m_ticker->createStandardContextMenu());
    menu->addSeparator();
    menu->addActions(m_tray->Menu().actions());
    menu->exec(m_ticker->mapToGlobal(pos));
}

void CChatWindow::OnCommand(int id) {
    switch (id) {
    case kCmdToggle:
        ToggleWindow();
        break;
    case kCmdOptions:
        emit OptionsRequested();
        break;
    case kCmdPhrases:
        emit PhrasesRequested();
        break;
    case kCmdInfo:
        emit InfoRequested();
        break;
    case kCmdAbout:
        emit AboutRequested();
        break;
    case kCmdQuit:
        QuitResident();
        break;
    default:
        if (id >= kCmdPhraseFirst && id < kCmdPhraseFirst + CPhraseValues::kCount) {
            const auto& phrase = m_station->Settings()
                                     .Phrases()
                                     .m_phrases[static_cast<std::size_t>(id - kCmdPhraseFirst)];
            InsertIntoMessage(FromCp932(phrase));
        }
        break;
    }
}

int CChatWindow::Start() {
    const int result = m_station->Initialize();
    StartHubWatches();
    // Without a tray the window is the only way in: it shows at once.
    if (!m_trayAvailable && !isVisible())
        ShowAction();
    return result;
}

void CChatWindow::Shutdown() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_tray->StopWatching();
    m_timers.KillAll();
    StopHubWatches();
    // Texts typed but not yet committed by a focus change are taken now, as the edits stand.
    TakeEdits();
    SavePlacement(); // written by the hub's shutdown, with the handle and the status
    m_station->Shutdown();
    m_tray->Remove();
}

void CChatWindow::ShutdownWithoutDisplay() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_displayLost = true;
    m_tray->StopWatching();
    m_timers.KillAll();
    StopHubWatches();
    // The views would follow the station's last changes (its own roster row goes): they are
    // cut off, as nothing can be drawn any more.
    for (CMarkListCtrl* view : {m_logView, m_rosterView})
        view->Model().blockSignals(true);
    HandOver(*m_station, m_handleText, m_statusText, false);
    m_station->Shutdown(); // the placement was handed over at each change
}

// --- IChatFrontEnd ---

void CChatWindow::Wake() {
    // From the receive thread: the window is the context, so nothing runs after it is gone.
    // A flood is taken in slices of a few milliseconds; the hand-over posts the rest anew, so
    // that input and painting get their turn in between.
    QMetaObject::invokeMethod(
        this,
        [this] {
            constexpr std::size_t kSliceDatagrams = 1024;
            constexpr qint64 kSliceMs = 8;
            QElapsedTimer slice;
            slice.start();
            m_station->DrainReceived(kSliceDatagrams,
                                     [&slice] { return slice.elapsed() < kSliceMs; });
        },
        Qt::QueuedConnection);
}

void CChatWindow::WakeAfter(std::int64_t ms) {
    if (ms < 0)
        m_hubTimer.stop();
    else
        m_hubTimer.start(static_cast<int>(std::min<std::int64_t>(ms, 60000)));
}

void CChatWindow::StartHubWatches() {
    const int fd = m_station->NetworkChangeDescriptor();
    if (fd < 0 || m_networkWatch)
        return;
    m_networkWatch = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_networkWatch, &QSocketNotifier::activated, this,
            [this] { m_station->OnNetworkChange(); });
}

void CChatWindow::StopHubWatches() {
    m_hubTimer.stop();
    // The descriptor closes with the station's port.
    delete m_networkWatch;
    m_networkWatch = nullptr;
}

void CChatWindow::Post(std::function<void()> task) {
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void CChatWindow::PostDelayed(std::chrono::milliseconds delay, std::function<void()> task) {
    QTimer::singleShot(delay, this, std::move(task));
}

void CChatWindow::ShowNotice(const std::string& caption, const std::string& text) {
    OpenNotice(caption, text);
}

void CChatWindow::ShowQuitNotice() {
    if (!m_quitBox)
        m_quitBox = OpenNotice("Palaverly", "quit");
}

QMessageBox* CChatWindow::OpenNotice(const std::string& caption, const std::string& text) {
    if (m_displayLost)
        return nullptr;
    const QString qCaption = FromCp932(caption);
    const QString qText = FromCp932(text);
    emit NoticeShown(qCaption, qText);
    if (!m_desktop.showNoticeBoxes)
        return nullptr;
    // Not modal: reception and the window go on while the box is open.
    auto* box = new QMessageBox(QMessageBox::NoIcon, qCaption, qText, QMessageBox::Ok);
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowIcon(windowIcon());
    box->show();
    return box;
}

void CChatWindow::PlaySound(const std::string& path) {
    if (!m_sound.Play(cp932::ToUtf8(path)))
        QApplication::beep();
}

void CChatWindow::Beep() {
    QApplication::beep();
}

void CChatWindow::Popup() {
    ShowAction();
}

void CChatWindow::MessageArrived(const IncomingMessage& message) {
    // The user sees the window: the log row is notice enough.
    const bool seen = isVisible() && !isMinimized() && isActiveWindow();
    if (seen)
        return;
    // Counted whatever "Flg DesktopNotify" says: the badge outlasts a notification.
    m_unread.Add(
        FromCp932(message.senderHandle.empty() ? message.senderComputer : message.senderHandle));
    ShowUnread();
    if (m_station->Settings().Options().m_flgDesktopNotify != 0)
        m_notifier->Arrived(message);
}

void CChatWindow::CloseRequested() {
    CloseBehaviour();
}

void CChatWindow::MemberCountChanged(const std::string& caption, int /*count*/) {
    if (m_displayLost)
        return;
    m_rosterGroup->setTitle(FromCp932(caption));
}

void CChatWindow::AddTrayIcon() {
    // Until a host holds the icon the window is reachable without it.
    m_trayAvailable = m_tray->Show(windowIcon());
}

void CChatWindow::OnTrayHostChanged(bool available) {
    if (m_shutDown)
        return;
    m_trayAvailable = available;
    if (available) {
        // A window minimized only because it could not hide now hides, as it was asked to.
        if (isVisible() && isMinimized() &&
            !m_station->Settings().Options().m_flgChatWindowCloseAndHide)
            hide();
    } else if (!isVisible()) {
        // The host went with the icon: a hidden window would be out of reach.
        showMinimized();
    }
}

void CChatWindow::SetEditTexts(const std::string& handle, const std::string& status) {
    m_handleEdit->setText(FromCp932(handle));
    m_statusEdit->setText(FromCp932(status));
}

void CChatWindow::StartTimers() {
    RestartTimersAfterSave();
    m_timers.Set(kAutoHideTimer, CWindowTimers::kAutoHidePeriodMs);
}

void CChatWindow::RestartTimersAfterSave() {
    // The auto-hide timer keeps its phase: it reads its setting on every tick.
    const COptionValues& options = m_station->Settings().Options();
    m_timers.Set(kTickerTimer, CWindowTimers::TickerPeriod(options.m_scrollTimming));
    m_timers.Set(kBulletinTimer, CWindowTimers::BulletinPeriod(options.m_msgDownloadTimming));
}

bool CChatWindow::TimersRunning() const {
    return m_timers.WakeUpPlanned(kTickerTimer) && m_timers.WakeUpPlanned(kBulletinTimer) &&
           m_timers.WakeUpPlanned(kAutoHideTimer);
}

int CChatWindow::TimerInterval(int id) const {
    return m_timers.Period(id);
}

std::int32_t CChatWindow::WindowTextColour() {
    return ToColorRef(palette().color(QPalette::Active, QPalette::Text));
}

// --- window operations ---

void CChatWindow::ToggleWindow() {
    if (isVisible())
        HideAction();
    else
        ShowAction();
}

void CChatWindow::ShowAction() {
    // Restore from minimized or maximized, show, and come to the front.
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    show();
    raise();
    activateWindow();
}

void CChatWindow::HideAction() {
    // Without a tray a hidden window could never come back: it minimizes instead.
    if (m_station->Settings().Options().m_flgChatWindowCloseAndHide || !m_trayAvailable)
        showMinimized();
    else
        hide();
}

void CChatWindow::CloseBehaviour() {
    if (m_station->Settings().Options().m_flgCloseToUnload)
        QuitResident();
    else
        HideAction();
}

void CChatWindow::QuitResident() {
    m_quitting = true;
    QMetaObject::invokeMethod(
        this, [this] { emit QuitRequested(); }, Qt::QueuedConnection);
}

void CChatWindow::OnSuspend() {
    m_station->OnSuspend();
}

void CChatWindow::OnResume() {
    m_station->OnResume();
}

void CChatWindow::OnTimer(int id) {
    if (!isVisible())
        return;
    switch (id) {
    case kAutoHideTimer:
        if (!m_armed)
            return;
        if (++m_idleCount >
            CWindowTimers::AutoHideTicks(m_station->Settings().Options().m_autoCloseTimming)) {
            m_idleCount = 0;
            ToggleWindow();
        }
        break;
    case kBulletinTimer:
        m_station->PostFetchBulletin();
        break;
    case kTickerTimer:
        if (auto text = m_station->TickerStep())
            m_ticker->setText(FromCp932(*text));
        break;
    default:
        break;
    }
}

// --- handlers ---

void CChatWindow::TakeEdits() {
    m_takenMessage = m_messageEdit->text();
    HandOver(*m_station, m_handleEdit->text(), m_statusEdit->text(), false);
}

void CChatWindow::OnSend() {
    // Every edit is taken first: Enter in the handle edit sends with the handle as typed.
    TakeEdits();
    const std::optional<std::string> message = ToCp932(m_takenMessage);
    if (!message || m_station->SendAction(*message) != CStationHub::SendResult::Sent)
        return;
    m_idleCount = 0;
    if (m_station->Settings().Options().m_flgClearAfterInput) {
        m_takenMessage.clear();
        // Selected and deleted, so that the user can undo it.
        m_messageEdit->selectAll();
        m_messageEdit->del();
    }
}

void CChatWindow::OnOk() {
    if (m_station->Settings().Options().m_flgTransmissionWithEnter)
        OnSend();
}

void CChatWindow::OnLineCopy() {
    if (auto text = m_station->CopyLogLine())
        InsertIntoMessage(FromCp932(*text));
}

void CChatWindow::InsertIntoMessage(const QString& text) {
    // Replaces the selection as an undoable edit; the byte limit cuts what does not fit.
    QString current = m_messageEdit->text();
    if (m_messageEdit->hasSelectedText())
        current.remove(m_messageEdit->selectionStart(), m_messageEdit->selectedText().size());
    const int room = CStationHub::kMessageLimit - CCp932Validator::Cp932Length(current);
    if (room <= 0)
        return;
    QString fitted = CCp932Validator::CutToBytes(text, room);
    if (CCp932Validator::Cp932Length(text) < 0)
        fitted = CCp932Validator::CutToBytes(FromCp932(ToCp932Lossy(text)), room);
    m_messageEdit->insert(fitted);
}

void CChatWindow::keyPressEvent(QKeyEvent* event) {
    // Enter as in a dialog, where OK is the send action; it never closes the window.
    if (CTemplateLayout::TakeEnter(event, focusWidget(), [this] { OnOk(); }))
        return;
    switch (event->key()) {
    case Qt::Key_Escape:
        CloseBehaviour();
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void CChatWindow::closeEvent(QCloseEvent* event) {
    if (m_quitting) {
        event->accept();
        return;
    }
    event->ignore();
    CloseBehaviour();
}

void CChatWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_notifier) {
        m_notifier->Dismiss();
        m_unread.Clear();
        ShowUnread();
    }
    if (event->type() != QEvent::WindowStateChange || m_placement.Restoring())
        return;
    NotePlacement();
    auto* change = static_cast<QWindowStateChangeEvent*>(event);
    const bool minimizedNow = windowState().testFlag(Qt::WindowMinimized);
    if (minimizedNow && !change->oldState().testFlag(Qt::WindowMinimized)) {
        // The minimize box: the hide action follows once the minimize has gone through.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (isVisible() && isMinimized())
                    HideAction();
            },
            Qt::QueuedConnection);
    }
}

void CChatWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    m_armed = true;
    m_idleCount = 0;
    m_unread.Clear();
    ShowUnread();
    FitMinimumToFrame();
    LayoutControls();
    m_timers.SetVisible(true);
    NotePlacement();
}

void CChatWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // A minimized window stays visible: only a real hide disarms and quiets the timers.
    if (event->spontaneous())
        return;
    m_armed = false;
    m_idleCount = 0;
    m_timers.SetVisible(false);
    NotePlacement();
}

void CChatWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FitMinimumToFrame();
    LayoutControls();
    NotePlacement();
}

void CChatWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // A window manager that decorates the window moves the client area into its frame.
    FitMinimumToFrame();
    NotePlacement();
}

void CChatWindow::FitMinimumToFrame() {
    // The minimum is the whole window's, frame included; the frame is whatever the window
    // manager drew around the client area, known once it has decorated the window.
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize minimum(kMinimumWidth - std::max(0, frame.width()),
                        kMinimumHeight - std::max(0, frame.height()));
    if (minimumSize() != minimum)
        setMinimumSize(minimum);
}

void CChatWindow::LayoutControls() {
    if (!m_logView)
        return;
    const int W = width() + kFrameWidth;
    const int H = height() + kFrameHeight;
    auto widthTo = [](QWidget* w, int right) {
        QRect r = w->geometry();
        w->setGeometry(r.left(), r.top(), std::max(0, right - r.left()), r.height());
    };
    widthTo(m_ticker, W - 15);
    widthTo(m_logView, W - 15);
    QRect roster = m_rosterView->geometry();
    m_rosterView->setGeometry(roster.left(), roster.top(), m_logView->width(),
                              std::max(0, H - 37 - roster.top()));
    widthTo(m_logGroup, W - 8);
    QRect group = m_rosterGroup->geometry();
    m_rosterGroup->setGeometry(group.left(), group.top(), m_logGroup->width(),
                               std::max(0, H - 30 - group.top()));
}

bool CChatWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && (watched == m_handleEdit || watched == m_statusEdit) &&
        !m_shutDown) {
        m_takenMessage = m_messageEdit->text();
        HandOver(*m_station, m_handleEdit->text(), m_statusEdit->text(), true);
    }
    return QWidget::eventFilter(watched, event);
}

// --- placement ---

void CChatWindow::RestorePlacement() {
    m_placement.Restore(m_station->Settings().Placement());
    NotePlacement();
}

void CChatWindow::SavePlacement() {
    m_station->Settings().SetPlacement(m_placement.Current(m_armed));
}

void CChatWindow::NotePlacement() {
    if (m_shutDown || m_placement.Restoring())
        return;
    SavePlacement();
}

} // namespace palaverly
