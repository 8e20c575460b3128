#pragma once
// The status icon in the tray with its menu, and the watch of the tray host that holds it. It
// knows nothing of the window: a click, a menu command and a host that comes or goes are
// signals, and the window decides what each does.

#include "desktop/CTrayWatcher.h"

#include <QIcon>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

class QMenu;
class QSystemTrayIcon;

namespace palaverly {

class CTrayIcon : public QObject {
    Q_OBJECT
public:
    /// One entry of the menu: a command id and its caption; an empty caption is a separator.
    struct MenuEntry {
        int id = 0;
        QString caption;
    };

    /// `probe` tells whether a tray host is there now; `followHost` as for CTrayWatcher.
    CTrayIcon(CTrayWatcher::Probe probe, bool followHost, const std::vector<MenuEntry>& menu,
              QObject* parent = nullptr);
    ~CTrayIcon() override;

    /// Puts the icon up and begins to watch the host; true when a host holds it now.
    bool Show(const QIcon& icon);
    /// Takes the icon down and stops watching; Show is not called again after it.
    void Remove();
    /// Stops watching the host only (the display may be gone: no widget is touched).
    void StopWatching();
    /// The icon and tooltip shown from now on; nothing before Show.
    void SetLook(const QIcon& icon, const QString& toolTip);

    bool HostAvailable() const { return m_watcher.Available(); }
    QMenu& Menu() const { return *m_menu; }
    /// The icon, once shown (null before Show and after Remove).
    QSystemTrayIcon* Icon() const { return m_icon; }
    CTrayWatcher& Watcher() { return m_watcher; }

signals:
    /// A left click or a double click on the icon.
    void Activated();
    /// An entry of the menu was chosen.
    void CommandChosen(int id);
    /// A tray host appeared (true) or went (false) after Show.
    void HostChanged(bool available);

private:
    CTrayWatcher m_watcher;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_icon = nullptr;
};

} // namespace palaverly
