#pragma once
// What the tests look at and drive in the chat window beyond what the program uses: its
// station, its controls, its tray, its auto-hide state and its window operations.

#include "desktop/CChatWindow.h"
#include "desktop/CDesktopNotifier.h"
#include "desktop/CInputEdit.h"
#include "desktop/CMarkListCtrl.h"
#include "dialogs/CDialogCommands.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>

namespace palaverly::test {

class CChatWindowTestPeer {
public:
    explicit CChatWindowTestPeer(CChatWindow& window) : m_w(window) {}

    CStationHub& Station() const { return *m_w.m_station; }
    const CTemplateLayout& Layout() const { return m_w.m_layout; }
    QWidget* Control(int id) const { return m_w.m_layout.Control(id); }
    QPushButton* Button(int id) const { return m_w.Button(id); }
    CInputEdit* MessageEdit() const { return m_w.m_messageEdit; }
    QLineEdit* HandleEdit() const { return m_w.m_handleEdit; }
    QLineEdit* StatusEdit() const { return m_w.m_statusEdit; }
    QLineEdit* Ticker() const { return m_w.m_ticker; }
    QGroupBox* RosterGroup() const { return m_w.m_rosterGroup; }
    QGroupBox* LogGroup() const { return m_w.m_logGroup; }
    CMarkListCtrl* LogView() const { return m_w.m_logView; }
    CMarkListCtrl* RosterView() const { return m_w.m_rosterView; }
    QMenu* TrayMenu() const { return &m_w.m_tray->Menu(); }
    QSystemTrayIcon* TrayIcon() const { return m_w.m_tray->Icon(); }
    bool TrayAvailable() const { return m_w.m_trayAvailable; }
    CTrayWatcher& TrayWatcher() const { return m_w.m_tray->Watcher(); }
    int IdleCount() const { return m_w.IdleCount(); }
    bool Armed() const { return m_w.Armed(); }
    bool TimersRunning() const { return m_w.TimersRunning(); }
    int TimerInterval(int id) const { return m_w.TimerInterval(id); }
    CDialogCommands& Dialogs() const { return *m_w.m_dialogs; }
    CDesktopNotifier& Notifier() const { return *m_w.m_notifier; }
    CWindowTimers& Timers() const { return m_w.m_timers; }
    QRect FromDialogUnits(int x, int y, int w, int h) const {
        return m_w.m_layout.ToPixels(x, y, w, h);
    }
    std::unique_ptr<QMenu> BuildPhraseMenu() const { return m_w.BuildPhraseMenu(); }

    void ToggleWindow() const { m_w.ToggleWindow(); }
    void ShowAction() const { m_w.ShowAction(); }
    void HideAction() const { m_w.HideAction(); }
    void CloseBehaviour() const { m_w.CloseBehaviour(); }
    void QuitResident() const { m_w.QuitResident(); }
    void OnCommand(int id) const { m_w.OnCommand(id); }
    void LayoutControls() const { m_w.LayoutControls(); }

private:
    CChatWindow& m_w;
};

inline CChatWindowTestPeer Peer(CChatWindow& window) {
    return CChatWindowTestPeer(window);
}

} // namespace palaverly::test
