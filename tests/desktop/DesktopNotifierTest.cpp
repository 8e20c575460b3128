// Desktop notifications: folding a burst into one notification, the body as plain text, the
// service's signals, a missing service, and what the chat window hands to the notifier.

#include "CChatWindowTestPeer.h"
#include "DesktopFixture.h"
#include "desktop/CDesktopNotifier.h"
#include "text/Cp932.h"

#include <QTest>
#include <deque>

using namespace palaverly;
using namespace palaverly::test;

namespace {

// The service as a test drives it: every call is recorded, answers come when the test says.
struct CFakeBusState {
    QStringList capabilities{QStringLiteral("body"), QStringLiteral("body-markup"),
                             QStringLiteral("actions")};
    std::vector<QString> calls; // "caps", "notify <replaces>|<summary>|<body>", "close <id>"
    std::deque<std::function<void()>> answers;
    INotificationBus::Handlers handlers;
    quint32 nextId = 7;

    void AnswerAll() {
        while (!answers.empty()) {
            auto answer = std::move(answers.front());
            answers.pop_front();
            answer();
        }
    }
};

class CFakeBus : public INotificationBus {
public:
    explicit CFakeBus(std::shared_ptr<CFakeBusState> state) : m_s(std::move(state)) {}
    void SetHandlers(Handlers handlers) override { m_s->handlers = std::move(handlers); }
    void GetCapabilities(std::function<void(const QStringList&)> done) override {
        m_s->calls.push_back(QStringLiteral("caps"));
        m_s->answers.push_back([s = m_s, done] { done(s->capabilities); });
    }
    void Notify(quint32 replacesId, const QString& summary, const QString& body,
                std::function<void(quint32)> done) override {
        m_s->calls.push_back(QStringLiteral("notify %1|%2|%3").arg(replacesId).arg(summary, body));
        m_s->answers.push_back([s = m_s, replacesId, done] {
            if (s->capabilities.isEmpty())
                done(0);
            else
                done(replacesId != 0 ? replacesId : s->nextId++);
        });
    }
    void Close(quint32 id) override { m_s->calls.push_back(QStringLiteral("close %1").arg(id)); }

private:
    std::shared_ptr<CFakeBusState> m_s;
};

IncomingMessage Message(const std::string& textUtf8, const std::string& handleUtf8 = "Bob") {
    return {IncomingMessage::Kind::Message, false, "PCB", cp932::Sjis(handleUtf8),
            cp932::Sjis(textUtf8)};
}

QStringList Calls(const CFakeBusState& s) {
    QStringList out;
    for (const auto& c : s.calls)
        out << c;
    return out;
}

} // namespace

class DesktopNotifierTest : public QObject {
    Q_OBJECT

private slots:
    void burstIsFoldedIntoOneCountedNotification() {
        auto bus = std::make_shared<CFakeBusState>();
        CDesktopNotifier notifier(std::make_unique<CFakeBus>(bus), {});
        notifier.Arrived(Message("first"));
        bus->AnswerAll();
        QCOMPARE(Calls(*bus), (QStringList{"caps", "notify 0|Bob：個人メッセージ|first"}));

        // While the update is on its way, 48 more wait; its answer sends them as one.
        bus->calls.clear();
        for (int n = 2; n <= 50; ++n)
            notifier.Arrived(Message("m" + std::to_string(n)));
        QCOMPARE(bus->calls.size(), std::size_t(1));
        bus->AnswerAll();
        QCOMPARE(Calls(*bus), (QStringList{"notify 7|Bob：個人メッセージ|2件のメッセージ\nm2",
                                           "notify 7|Bob：個人メッセージ|50件のメッセージ\nm50"}));
        QCOMPARE(notifier.Count(), 50);

        // Closed on the screen: the next arrival is a new notification that counts from one.
        bus->calls.clear();
        bus->handlers.closed(7);
        notifier.Arrived(Message("again", ""));
        bus->AnswerAll();
        QCOMPARE(Calls(*bus), (QStringList{"notify 0|PCB：個人メッセージ|again"}));
        QCOMPARE(notifier.Count(), 1);
    }

