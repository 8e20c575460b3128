#include "desktop/CDisplayLossGuard.h"

#include <QGuiApplication>
#include <QThread>
#include <QtGui/qguiapplication_platform.h>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace palaverly {
namespace {

// The libraries behind Qt's platform plugin are already loaded when the guard is installed:
// their functions are looked up there, so that the program does not link them itself.
using XcbHasErrorFn = int (*)(xcb_connection_t*);
using XcbFdFn = int (*)(xcb_connection_t*);
using XIOHandler = int (*)(Display*);
using XSetIOErrorHandlerFn = XIOHandler (*)(XIOHandler);

// kDisarmed: the orderly shutdown has the station; a loss noticed after that changes nothing.
enum State : int { kIdle, kHandingOver, kRunning, kDisarmed };

CDisplayLossGuard::Handler g_onLost;
std::atomic<bool> g_armed{false};
std::atomic<int> g_state{kIdle};
std::atomic<std::thread::id> g_runner{};
std::atomic<bool> g_guiThreadTookOver{false};
QtMessageHandler g_previousMessageHandler = nullptr;
xcb_connection_t* g_xcb = nullptr;
XcbHasErrorFn g_xcbHasError = nullptr;
int g_displayFd = -1;

template <typename Fn> Fn Lookup(const char* name) {
    return reinterpret_cast<Fn>(::dlsym(RTLD_DEFAULT, name));
}

[[noreturn]] void Park() {
    // The thread running the handler ends the process; until then nothing may go on here.
    for (;;)
        std::this_thread::sleep_for(std::chrono::seconds(1));
}

bool OnGuiThread() {
    return QCoreApplication::instance() &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

[[noreturn]] void RunHandlerAndExit() {
    g_runner = std::this_thread::get_id();
    try {
        if (g_onLost)
            g_onLost();
    } catch (...) { // nothing may keep the process from ending now
    }
    ::_exit(0);
}

// The socket of the Wayland compositor among the open descriptors: the one whose peer is the
// compositor's listening socket.
int FindWaylandSocket() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    std::string path = name && *name ? name : "wayland-0";
    if (path.front() != '/') {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (!runtime || !*runtime)
            return -1;
        path = std::string(runtime) + "/" + path;
    }
    DIR* fds = ::opendir("/proc/self/fd");
    if (!fds)
        return -1;
    int found = -1;
    while (const dirent* entry = ::readdir(fds)) {
        const int fd = std::atoi(entry->d_name);
        if (fd <= 2 || fd == ::dirfd(fds))
            continue;
        sockaddr_un peer{};
        socklen_t length = sizeof peer;
        if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0 ||
            peer.sun_family != AF_UNIX)
            continue;
        if (std::strncmp(peer.sun_path, path.c_str(), sizeof peer.sun_path) == 0) {
            found = fd;
            break;
        }
    }
    ::closedir(fds);
    return found;
}

void OnMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (g_previousMessageHandler)
        g_previousMessageHandler(type, context, text);
    // Qt reports a broken display connection with a warning just before it ends the process.
    if (type != QtWarningMsg && type != QtCriticalMsg && type != QtFatalMsg)
        return;
    if (g_armed && CDisplayLossGuard::DisplayLost())
        CDisplayLossGuard::OnDisplayLost();
}

int OnXIOError(Display*) {
    if (g_armed)
        CDisplayLossGuard::OnDisplayLost();
    return 0;
}

void OnExit() {
    if (g_armed && CDisplayLossGuard::DisplayLost())
        CDisplayLossGuard::OnDisplayLost();
}

} // namespace

void CDisplayLossGuard::Install(Handler onLost) {
    g_onLost = std::move(onLost);
    if (auto* x11 =
            qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr) {
        g_xcb = x11->connection();
        g_xcbHasError = Lookup<XcbHasErrorFn>("xcb_connection_has_error");
        if (auto fd = Lookup<XcbFdFn>("xcb_get_file_descriptor"); fd && g_xcb)
            g_displayFd = fd(g_xcb);
        if (auto set = Lookup<XSetIOErrorHandlerFn>("XSetIOErrorHandler"); set && x11->display())
            set(&OnXIOError);
    } else if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        g_displayFd = FindWaylandSocket();
    }
    g_previousMessageHandler = qInstallMessageHandler(&OnMessage);
    static bool exitHooked = false;
    if (!exitHooked)
        exitHooked = std::atexit(&OnExit) == 0;
    g_armed = true;
}

void CDisplayLossGuard::Disarm() {
    g_armed = false;
    // A handler already running elsewhere ends the process: the orderly shutdown must not run
    // beside it. Otherwise a loss being handed over is left to the shutdown that follows.
    int state = g_state.load();
    while (state != kRunning && !g_state.compare_exchange_weak(state, kDisarmed)) {
    }
    if (state == kRunning && g_runner.load() != std::this_thread::get_id())
        Park();
}

bool CDisplayLossGuard::DisplayLost() {
    if (g_xcb && g_xcbHasError && g_xcbHasError(g_xcb) != 0)
        return true;
    if (g_displayFd < 0)
        return false;
    // Asks for hang-up only: incoming data, which Qt's own reader takes, does not count.
    pollfd p{g_displayFd, POLLRDHUP, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL));
}

void CDisplayLossGuard::OnDisplayLost() {
    const std::thread::id me = std::this_thread::get_id();
    int state = g_state.load();
    if (state == kRunning) {
        if (g_runner.load() == me)
            return; // a warning from inside the handler: let it go on
        Park();
    }
    if (state == kDisarmed) {
        if (OnGuiThread())
            return; // the orderly shutdown goes on here
        Park();     // and ends the process
    }
    if (OnGuiThread()) {
        // The UI thread owns the station: it runs the handler, whoever noticed first, also
        // when another thread is just handing the loss over (parking here would leave that
        // thread waiting for a UI thread that never comes, with the lock and port held).
        while (state == kIdle || state == kHandingOver) {
            if (g_state.compare_exchange_weak(state, kRunning)) {
                g_guiThreadTookOver = true;
                RunHandlerAndExit();
            }
        }
        if (state == kRunning && g_runner.load() == me)
            return;
        Park();
    }
    if (state != kIdle || !g_state.compare_exchange_strong(state, kHandingOver))
        Park();
    // Noticed on another thread (Qt's event reader): hand over to the UI thread and wait, as
    // Qt ends the process as soon as this returns.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { CDisplayLossGuard::OnDisplayLost(); },
        Qt::QueuedConnection);
    for (int i = 0; i < 300 && !g_guiThreadTookOver; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    int handingOver = kHandingOver;
    if (g_guiThreadTookOver || !g_state.compare_exchange_strong(handingOver, kRunning))
        Park();
    // The UI thread is stuck: the station is shut down from here rather than not at all.
    RunHandlerAndExit();
}

} // namespace palaverly
