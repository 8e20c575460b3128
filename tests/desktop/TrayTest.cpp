// The tray icon on a real X server with a tray host (trayer), clicked with xdotool; and the
// same program without a host, which must keep the window reachable.

#include "DesktopFixture.h"
#include "DesktopResources.h"

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
    CDesktopLan lan;
    // The real question to the X server: is there a tray?
    auto& a = lan.Add("PCA", "Alice", {}, false);
    a.window->Start();
    CChatWindow& w = *a.window;
    QVERIFY(w.TrayAvailable());
    QVERIFY(w.TrayIcon());
    QVERIFY(!w.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(w.TrayIcon()->geometry().width() > 0, 10000);
    const QPoint icon = w.TrayIcon()->geometry().center();

    QVERIFY(ClickAt(icon, 1));
    QTRY_VERIFY_WITH_TIMEOUT(w.isVisible(), 5000);
    QVERIFY(ClickAt(icon, 1));
    QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 5000);

    QVERIFY(ClickAt(icon, 3));
    QTRY_VERIFY_WITH_TIMEOUT(w.TrayMenu()->isVisible(), 5000);
    QCOMPARE(Entries(w.TrayMenu()),
             (QStringList{"ｳｨﾝﾄﾞｳ表示切替(&D)", "-", "ｵﾌﾟｼｮﾝ設定(&O)", "定型ﾌｫｰﾑ設定",
                          "ｲﾝﾌｫﾒｰｼｮﾝ設定", "ﾊﾞｰｼﾞｮﾝ情報(&V)", "-", "常駐終了(&Q)"}));
    // Choosing the first entry with the mouse shows the window.
    const QRect entry = w.TrayMenu()->actionGeometry(w.TrayMenu()->actions().first());
    QVERIFY(ClickAt(w.TrayMenu()->mapToGlobal(entry.center()), 1));
    QTRY_VERIFY_WITH_TIMEOUT(w.isVisible(), 5000);
    QVERIFY(!w.TrayMenu()->isVisible());
}

void TrayTest::withoutHostWindowIsReachable() {
    if (ExpectTrayHost())
        QSKIP("a tray host runs in this run");
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice", {}, false);
    a.window->Start();
    CChatWindow& w = *a.window;
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    QVERIFY(!w.TrayIcon());
    QVERIFY(w.isVisible());
    w.HideAction();
    QTRY_VERIFY(w.isMinimized());
    QVERIFY(w.isVisible());
}

QTEST_MAIN(TrayTest)
#include "TrayTest.moc"
