#pragma once
// The chat window of the desktop program: the controls of the chat dialog laid out in its
// dialog units, what the tray icon's commands do, the three timers, and the station hub
// behind them.

#include "desktop/CAlertSound.h"
#include "desktop/CMarkListCtrl.h"
#include "desktop/CTrayIcon.h"
#include "desktop/CUnreadBadge.h"
#include "desktop/CWindowPlacement.h"
#include "desktop/CWindowTimers.h"
#include "desktop/INotificationBus.h"
#include "hub/CStationHub.h"
#include "hub/IChatFrontEnd.h"
#include "qtsupport/CCp932Validator.h"
#include "qtsupport/CTemplateLayout.h"
#include "table/FitText.h"

#include <QFont>
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMessageBox;
class QPushButton;
class QSocketNotifier;

namespace palaverly {

class CDesktopNotifier;
class CDialogCommands;
class CInputEdit;
class CMarkListCtrl;
namespace test {
class CChatWindowTestPeer;
}

/// What the window takes from its surroundings besides the station's environment.
struct DesktopEnvironment {
    /// Whether a system tray is there to hold the icon (tests fix the answer).
    std::function<bool()> trayAvailable;
    /// Whether the window follows a tray host's coming and going (if not, it asks only at
    /// start; tests answer for the tray themselves).
    bool followTrayHost = true;
    /// Whether a window may choose its own position (not under Wayland); the platform's
    /// answer when empty.
    std::optional<bool> placesWindows;
    /// Whether Shift is held down at this moment (the BEEP's silent flag).
    std::function<bool()> shiftDown;
    /// Message boxes are shown; tests may keep them off the screen and read NoticeShown.
    bool showNoticeBoxes = true;
    /// The clock the window timers keep their phase by (the system's monotonic one if empty).
    MonotonicClock monotonic;
    /// The desktop notification service: the session bus's if empty; none if it makes null.
    std::function<std::unique_ptr<INotificationBus>()> notificationBus;
};

class CChatWindow : public QWidget, private IChatFrontEnd {
    Q_OBJECT
public:
    // Control ids of the chat dialog template.
    enum ControlId {
        kMessageEdit = 1000,
        kSendButton = 1004,
        kPhraseButton = 1026,
        kClearButton = 1011,
        kReloadButton = 1024,
        kLineCopyButton = 1030,
        kBeepButton = 1018,
        kMarkOnButton = 1021,
        kMarkOffButton = 1019,
        kHandleEdit = 1010,
        kTicker = 1028,
        kRosterGroup = 1027,
        kLogGroup = 1025,
        kLogList = 1031,
        kRosterList = 1032,
        kStatusEdit = 1038,
        kRefreshButton = 1009
    };
    // Timer ids as the timer handler knows them.
    enum TimerId {
        kTickerTimer = CWindowTimers::kTickerTimer,
        kBulletinTimer = CWindowTimers::kBulletinTimer,
        kAutoHideTimer = CWindowTimers::kAutoHideTimer
    };
    // Tray menu command ids.
    enum Command {
        kCmdToggle = 32776,
        kCmdOptions = 32777,
        kCmdPhrases = 32771,
        kCmdInfo = 32772,
        kCmdAbout = 57664,
        kCmdQuit = 32768,
        kCmdPhraseFirst = 60000
    };
    static constexpr int kMinimumWidth = 640;
    static constexpr int kMinimumHeight = 480;

    CChatWindow(StationEnvironment station, DesktopEnvironment desktop = {},
                QWidget* parent = nullptr);
    ~CChatWindow() override;

    /// The station's initialisation (ends with the roll call); the hub's result.
    int Start();
    /// The orderly shutdown: edits taken, BYE, tray icon removed, handle, status and placement
    /// saved. Runs once.
    void Shutdown();
    /// The shutdown once the display is gone: no widget is asked or touched. BYE, and the
    /// handle, status and placement saved as the window last had them. Runs once (nothing
    /// when the orderly shutdown has run).
    void ShutdownWithoutDisplay();

public slots:
    void OnTimer(int id);
    void OnSuspend();
    void OnResume();

signals:
    void QuitRequested();
    void NoticeShown(const QString& caption, const QString& text);
    void InputRefused(int controlId, const QString& hint);
    void OptionsRequested();
    void PhrasesRequested();
    void InfoRequested();
    void AboutRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class test::CChatWindowTestPeer;

