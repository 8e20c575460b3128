// The chat window where its surroundings misbehave: a tray host that comes late, goes and
// comes back; timings hand-edited to 0, negative or huge values; a saved placement too large or
// on a platform that places windows itself; the display gone before any session request.

#include "CStationHubTestPeer.h"
#include "DesktopFixture.h"
#include "desktop/DesktopResources.h"
#include "settings/CSettingsStore.h"
#include "text/Cp932.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <climits>

using namespace palaverly;
using namespace palaverly::test;

namespace {

int CountWord(CDesktopLan& lan, const std::string& word) {
    lan.Pump();
    int n = 0;
    for (const auto& d : lan.TakeSent())
        n += CDesktopLan::Word(d) == word;
    return n;
}

std::string Setting(CDesktopLan& lan, const std::string& computer, const std::string& name) {
    std::string value;
    CSettingsStore store(lan.SettingsFile(computer).toStdString());
    if (store.ReadSetting(name, value, 1024) != 0)
        return "(missing)";
    return value;
}

// Virtual time: the wake-ups the window's timers plan, in order, until `untilMs`. Timers due at
// the same moment all fire at it.
void RunTimersUntil(CDesktopLan& lan, CChatWindow& w, std::int64_t untilMs) {
    CWindowTimers& timers = Peer(w).Timers();
    const int ids[] = {CChatWindow::kTickerTimer, CChatWindow::kBulletinTimer,
                       CChatWindow::kAutoHideTimer};
    for (;;) {
        std::int64_t at[3];
        std::int64_t nextAt = INT64_MAX;
        for (int i = 0; i < 3; ++i) {
            at[i] = timers.WakeUpPlanned(ids[i]) ? lan.monotonicMs + timers.UntilNextTick(ids[i])
                                                 : INT64_MAX;
            nextAt = std::min(nextAt, at[i]);
        }
        if (nextAt > untilMs)
            break;
        lan.monotonicMs = nextAt;
        for (int i = 0; i < 3; ++i)
            if (at[i] == nextAt && timers.WakeUpPlanned(ids[i]))
                timers.OnWakeUp(ids[i]);
    }
    lan.monotonicMs = untilMs;
}

} // namespace

class WindowResilienceTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { InitDesktopResources(); }
    void trayHostLateGoneAndBack();
    void fallbackEndsWithoutHidingWhatTheUserShowed();
    void timingsOutsideTheirBand_data();
    void timingsOutsideTheirBand();
    void timingsInsideTheBandAreUsedAsStored();
    void oversizedOrExtremePlacement();
    void placementWhereThePlatformPlacesWindows();
    void shutdownWithoutDisplayUsesLastValues();
};

void WindowResilienceTest::trayHostLateGoneAndBack() {
    CDesktopLan lan;
    bool host = false;
    lan.trayProbe = [&host] { return host; };
    auto& a = lan.Add("PCA", "Alice");
    CChatWindow& w = *a.window;
    // No host at start: the icon exists all the same, and the window is the way in.
    QVERIFY(Peer(w).TrayIcon());
    QVERIFY(!Peer(w).TrayAvailable());
    QVERIFY(w.isVisible());
    Peer(w).HideAction();
    QVERIFY(w.isVisible() && w.isMinimized());

    // The panel starts: the fallback ends, and the minimize that stood for a hide now hides.
    host = true;
    QSignalSpy changed(&Peer(w).TrayWatcher(), &CTrayWatcher::Changed);
    Peer(w).TrayWatcher().Poll();
    QCOMPARE(changed.count(), 1);
    QVERIFY(Peer(w).TrayAvailable());
    QVERIFY(!w.isVisible());
    Peer(w).TrayWatcher().Poll(); // the same answer again changes nothing
    QCOMPARE(changed.count(), 1);
    Peer(w).ShowAction();
    Peer(w).HideAction();
    QVERIFY(!w.isVisible());

    // The panel is killed while the window is hidden: it goes to the task bar.
    host = false;
    Peer(w).TrayWatcher().Poll();
    QVERIFY(!Peer(w).TrayAvailable());
    QVERIFY(w.isVisible() && w.isMinimized());
    QVERIFY(Peer(w).TrayIcon());
    // Restarted: hidden again, and hiding works as usual.
    host = true;
    Peer(w).TrayWatcher().Poll();
    QVERIFY(!w.isVisible());
    Peer(w).ToggleWindow();
    QVERIFY(w.isVisible() && !w.isMinimized());
    Peer(w).ToggleWindow();
    QVERIFY(!w.isVisible());
}

