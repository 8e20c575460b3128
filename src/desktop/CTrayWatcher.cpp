#include "desktop/CTrayWatcher.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <utility>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

namespace palaverly {
namespace {

// How long the answer may lag behind the server's word: 40 times 50 ms, only after a change.
constexpr int kRetryMs = 50;
constexpr int kRetries = 40;

// The screen of the display the program runs on, as Qt picks it ("host:display.screen").
int ScreenNumber() {
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype colon = display.lastIndexOf(':');
    const qsizetype dot = display.indexOf('.', colon < 0 ? 0 : colon);
    return dot < 0 ? 0 : std::atoi(display.constData() + dot + 1);
}

} // namespace

CTrayWatcher::CTrayWatcher(Probe probe, bool followPlatform, QObject* parent)
    : QObject(parent), m_probe(std::move(probe)), m_followPlatform(followPlatform) {
    m_retry.setSingleShot(true);
    m_retry.setInterval(kRetryMs);
    connect(&m_retry, &QTimer::timeout, this, &CTrayWatcher::Settle);
}

CTrayWatcher::~CTrayWatcher() {
    Stop();
}

bool CTrayWatcher::Start() {
    m_polls = 1;
    m_available = m_probe && m_probe();
    if (m_followPlatform) {
        FollowX();
        FollowSessionBus();
    }
    return m_available;
}

void CTrayWatcher::Stop() {
    if (m_trayAtom != 0 && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
    m_trayAtom = 0;
    m_retry.stop();
    m_serverSays.reset();
    delete m_busWatcher;
    m_busWatcher = nullptr;
}

void CTrayWatcher::FollowX() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection || m_trayAtom != 0)
        return;
    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(connection, &xcb_xfixes_id);
    if (!xfixes || !xfixes->present)
        return;
    // The extension answers requests only after its version has been agreed.
    std::free(xcb_xfixes_query_version_reply(
        connection, xcb_xfixes_query_version(connection, XCB_XFIXES_MAJOR_VERSION, 0), nullptr));
    const int screen = ScreenNumber();
    xcb_screen_iterator_t roots = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screen && roots.rem > 0; ++i)
        xcb_screen_next(&roots);
    if (roots.rem <= 0)
        return;
    const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen);
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.constData()),
        nullptr);
    if (!atom)
        return;
    m_trayAtom = atom->atom;
    std::free(atom);
    m_selectionNotify =
        static_cast<std::uint8_t>(xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY);
    QCoreApplication::instance()->installNativeEventFilter(this);
    xcb_xfixes_select_selection_input(connection, roots.data->root, m_trayAtom,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    xcb_flush(connection);
}

void CTrayWatcher::FollowSessionBus() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || m_busWatcher)
        return;
    m_busWatcher = new QDBusServiceWatcher(QStringLiteral("org.kde.StatusNotifierWatcher"), bus,
                                           QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_busWatcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &CTrayWatcher::PollSoon);
}

bool CTrayWatcher::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (m_trayAtom == 0 || eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != m_selectionNotify)
        return false;
    const auto* notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
    if (notify->selection == m_trayAtom) {
        m_serverSays = notify->owner != XCB_NONE;
        m_retriesLeft = kRetries;
        PollSoon();
    }
    return false; // Qt sees the event too
}

void CTrayWatcher::PollSoon() {
    if (std::exchange(m_pollQueued, true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_pollQueued = false;
            Settle();
        },
        Qt::QueuedConnection);
}

void CTrayWatcher::Settle() {
    Poll();
    if (m_serverSays && *m_serverSays != m_available && m_retriesLeft > 0) {
        --m_retriesLeft;
        m_retry.start();
    } else {
        m_serverSays.reset();
    }
}

void CTrayWatcher::Poll() {
    ++m_polls;
    const bool available = m_probe && m_probe();
    if (available == m_available)
        return;
    m_available = available;
    emit Changed(available);
}

} // namespace palaverly
