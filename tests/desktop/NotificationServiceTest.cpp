// Desktop notifications through a real notification daemon (dunst on a private session bus,
// see with_dunst.sh): what the daemon holds after messages from a peer on the simulated LAN
// reach a hidden chat window. The daemon's record is read with dunstctl.

#include "CChatWindowTestPeer.h"
#include "DesktopFixture.h"
#include "desktop/CDesktopNotifier.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

using namespace palaverly;
using namespace palaverly::test;

namespace {

QByteArray Dunstctl(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("dunstctl"), args);
    if (!p.waitForFinished(10000) || p.exitCode() != 0)
        return {};
    return p.readAllStandardOutput();
}

int Displayed() {
    return Dunstctl({"count", "displayed"}).trimmed().toInt();
}

struct CShown {
    QString appName, summary, body, message;
};

// Everything on the screen goes into the history, which is read from where the last call left
// off, so that each case sees only its own notifications.
std::vector<CShown> TakeAll() {
    static int seen = 0; // the highest id already taken
    Dunstctl({"close-all"});
    const QJsonObject history = QJsonDocument::fromJson(Dunstctl({"history"})).object();
    std::vector<CShown> shown;
    int highest = seen;
    for (const QJsonValue& group : history.value("data").toArray())
        for (const QJsonValue& entry : group.toArray()) {
            const QJsonObject o = entry.toObject();
            auto text = [&](const char* key) {
                return o.value(key).toObject().value("data").toString();
            };
            const int id = o.value("id").toObject().value("data").toInt();
            if (id <= seen)
                continue;
            highest = std::max(highest, id);
            shown.push_back({text("appname"), text("summary"), text("body"), text("message")});
        }
    seen = highest;
    return shown;
}

} // namespace

class NotificationServiceTest : public QObject {
    Q_OBJECT

    std::unique_ptr<CDesktopLan> m_lan;
    CDesktopStation* m_target = nullptr;
    CDesktopStation* m_peer = nullptr;

    // The notifier has nothing on its way to the daemon and counts `count` arrivals.
    bool Settled(int count) {
        CDesktopNotifier& n = CChatWindowTestPeer(*m_target->window).Notifier();
        return !n.Pending() && n.Count() == count;
    }

    void Send(const std::string& text) {
        QCOMPARE(CChatWindowTestPeer(*m_peer->window).Station().SendAction(text),
                 CStationHub::SendResult::Sent);
        m_lan->Pump();
    }

private slots:
    void init() {
        m_lan = std::make_unique<CDesktopLan>();
        m_lan->notificationBus = {}; // the session bus's service: dunst
        m_target = &m_lan->Add("PCA", "Alice");
        m_lan->notificationBus = []() -> std::unique_ptr<INotificationBus> { return nullptr; };
        m_peer = &m_lan->Add("PCB", "Bob");
        m_lan->Pump();
        QVERIFY(!m_target->window->isVisible());
        QVERIFY(CChatWindowTestPeer(*m_peer->window).Station().SetMark("PCA", true));
        TakeAll();
    }
    void cleanup() { m_lan.reset(); }

    void oneMessageGivesOneNotificationWithItsText() {
        Send("hello from Bob");
        QTRY_VERIFY_WITH_TIMEOUT(Settled(1) && Displayed() == 1, 15000);
        const auto shown = TakeAll();
        QCOMPARE(shown.size(), std::size_t(1));
        QCOMPARE(shown[0].appName, QStringLiteral("Palaverly"));
        QCOMPARE(shown[0].summary, QStringLiteral("Bob：個人メッセージ"));
        QCOMPARE(shown[0].body, QStringLiteral("hello from Bob"));
    }

    void burstOfFiftyGivesOneNotificationThatCountsThem() {
        for (int n = 1; n <= 50; ++n)
            Send("message " + std::to_string(n));
        QTRY_VERIFY_WITH_TIMEOUT(Settled(50), 15000);
        QCOMPARE(Displayed(), 1);
        const auto shown = TakeAll();
        QCOMPARE(shown.size(), std::size_t(1));
        QCOMPARE(shown[0].body, QStringLiteral("50件のメッセージ\nmessage 50"));
    }

    void markupInAMessageStaysLiteral() {
        Send("<b>bold</b> & <i>x</i>");
        QTRY_VERIFY_WITH_TIMEOUT(Settled(1) && Displayed() == 1, 15000);
        const auto shown = TakeAll();
        QCOMPARE(shown.size(), std::size_t(1));
        // dunst keeps the text as its markup parser gets it: with no tag in it, the parser
        // only turns the entities back into characters, and the screen shows the text as typed.
        const QString message = shown[0].message;
        QVERIFY2(!message.contains(QLatin1Char('<')), qPrintable(message));
        QString displayed = message;
        displayed.replace("&lt;", "<").replace("&gt;", ">").replace("&amp;", "&");
        QCOMPARE(displayed, QStringLiteral("Bob：個人メッセージ\n<b>bold</b> & <i>x</i>"));
    }

    void alertShowsTheNoticeTheTargetLogs() {
        CChatWindowTestPeer(*m_peer->window).Station().BeepAction([] { return false; });
        m_lan->Pump();
        QTRY_VERIFY_WITH_TIMEOUT(Settled(1) && Displayed() == 1, 15000);
        const auto shown = TakeAll();
        QCOMPARE(shown.size(), std::size_t(1));
        QCOMPARE(shown[0].summary, QStringLiteral("Bob：BEEP攻撃"));
        QCOMPARE(shown[0].body, QStringLiteral("BEEP攻撃を受けています！！"));
    }

    void clickingTheNotificationShowsTheWindow() {
        Send("look at me");
        QTRY_VERIFY_WITH_TIMEOUT(Settled(1) && Displayed() == 1, 15000);
        QVERIFY(!m_target->window->isVisible());
        // The daemon's default action on the first notification shown, as a click does it.
        Dunstctl({"action", "0"});
        QTRY_VERIFY_WITH_TIMEOUT(m_target->window->isVisible(), 15000);
        QCOMPARE(CChatWindowTestPeer(*m_target->window).Notifier().Count(), 0);
        TakeAll();
    }

    void ownMessagesDoNotNotify() {
        CChatWindowTestPeer target(*m_target->window);
        QVERIFY(target.Station().SetMark("PCB", true));
        QCOMPARE(target.Station().SendAction("from Alice"), CStationHub::SendResult::Sent);
        m_lan->Pump();
        QVERIFY(Settled(0));
        Send("after own");
        QTRY_VERIFY_WITH_TIMEOUT(Settled(1) && Displayed() == 1, 15000);
        const auto shown = TakeAll();
        QCOMPARE(shown.size(), std::size_t(1));
        QCOMPARE(shown[0].body, QStringLiteral("after own"));
    }
};

QTEST_MAIN(NotificationServiceTest)
#include "NotificationServiceTest.moc"