void WindowResilienceTest::fallbackEndsWithoutHidingWhatTheUserShowed() {
    CDesktopLan lan;
    bool host = false;
    lan.trayProbe = [&host] { return host; };
    auto& a = lan.Add("PCA", "Alice", {"Flg ChatWindowCloseAndHide=1"});
    CChatWindow& w = *a.window;
    QVERIFY(w.isVisible() && !w.isMinimized());
    host = true;
    Peer(w).TrayWatcher().Poll();
    // A shown window stays shown; with the option set a minimized one stays minimized.
    QVERIFY(w.isVisible() && !w.isMinimized());
    Peer(w).HideAction();
    QVERIFY(w.isVisible() && w.isMinimized());
    host = false;
    Peer(w).TrayWatcher().Poll();
    host = true;
    Peer(w).TrayWatcher().Poll();
    QVERIFY(w.isVisible() && w.isMinimized());
}

void WindowResilienceTest::timingsOutsideTheirBand_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("tickerMs");
    QTest::addColumn<int>("bulletinMs");
    QTest::addColumn<int>("autoHideTicks");
    QTest::newRow("0") << "0" << 10 << 10000 << 10;
    QTest::newRow("negative") << "-7" << 10 << 10000 << 10;
    QTest::newRow("most negative") << "-2147483648" << 10 << 10000 << 10;
    QTest::newRow("999999") << "999999" << 9999990 << INT_MAX << INT_MAX / 1000;
    QTest::newRow("int max") << "2147483647" << INT_MAX << INT_MAX << INT_MAX / 1000;
}

void WindowResilienceTest::timingsOutsideTheirBand() {
    QFETCH(QString, stored);
    QFETCH(int, tickerMs);
    QFETCH(int, bulletinMs);
    QFETCH(int, autoHideTicks);
    const std::string v = stored.toStdString();
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice",
                      {"Scroll Timming=" + v, "MsgDownload Timming=" + v, "AutoClose Timming=" + v,
                       "Recv Timming=" + v, "Flg ChatWindowReady=1"});
    CChatWindow& w = *a.window;
    QVERIFY(w.isVisible());
    QCOMPARE(Peer(w).TimerInterval(CChatWindow::kTickerTimer), tickerMs);
    QCOMPARE(Peer(w).TimerInterval(CChatWindow::kBulletinTimer), bulletinMs);
    QCOMPARE(
        CWindowTimers::AutoHideTicks(Peer(w).Station().Settings().Options().m_autoCloseTimming),
        autoHideTicks);
    for (int id : {CChatWindow::kTickerTimer, CChatWindow::kBulletinTimer})
        QVERIFY(Peer(w).Timers().PlannedWakeUp(id) >= 10);
    CountWord(lan, "GETM");

    // Ten seconds of virtual time with the window shown and left alone.
    RunTimersUntil(lan, w, 9999);
    QCOMPARE(CountWord(lan, "GETM"), 0);
    QVERIFY(w.isVisible()); // an idle count of 0 × 10 no longer hides it at the first tick
    RunTimersUntil(lan, w, 10000);
    QCOMPARE(CountWord(lan, "GETM"), bulletinMs == 10000 ? 1 : 0);
    RunTimersUntil(lan, w, 10999);
    QVERIFY(w.isVisible());
    // The auto-hide needs more than its bounded number of idle ticks: the 11th at the least.
    RunTimersUntil(lan, w, 11000);
    QCOMPARE(w.isVisible(), autoHideTicks > 10);
}

void WindowResilienceTest::timingsInsideTheBandAreUsedAsStored() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice",
                      {"Scroll Timming=1", "MsgDownload Timming=214748", "AutoClose Timming=1"});
    CChatWindow& w = *a.window;
    QCOMPARE(Peer(w).TimerInterval(CChatWindow::kTickerTimer), 10);
    QCOMPARE(Peer(w).TimerInterval(CChatWindow::kBulletinTimer), 2147480000);
    QCOMPARE(CWindowTimers::AutoHideTicks(1), 10);
    QCOMPARE(CWindowTimers::AutoHideTicks(3), 30);
    QCOMPARE(CWindowTimers::TickerPeriod(25), 250);
    QCOMPARE(CWindowTimers::BulletinPeriod(180), 1800000);
}