    void bodyIsEscapedOnlyForAServiceThatReadsMarkup() {
        const std::string text = "<b>bold</b> & <a href=\"x\">link</a>";
        QCOMPARE(
            CDesktopNotifier::EscapeMarkup(QString::fromStdString(text)),
            QStringLiteral("&lt;b&gt;bold&lt;/b&gt; &amp; &lt;a href=\"x\"&gt;link&lt;/a&gt;"));
        for (bool markup : {true, false}) {
            auto bus = std::make_shared<CFakeBusState>();
            if (!markup)
                bus->capabilities = QStringList{QStringLiteral("body")};
            CDesktopNotifier notifier(std::make_unique<CFakeBus>(bus), {});
            notifier.Arrived(Message(text, "<i>Bob</i>"));
            bus->AnswerAll();
            const QString body = markup
                                     ? CDesktopNotifier::EscapeMarkup(QString::fromStdString(text))
                                     : QString::fromStdString(text);
            // The summary is plain text for every service.
            QCOMPARE(Calls(*bus),
                     (QStringList{"caps", "notify 0|<i>Bob</i>：個人メッセージ|" + body}));
        }
    }

    void alertAndBroadcastKindsInTheSummary() {
        IncomingMessage alert{IncomingMessage::Kind::Alert, true, "PCC", cp932::Sjis("たろう"),
                              cp932::Sjis("BEEP攻撃を受けています！！")};
        QCOMPARE(CDesktopNotifier::Summary(alert), QStringLiteral("たろう：BEEP攻撃"));
        IncomingMessage sendm = Message("x");
        sendm.broadcast = true;
        QCOMPARE(CDesktopNotifier::Summary(sendm), QStringLiteral("Bob：同報メッセージ"));
        QCOMPARE(CDesktopNotifier::Body(1, "t"), QStringLiteral("t"));
        QCOMPARE(CDesktopNotifier::Body(3, "t"), QStringLiteral("3件のメッセージ\nt"));
    }

    void defaultActionActivatesOnlyForTheShowingNotification() {
        auto bus = std::make_shared<CFakeBusState>();
        int activations = 0;
        CDesktopNotifier notifier(std::make_unique<CFakeBus>(bus), [&] { ++activations; });
        notifier.Arrived(Message("hi"));
        bus->AnswerAll();
        bus->handlers.actionInvoked(99, QStringLiteral("default")); // another program's
        bus->handlers.actionInvoked(7, QStringLiteral("other"));
        QCOMPARE(activations, 0);
        bus->handlers.actionInvoked(7, QStringLiteral("default"));
        QCOMPARE(activations, 1);
        QCOMPARE(notifier.Count(), 0);
    }

    void withoutAServiceNothingShowsAndTheNextArrivalAsksAgain() {
        auto bus = std::make_shared<CFakeBusState>();
        bus->capabilities.clear();
        CDesktopNotifier notifier(std::make_unique<CFakeBus>(bus), {});
        notifier.Arrived(Message("one"));
        notifier.Arrived(Message("two"));
        bus->AnswerAll();
        QCOMPARE(Calls(*bus), (QStringList{"caps"}));
        QCOMPARE(notifier.Count(), 0);
        // A service that has started since is used.
        bus->capabilities = QStringList{QStringLiteral("body")};
        notifier.Arrived(Message("three"));
        bus->AnswerAll();
        QCOMPARE(Calls(*bus), (QStringList{"caps", "caps", "notify 0|Bob：個人メッセージ|three"}));

        CDesktopNotifier none(nullptr, {});
        none.Arrived(Message("four")); // no bus at all: nothing, and no crash
        QCOMPARE(none.Count(), 0);
    }

