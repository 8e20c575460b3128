// The tray icon on a real X server with a tray host (trayer), clicked with xdotool; and the
// same program without a host, which must keep the window reachable.

#include "DesktopFixture.h"
#include "desktop/DesktopResources.h"

#include <QMap>
#include <QMenu>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTest>

using namespace palaverly;
using namespace palaverly::test;

namespace {

bool Xdotool(const QStringList& arguments) {
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

bool ClickAt(const QPoint& point, int button) {
    return Xdotool({"mousemove", QString::number(point.x()), QString::number(point.y()), "click",
                    QString::number(button)});
}

QString Output(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    process.waitForFinished(5000);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// The embedded icon as the X server places it (Qt's own geometry of an embedded icon is
// relative to the tray): the one small visible window of this program.
QPoint IconCentre() {
    const QStringList ids =
        Output({"search", "--onlyvisible", "--class", QCoreApplication::applicationName()})
            .split('\n', Qt::SkipEmptyParts);
    for (const QString& id : ids) {
        QMap<QString, int> g;
        for (const QString& line : Output({"getwindowgeometry", "--shell", id}).split('\n')) {
            const auto pair = line.split('=');
            if (pair.size() == 2)
                g[pair[0]] = pair[1].toInt();
        }
        if (g.value("WIDTH") > 0 && g.value("WIDTH") <= 64 && g.value("HEIGHT") <= 64)
            return {g.value("X") + g.value("WIDTH") / 2, g.value("Y") + g.value("HEIGHT") / 2};
    }
    return {-1, -1};
}

QStringList Entries(QMenu* menu) {
    QStringList entries;
    for (QAction* action : menu->actions())
        entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return entries;
}

bool ExpectTrayHost() {
    return qEnvironmentVariable("PALAVERLY_TRAY_HOST") == QLatin1String("1");
}

} // namespace

class TrayTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { InitDesktopResources(); }
    void iconTogglesAndOpensMenu();
    void withoutHostWindowIsReachable();
};

void TrayTest::iconTogglesAndOpensMenu() {
    if (!ExpectTrayHost())
        QSKIP("no tray host in this run");
    // The host may still be starting: wait for it to take the tray selection.
    QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
    CDesktopLan lan;
    // The real question to the X server: is there a tray?
    auto& a = lan.Add("PCA", "Alice", {}, false, std::nullopt);
    a.window->Start();
    CChatWindow& w = *a.window;
    QVERIFY(Peer(w).TrayAvailable());
    QVERIFY(Peer(w).TrayIcon());
    QVERIFY(!w.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(Peer(w).TrayIcon()->geometry().width() > 0, 10000);
    QPoint icon;
    QTRY_VERIFY_WITH_TIMEOUT((icon = IconCentre()).x() >= 0, 10000);

    QVERIFY(ClickAt(icon, 1));
    QTRY_VERIFY_WITH_TIMEOUT(w.isVisible(), 5000);
    QVERIFY(ClickAt(icon, 1));
    QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 5000);

    QVERIFY(ClickAt(icon, 3));
    QTRY_VERIFY_WITH_TIMEOUT(Peer(w).TrayMenu()->isVisible(), 5000);
    QCOMPARE(Entries(Peer(w).TrayMenu()),
             (QStringList{"ｳｨﾝﾄﾞｳ表示切替(&D)", "-", "ｵﾌﾟｼｮﾝ設定(&O)", "定型ﾌｫｰﾑ設定",
                          "ｲﾝﾌｫﾒｰｼｮﾝ設定", "ﾊﾞｰｼﾞｮﾝ情報(&V)", "-", "常駐終了(&Q)"}));
    // Choosing the first entry with the mouse shows the window.
    const QRect entry = Peer(w).TrayMenu()->actionGeometry(Peer(w).TrayMenu()->actions().first());
    QVERIFY(ClickAt(Peer(w).TrayMenu()->mapToGlobal(entry.center()), 1));
    QTRY_VERIFY_WITH_TIMEOUT(w.isVisible(), 5000);
    QVERIFY(!Peer(w).TrayMenu()->isVisible());
}

void TrayTest::withoutHostWindowIsReachable() {
    if (ExpectTrayHost())
        QSKIP("a tray host runs in this run");
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice", {}, false, std::nullopt);
    a.window->Start();
    CChatWindow& w = *a.window;
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    // The icon waits for a host; meanwhile the fallback keeps the window reachable.
    QVERIFY(Peer(w).TrayIcon());
    QVERIFY(!Peer(w).TrayAvailable());
    QVERIFY(w.isVisible());
    Peer(w).HideAction();
    QTRY_VERIFY(w.isMinimized());
    QVERIFY(w.isVisible());
}

QTEST_MAIN(TrayTest)
#include "TrayTest.moc"