    // Window operations: the tray, the keys, the timers and the station call them.
    void ToggleWindow() override;
    void ShowAction();
    void HideAction();
    void CloseBehaviour();
    void QuitResident();
    void OnCommand(int id);
    void LayoutControls();
    /// Keeps the whole window, frame included, at least kMinimumWidth × kMinimumHeight.
    void FitMinimumToFrame();

    QPushButton* Button(int id) const;
    /// The phrase menu as button 1026 shows it (the non-empty phrases, ids 60000 + n - 1).
    std::unique_ptr<QMenu> BuildPhraseMenu();
    int IdleCount() const { return m_idleCount; }
    bool Armed() const { return m_armed; }
    bool TimersRunning() const;
    /// The period of timer `id` (kTickerTimer, kBulletinTimer, kAutoHideTimer) in ms.
    int TimerInterval(int id) const;

    // IStartupSteps
    void AddTrayIcon() override;
    void RestorePlacement() override;
    void SetEditTexts(const std::string& handle, const std::string& status) override;
    void StartTimers() override;
    void RestartTimersAfterSave();
    void OnTrayHostChanged(bool available);

    // IStationEvents
    void Wake() override;
    void Post(std::function<void()> task) override;
    void PostDelayed(std::chrono::milliseconds delay, std::function<void()> task) override;
    void MemberCountChanged(const std::string& caption, int count) override;
    std::int32_t WindowTextColour() override;
    void ShowNotice(const std::string& caption, const std::string& text) override;
    void ShowQuitNotice() override;
    /// Emits NoticeShown and opens the box (texts CP932); none without a display or boxes.
    QMessageBox* OpenNotice(const std::string& caption, const std::string& text);
    void Popup() override;
    void MessageArrived(const IncomingMessage& message) override;
    void CloseRequested() override;
    void PlaySound(const std::string& path) override;
    void Beep() override;
    void WakeAfter(std::int64_t ms) override;

    /// The hub's timers and its watch of the interfaces, which end before the station does.
    void StartHubWatches();
    void StopHubWatches();

    void CreateControls();
    void CreateTray();
    QPushButton* AddButton(int id, const QString& caption, int x, int y, int w, int h);
    QLineEdit* AddEdit(QLineEdit* edit, int id, int limit, int x, int y, int w, int h);
    void OnSend();
    void TakeEdits();
    void OnOk();
    void OnLineCopy();
    void InsertIntoMessage(const QString& text);
    void SavePlacement();
    /// Hands the current placement to the station, so that it is at hand without the display.
    void NotePlacement();
    void ShowTickerMenu(const QPoint& pos);
    /// Ctrl+F: the search over every daily log file (one dialog, brought to the front).
    void OpenLogSearch();
    /// The tray icon and tooltip as the unread count stands.
    void ShowUnread();
    int TextWidth(std::string_view cp932) const;

    DesktopEnvironment m_desktop;
    CTemplateLayout m_layout; // the template's controls in its font and scale
    CWindowPlacement m_placement;
    TextWidthFn m_measure; // TextWidth, remembered: the hub's tables and both views share it
    std::unique_ptr<CStationHub> m_station;
    std::unique_ptr<CDialogCommands> m_dialogs; // its dialogs edit the station's settings

    CInputEdit* m_messageEdit = nullptr;
    QLineEdit* m_handleEdit = nullptr;
    QLineEdit* m_statusEdit = nullptr;
    QLineEdit* m_ticker = nullptr;
    QLabel* m_handleLabel = nullptr;
    QGroupBox* m_rosterGroup = nullptr;
    QGroupBox* m_logGroup = nullptr;
    CMarkListCtrl* m_logView = nullptr;
    CMarkListCtrl* m_rosterView = nullptr;
    QString m_takenMessage; // the message edit's text as last taken from it

    CTrayIcon* m_tray = nullptr; // a child of the window
    bool m_trayAvailable = false;
    CUnreadBadge m_unread;
    QPointer<class CLogSearchDialog> m_logSearch;

    CWindowTimers m_timers;
    bool m_armed = false;
    int m_idleCount = 0;

    QTimer m_hubTimer; // the hub's own: firewall check, roll calls for new networks
    QSocketNotifier* m_networkWatch = nullptr;

    CAlertSound m_sound;
    std::unique_ptr<CDesktopNotifier> m_notifier;
    // The edits' texts as they stand, for a shutdown that can no longer ask the widgets.
    QString m_handleText;
    QString m_statusText;
    bool m_quitting = false;
    bool m_shutDown = false;
    bool m_displayLost = false;
    QPointer<QMessageBox> m_quitBox; // the open "quit" box: a flood of QUIT shows only this one
};

} // namespace palaverly