    void dismissClosesTheShowingOneAlsoWhenItIsStillOnItsWay() {
        auto bus = std::make_shared<CFakeBusState>();
        CDesktopNotifier notifier(std::make_unique<CFakeBus>(bus), {});
        notifier.Arrived(Message("a"));
        bus->AnswerAll();
        notifier.Dismiss();
        QCOMPARE(Calls(*bus).last(), QStringLiteral("close 7"));
        bus->calls.clear();
        notifier.Arrived(Message("b"));
        bus->AnswerAll(); // capabilities are known by now
        notifier.Arrived(Message("c"));
        notifier.Dismiss(); // before the service has answered the update
        bus->AnswerAll();
        QCOMPARE(Calls(*bus),
                 (QStringList{"notify 0|Bob：個人メッセージ|b",
                              "notify 8|Bob：個人メッセージ|2件のメッセージ\nc", "close 8"}));
    }

    void hiddenWindowNotifiesForPeersButNotForItsOwnMessages() {
        CDesktopLan lan;
        auto bus = std::make_shared<CFakeBusState>();
        lan.notificationBus = [bus] { return std::make_unique<CFakeBus>(bus); };
        auto& a = lan.Add("PCA", "Alice");
        auto busOff = std::make_shared<CFakeBusState>();
        lan.notificationBus = [busOff] { return std::make_unique<CFakeBus>(busOff); };
        lan.Add("PCC", "Carol", {"Flg DesktopNotify=0"});
        lan.notificationBus = []() -> std::unique_ptr<INotificationBus> { return nullptr; };
        auto& b = lan.Add("PCB", "Bob");
        lan.Pump();
        QVERIFY(!a.window->isVisible());

        CStationHub& atB = Peer(*b.window).Station();
        QVERIFY(atB.SetMark("PCA", true));
        QVERIFY(atB.SetMark("PCC", true));
        QCOMPARE(atB.SendAction("hello A"), CStationHub::SendResult::Sent);
        lan.Pump();
        bus->AnswerAll();
        QCOMPARE(Calls(*bus), (QStringList{"caps", "notify 0|Bob：同報メッセージ|hello A"}));
        QVERIFY(busOff->calls.empty());

        // Its own message coming back does not notify.
        bus->calls.clear();
        CStationHub& atA = Peer(*a.window).Station();
        QVERIFY(atA.SetMark("PCB", true));
        QCOMPARE(atA.SendAction("from A"), CStationHub::SendResult::Sent);
        lan.Pump();
        bus->AnswerAll();
        QVERIFY(bus->calls.empty());
    }

    void windowInFrontTakesNoNotificationAndClosesTheShowingOne() {
        CDesktopLan lan;
        auto bus = std::make_shared<CFakeBusState>();
        lan.notificationBus = [bus] { return std::make_unique<CFakeBus>(bus); };
        auto& a = lan.Add("PCA", "Alice");
        lan.notificationBus = []() -> std::unique_ptr<INotificationBus> { return nullptr; };
        auto& b = lan.Add("PCB", "Bob");
        lan.Pump();
        CStationHub& atB = Peer(*b.window).Station();
        QVERIFY(atB.SetMark("PCA", true));
        QCOMPARE(atB.SendAction("while hidden"), CStationHub::SendResult::Sent);
        lan.Pump();
        bus->AnswerAll();
        QCOMPARE(Peer(*a.window).Notifier().Count(), 1);

        // The user brings the window up: the notification goes, and what arrives while the
        // window is in front is only logged.
        bus->calls.clear();
        Peer(*a.window).ShowAction();
        QVERIFY(QTest::qWaitForWindowActive(a.window.get()));
        QCOMPARE(Calls(*bus), (QStringList{"close 7"}));
        QCOMPARE(atB.SendAction("while shown"), CStationHub::SendResult::Sent);
        lan.Pump();
        bus->AnswerAll();
        QCOMPARE(Calls(*bus), (QStringList{"close 7"}));
        QCOMPARE(Peer(*a.window).Notifier().Count(), 0);

        // Hidden again, the next message notifies anew.
        Peer(*a.window).HideAction();
        QVERIFY(!a.window->isVisible());
        QCOMPARE(atB.SendAction("hidden again"), CStationHub::SendResult::Sent);
        lan.Pump();
        bus->AnswerAll();
        QCOMPARE(Calls(*bus).last(), QStringLiteral("notify 0|Bob：個人メッセージ|hidden again"));
    }
};

QTEST_MAIN(DesktopNotifierTest)
#include "DesktopNotifierTest.moc"
