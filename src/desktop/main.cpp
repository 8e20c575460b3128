// palaverly [N]: the resident desktop program. One per user: a second start of it or of
// palaverlyd ends at once with 255, before any window, socket or tray icon exists; so does a
// start whose lock file cannot be opened, with a message box saying why. --help and --version
// answer even while a station runs.

#include "cli/ProgramOptions.h"
#include "desktop/CChatWindow.h"
#include "desktop/CDisplayLossGuard.h"
#include "desktop/CFirewalldProbe.h"
#include "desktop/CPowerEvents.h"
#include "desktop/CSignalWatcher.h"
#include "desktop/DesktopResources.h"
#include "desktop/LockRefusal.h"
#include "hub/StationSetup.h"
#include "sys/CInstanceLock.h"

#include <QApplication>
#include <QSessionManager>
#include <csignal>

int main(int argc, char** argv) {
    using namespace palaverly;
    // A standard error or output whose reader went away (a closed terminal, a pipe to a dead
    // logger) must not end the station without its sign-off: writes fail with EPIPE instead.
    std::signal(SIGPIPE, SIG_IGN);
    // The port comes from the first argument alone; Qt's own options are not looked for.
    const ProgramOptions options = ParseProgramOptions(argc, argv);
    if (options.action != ProgramAction::Run)
        return PrintProgramInformation(ProgramKind::Desktop, options.action);
    CInstanceLock lock(CInstanceLock::DefaultFolder());
    if (!lock.Acquired())
        return RefuseStart(lock, argv[0]);
    const std::uint16_t port = options.port;

    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("palaverly"));
    QApplication::setQuitOnLastWindowClosed(false);
    InitDesktopResources();

    // Asked now, so that the answer is there should the firewall check need it.
    CFirewalldProbe firewalld;
    firewalld.Start();
    StationEnvironment station = SystemEnvironment(port);
    station.firewall = [&firewalld] { return ChooseFirewall(firewalld.Running(), UfwEnabled()); };
    CChatWindow window(std::move(station));
    // A log-off may end the display before anything else reaches the program: the station
    // then signs off and saves without the widgets.
    CDisplayLossGuard::Install([&window] { window.ShutdownWithoutDisplay(); });
    // exit(), not quit(): quit() first asks every window to close, and ours only hides.
    CSignalWatcher signals_;
    QObject::connect(&signals_, &CSignalWatcher::Received, &app, [] { QApplication::exit(0); });
    QObject::connect(&window, &CChatWindow::QuitRequested, &app, [] { QApplication::exit(0); });
    // The end of the desktop session closes the program, whether or not the log-off goes on.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) {
                         window.Shutdown();
                         QApplication::exit(0);
                     });
    CPowerEvents power;
    QObject::connect(&power, &CPowerEvents::Suspending, &window, &CChatWindow::OnSuspend);
    QObject::connect(&power, &CPowerEvents::Resumed, &window, &CChatWindow::OnResume);
    power.Start();

    window.Start();
    const int result = app.exec();
    CDisplayLossGuard::Disarm();
    window.Shutdown();
    return result;
}
