// The chat window as a native Wayland client of a real compositor (weston, headless): it
// starts, shows and hides through the tray fallback (there is no StatusNotifier host), a dialog
// opens, and "WindowPos" keeps the position it was read with, since a Wayland client can
// neither choose nor learn where its window is. With PALAVERLY_WAYLAND_SHOT set, a screenshot
// of the compositor's output (or, without weston-screenshooter, of the window) goes there.

#include "DesktopFixture.h"
#include "desktop/DesktopResources.h"
#include "settings/CSettingsStore.h"

#include <QDialog>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

using namespace palaverly;
using namespace palaverly::test;

namespace {

std::string Setting(CDesktopLan& lan, const std::string& computer, const std::string& name) {
    std::string value;
    CSettingsStore store(lan.SettingsFile(computer).toStdString());
    if (store.ReadSetting(name, value, 1024) != 0)
        return "(missing)";
    return value;
}

// The whole output as the compositor shows it; empty when the screenshooter cannot run.
QImage CompositorShot() {
    if (QStandardPaths::findExecutable("weston-screenshooter").isEmpty())
        return {};
    QTemporaryDir dir;
    QProcess shooter;
    shooter.setWorkingDirectory(dir.path());
    shooter.start("weston-screenshooter", {});
    if (!shooter.waitForFinished(10000) || shooter.exitCode() != 0)
        return {};
    const QStringList shots = QDir(dir.path()).entryList({"*.png"});
    return shots.isEmpty() ? QImage() : QImage(dir.filePath(shots.first()));
}

QDialog* OpenAboutBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(w); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

} // namespace

class WaylandTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void fallbackWithoutTray();
    void placementAndDialog();
};

void WaylandTest::initTestCase() {
    InitDesktopResources();
    QVERIFY2(QGuiApplication::platformName().startsWith(QLatin1String("wayland")),
             qPrintable(QGuiApplication::platformName()));
}

void WaylandTest::fallbackWithoutTray() {
    CDesktopLan lan;
    // The platform's own answers: is there a tray, may the window place itself.
    auto& a = lan.Add("PCA", "Alice", {}, true, std::nullopt);
    CChatWindow& w = *a.window;
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    QVERIFY(Peer(w).TrayIcon());
    QVERIFY(!Peer(w).TrayAvailable());
    // No tray: the window shows at start-up, and hiding it only minimizes it.
    QVERIFY(w.isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    Peer(w).HideAction();
    QVERIFY(w.isVisible());
    QVERIFY(w.windowState().testFlag(Qt::WindowMinimized));
    Peer(w).ShowAction();
    QVERIFY(w.isVisible() && !w.isMinimized());
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // Esc (the close behaviour) keeps it on screen as well.
    QTest::keyClick(&w, Qt::Key_Escape);
    QVERIFY(w.isVisible());
}

void WaylandTest::placementAndDialog() {
    CDesktopLan lan;
    {
        auto& a = lan.Add("PCA", "Alice", {"WindowPos=0,1,-1,-1,-1,-1,300,200,1100,800"}, true,
                          std::nullopt);
        CChatWindow& w = *a.window;
        // The stored show state and size apply; the compositor chooses the place.
        QVERIFY(w.isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.size(), QSize(800, 600));

        Peer(w).OnCommand(CChatWindow::kCmdAbout);
        QDialog* about = Peer(w).Dialogs().OpenDialog(CDialogCommands::Kind::About);
        QVERIFY(about);
        QCOMPARE(OpenAboutBox(), about);
        QVERIFY(QTest::qWaitForWindowExposed(about));

        if (const QString path = qEnvironmentVariable("PALAVERLY_WAYLAND_SHOT"); !path.isEmpty()) {
            QTest::qWait(300); // a few frames for the compositor to draw both windows
            QImage shot = CompositorShot();
            if (shot.isNull())
                shot = w.grab().toImage();
            QVERIFY(!shot.isNull());
            QVERIFY(shot.save(path));
        }
        about->reject();
        w.resize(820, 610);
        QTRY_COMPARE(w.size(), QSize(820, 610));
        w.Shutdown();
    }
    // Position as read, size as the window had it at the end, shown.
    QCOMPARE(Setting(lan, "PCA", "WindowPos"), std::string("0,1,-1,-1,-1,-1,300,200,1120,810"));
}

QTEST_MAIN(WaylandTest)
#include "WaylandTest.moc"