void WindowResilienceTest::oversizedOrExtremePlacement() {
    const QSize desktop = QGuiApplication::primaryScreen()->virtualSize();
    CDesktopLan lan;
    // Bigger than any screen: the window fits the desktop instead of a gigantic backing store.
    auto& a = lan.Add("PCA", "Alice", {"WindowPos=0,1,-1,-1,-1,-1,10,20,100010,80020"});
    QVERIFY(a.window->isVisible());
    QVERIFY(a.window->width() <= std::max(desktop.width(), CChatWindow::kMinimumWidth));
    QVERIFY(a.window->height() <= std::max(desktop.height(), CChatWindow::kMinimumHeight));
    QCOMPARE(a.window->geometry().topLeft(), QPoint(10, 20));
    // Edges whose difference does not fit 32 bits.
    auto& b = lan.Add("PCB", "Bob", {"WindowPos=0,1,-1,-1,-1,-1,-2147483648,0,2147483647,600"});
    QVERIFY(b.window->isVisible());
    QVERIFY(b.window->width() >= CChatWindow::kMinimumWidth - 8);
    QVERIFY(b.window->width() <= std::max(desktop.width(), CChatWindow::kMinimumWidth));
}

void WindowResilienceTest::placementWhereThePlatformPlacesWindows() {
    CDesktopLan lan;
    lan.placesWindows = false;
    {
        auto& a = lan.Add("PCA", "Alice", {"WindowPos=0,1,-1,-1,-1,-1,300,200,1100,800"});
        CChatWindow& w = *a.window;
        // Size and show state apply; where it shows is the compositor's business.
        QVERIFY(w.isVisible());
        QCOMPARE(w.size(), QSize(800, 600));
        w.move(0, 0); // what such a platform reports
        w.resize(900, 650);
        w.Shutdown();
    }
    // The position read is written back, not the 0,0 the platform reports.
    QCOMPARE(Setting(lan, "PCA", "WindowPos"), std::string("0,1,-1,-1,-1,-1,300,200,1200,850"));

    // Hidden and never placed before: the size is kept, the position is the only one known.
    auto& b = lan.Add("PCB", "Bob");
    const QSize size = b.window->size();
    b.window->Shutdown();
    QCOMPARE(Setting(lan, "PCB", "WindowPos"), "0,0,-1,-1,-1,-1,0,0," +
                                                   std::to_string(size.width()) + "," +
                                                   std::to_string(size.height()));
}

void WindowResilienceTest::shutdownWithoutDisplayUsesLastValues() {
    CDesktopLan lan;
    auto& peer = lan.Add("PCB", "Bob");
    auto& a = lan.Add("PCA", "Alice", {"Flg LoginLogoutCheck=1"});
    lan.Pump();
    CChatWindow& w = *a.window;
    Peer(w).ShowAction();
    w.setGeometry(120, 140, 700, 520);
    // Typed, never committed by a focus change.
    Peer(w).HandleEdit()->setText(QStringLiteral("はなこ"));
    Peer(w).StatusEdit()->setText(QStringLiteral("会議中"));
    lan.Pump();
    lan.TakeSent();
    QSignalSpy removed(&Peer(w).RosterView()->Model(), &QAbstractItemModel::rowsRemoved);
    const QString caption = Peer(w).RosterGroup()->title();

    w.ShutdownWithoutDisplay();
    a.port = nullptr; // gone with the station's shutdown
    const auto sent = lan.TakeSent();
    QCOMPARE(sent.size(), std::size_t(1));
    QCOMPARE(CDesktopLan::Word(sent[0]), std::string("BYE"));
    QCOMPARE(Setting(lan, "PCA", "HandleName"), cp932::Sjis("はなこ"));
    QCOMPARE(Setting(lan, "PCA", "Status"), cp932::Sjis("会議中"));
    QCOMPARE(Setting(lan, "PCA", "WindowPos"), std::string("0,1,-1,-1,-1,-1,120,140,820,660"));
    // The station's own row went, but no view and no caption heard of it.
    QCOMPARE(removed.count(), 0);
    QCOMPARE(Peer(w).RosterGroup()->title(), caption);

    // The orderly shutdown that would follow does nothing more.
    w.Shutdown();
    QVERIFY(lan.TakeSent().empty());
    lan.Pump();
    QCOMPARE(Peer(*peer.window).RosterView()->Model().rowCount(), 1);
}

QTEST_MAIN(WindowResilienceTest)
#include "WindowResilienceTest.moc"
