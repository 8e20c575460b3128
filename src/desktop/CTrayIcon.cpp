#include "desktop/CTrayIcon.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

namespace palaverly {

CTrayIcon::CTrayIcon(CTrayWatcher::Probe probe, bool followHost, const std::vector<MenuEntry>& menu,
                     QObject* parent)
    : QObject(parent), m_watcher(std::move(probe), followHost), m_menu(std::make_unique<QMenu>()) {
    for (const MenuEntry& entry : menu) {
        if (entry.caption.isEmpty()) {
            m_menu->addSeparator();
            continue;
        }
        QAction* action = m_menu->addAction(entry.caption);
        action->setData(entry.id);
        connect(action, &QAction::triggered, this,
                [this, id = entry.id] { emit CommandChosen(id); });
    }
    connect(&m_watcher, &CTrayWatcher::Changed, this, &CTrayIcon::HostChanged);
}

CTrayIcon::~CTrayIcon() {
    // The menu outlives the icon that shows it.
    delete m_icon;
}

bool CTrayIcon::Show(const QIcon& icon) {
    // Made whatever the moment: Qt embeds it as soon as a tray host appears, and again when a
    // restarted host takes the tray over.
    m_icon = new QSystemTrayIcon(icon, this);
    m_icon->setToolTip(QStringLiteral("Palaverly"));
    m_icon->setContextMenu(m_menu.get());
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // Every left click counts, the second of a double click included.
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    emit Activated();
            });
    m_icon->show();
    return m_watcher.Start();
}

void CTrayIcon::Remove() {
    m_watcher.Stop();
    if (!m_icon)
        return;
    m_icon->hide();
    delete m_icon;
    m_icon = nullptr;
}

void CTrayIcon::StopWatching() {
    m_watcher.Stop();
}

void CTrayIcon::SetLook(const QIcon& icon, const QString& toolTip) {
    if (!m_icon)
        return;
    m_icon->setIcon(icon);
    m_icon->setToolTip(toolTip);
}

} // namespace palaverly
