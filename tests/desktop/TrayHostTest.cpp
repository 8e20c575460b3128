// A tray host that starts after the program (an autostart entry run before the panel) and is
// killed and restarted while the program runs, on a real X server with a real window manager
// and the trayer tray host: the icon is embedded whenever a host is there, and the window's
// fallback (minimize where it would hide) holds exactly while none is.

#include "DesktopFixture.h"
#include "desktop/DesktopResources.h"

#include <QProcess>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTest>
#include <unistd.h>

using namespace palaverly;
using namespace palaverly::test;

namespace {

QString Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(5000))
        return {};
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// Every window below `root` (xwininfo -tree lists the whole subtree).
QStringList Descendants(const QString& root) {
    QStringList ids;
    for (const QString& line : Run("xwininfo", {"-tree", "-id", root}).split('\n')) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith("0x"))
            ids << trimmed.section(' ', 0, 0);
    }
    return ids;
}

// The tray host's windows that belong to this process: the embedded icon.
QStringList OurWindowsInTray() {
    QStringList ours;
    const QString pid = QString::number(::getpid());
    for (const QString& tray : Run("xdotool", {"search", "--class", "trayer"}).split('\n')) {
        if (tray.trimmed().isEmpty())
            continue;
        for (const QString& id : Descendants(tray.trimmed())) {
            const QString owner = Run("xprop", {"-id", id, "_NET_WM_PID"});
            if (owner.trimmed().endsWith("= " + pid))
                ours << id;
        }
    }
    return ours;
}

class CTrayHost {
public:
    ~CTrayHost() { Kill(); }
    bool Start() {
        m_process.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "pixel",
                                   "--width", "120", "--height", "32"});
        return m_process.waitForStarted(5000);
    }
    void Kill() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill(); // a crash of the panel, not an orderly exit
        m_process.waitForFinished(5000);
    }

private:
    QProcess m_process;
};

} // namespace

class TrayHostTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { InitDesktopResources(); }
    void lateHostThenRestart();
};

void TrayHostTest::lateHostThenRestart() {
    if (QStandardPaths::findExecutable("trayer").isEmpty() ||
        QStandardPaths::findExecutable("xwininfo").isEmpty())
        QSKIP("trayer or xwininfo missing");
    QVERIFY2(!QSystemTrayIcon::isSystemTrayAvailable(), "a tray host runs already");
    CDesktopLan lan;
    // The platform answers whether a tray is there, asked again when the X server reports a
    // change of the tray selection's owner, as in the program.
    auto& a = lan.Add("PCA", "Alice", {}, true, std::nullopt);
    CChatWindow& w = *a.window;
    QVERIFY(Peer(w).TrayIcon());
    QVERIFY(!Peer(w).TrayAvailable());
    QVERIFY(w.isVisible()); // the fallback shows the window at start-up
    // Activation reaches the window manager late: a minimize before it would be undone by it.
    QTRY_VERIFY_WITH_TIMEOUT(w.isActiveWindow(), 5000);
    Peer(w).HideAction();
    QTRY_VERIFY_WITH_TIMEOUT(w.isMinimized(), 5000);
    QVERIFY(w.isVisible());
    // Nothing has asked again since the start: no clock drives the watcher, only the server.
    QVERIFY(Peer(w).TrayWatcher().FollowsX());
    QCOMPARE(Peer(w).TrayWatcher().Polls(), 1);
    QVERIFY(!Peer(w).TrayAvailable());

    CTrayHost host;
    QVERIFY(host.Start());
    QTRY_VERIFY_WITH_TIMEOUT(!OurWindowsInTray().isEmpty(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(Peer(w).TrayAvailable(), 5000);
    // The minimize stood for a hide: now that the tray can bring it back, the window hides.
    QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 5000);
    Peer(w).ShowAction();
    QTRY_VERIFY_WITH_TIMEOUT(w.isVisible() && !w.isMinimized() && w.isActiveWindow(), 5000);
    Peer(w).HideAction();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 5000);

    // The panel crashes: the window, hidden, must not be out of reach. Qt has taken the loss of
    // focus by then (it waits a moment for a focus that might come back at once).
    QTRY_VERIFY_WITH_TIMEOUT(!QGuiApplication::focusWindow(), 5000);
    host.Kill();
    QTRY_VERIFY_WITH_TIMEOUT(!Peer(w).TrayAvailable(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(w.isVisible() && w.isMinimized(), 5000);
    Peer(w).ShowAction();
    QTRY_VERIFY_WITH_TIMEOUT(w.isVisible() && !w.isMinimized() && w.isActiveWindow(), 5000);
    Peer(w).HideAction(); // the fallback again
    QTRY_VERIFY_WITH_TIMEOUT(w.isMinimized(), 5000);
    QVERIFY(w.isVisible());

    // Restarted: the icon is back in the new host, and hiding hides again.
    CTrayHost restarted;
    QVERIFY(restarted.Start());
    QTRY_VERIFY_WITH_TIMEOUT(!OurWindowsInTray().isEmpty(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(Peer(w).TrayAvailable(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 5000);
    Peer(w).ToggleWindow();
    QTRY_VERIFY_WITH_TIMEOUT(w.isVisible() && w.isActiveWindow(), 5000);
    Peer(w).ToggleWindow();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 5000);
}

QTEST_MAIN(TrayHostTest)
#include "TrayHostTest.moc"
