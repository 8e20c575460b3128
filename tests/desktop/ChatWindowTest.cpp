// The chat window on the simulated LAN: sending, keys, close and hide behaviours, timers,
// the ticker, the roster caption, marking from the log, line copy, placement and the tray menu.

#include "CStationHubTestPeer.h"
#include "DesktopFixture.h"
#include "LayoutCheck.h"
#include "desktop/CInputEdit.h"
#include "desktop/CLogSearchDialog.h"
#include "desktop/CMarkListCtrl.h"
#include "desktop/DesktopResources.h"
#include "qtsupport/ReadableColour.h"
#include "text/Cp932.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTreeView>
#include <fstream>

using namespace palaverly;
using namespace palaverly::test;

namespace {

QString Utf8(const std::string& cp932Text) {
    return QString::fromStdString(cp932::ToUtf8(cp932Text));
}

int RowOfHandle(CChatWindow& w, const QString& handle) {
    CMarkList& roster = Peer(Peer(w).Station()).RosterList();
    for (int r = 0; r < roster.RowCount(); ++r)
        if (Utf8(roster.Text(r, 0)) == handle)
            return r;
    return -1;
}

std::vector<std::string> Words(const std::vector<Datagram>& sent) {
    std::vector<std::string> words;
    for (const auto& d : sent)
        words.push_back(CDesktopLan::Word(d));
    return words;
}

// Types each character as a key press carrying that text, as an input method would.
void Type(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
    }
}

std::string Flag(bool on) {
    return on ? "1" : "0";
}

// The best contrast of a drawn pixel in `area` against `ground`.
double MostContrast(const QImage& drawn, const QRect& area, const QColor& ground) {
    double most = 1.0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right() && x < drawn.width(); ++x)
            most = std::max(most, ContrastRatio(drawn.pixelColor(x, y), ground));
    return most;
}

} // namespace

class ChatWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { InitDesktopResources(); }

    void sendsToMarkedMembers_data();
    void sendsToMarkedMembers();
    void sendWithoutMarkShowsGablinxBox();
    void enterKey_data();
    void enterKey();
    void escapeAndCloseBox_data();
    void escapeAndCloseBox();
    void minimizeHidesUnlessCloseAndHide_data();
    void minimizeHidesUnlessCloseAndHide();
    void autoHideCountsIdleTicks();
    void timersOnlyRunWhileVisible();
    void bulletinTimerPollsWhileVisibleAndKeepsItsPhase();
    void clearAfterInputEmptiesTheEdit();
    void beepPutsEveryEditBackAsLastTaken();
    void enterInTheHandleEditSendsWithTheTypedHandle();
    void tickerShowsTextTickByTick();
    void captionCountsMembers();
    void rightClickOnLogMarksSender();
    void rightClickOnRosterChangesNothing();
    void lineCopyReplacesSelectionUndoably();
    void windowPosRoundTrip();
    void windowPosWithNineNumbersIsIgnored();
    void trayMenuEntries();
    void withoutTrayWindowStaysReachable();
    void editsRefuseWhatCp932CannotCarry();
    void handleCommitOnFocusLossReachesPeers();
    void beepReadsShiftAtThatMoment();
    void wireTextsStayPlainText();
    void layoutFollowsResize();
    void captionsShowWholeInsideTheirFrames();
    void placementAfterSettingsThenReadyToggle();
    void logSearchFindsEveryDayAndShowsTheHitAmongItsRows();
    void unreadBadgeCountsWhileAwayAndClearsOnShow();
    void darkPaletteRowsKeepTheirContrast();
};

void ChatWindowTest::sendsToMarkedMembers_data() {
    QTest::addColumn<QStringList>("marked");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("words");
    QTest::newRow("one mark: SEND") << QStringList{"Bob"} << "hello" << QStringList{"SEND"};
    QTest::newRow("two marks: SENDM each")
        << QStringList{"Bob", "Carol"} << "hi all" << QStringList{"SENDM", "SENDM"};
    QTest::newRow("empty text sends nothing") << QStringList{"Bob"} << "" << QStringList{};
}

void ChatWindowTest::sendsToMarkedMembers() {
    QFETCH(QStringList, marked);
    QFETCH(QString, text);
    QFETCH(QStringList, words);
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice");
    lan.Add("PCB", "Bob");
    lan.Add("PCC", "Carol");
    lan.Pump();
    CChatWindow& w = *a.window;
    QCOMPARE(Peer(Peer(w).Station()).RosterList().RowCount(), 3);
    for (const QString& handle : marked) {
        const int row = RowOfHandle(w, handle);
        QVERIFY(row >= 0);
        // Marked through the view, as the user does: the list follows the selection.
        Peer(w).RosterView()->selectionModel()->select(Peer(w).RosterView()->model()->index(row, 0),
                                                       QItemSelectionModel::Select |
                                                           QItemSelectionModel::Rows);
    }
    QCOMPARE(Peer(Peer(w).Station()).RosterList().CountMarks(), marked.size());
    QSignalSpy notices(&w, &CChatWindow::NoticeShown);
    lan.TakeSent();
    Peer(w).MessageEdit()->setText(text);
    QTest::mouseClick(Peer(w).Button(CChatWindow::kSendButton), Qt::LeftButton);
    auto sent = lan.TakeSent();
    QStringList got;
    for (const auto& word : Words(sent))
        got << QString::fromStdString(word);
    QCOMPARE(got, words);
    QCOMPARE(notices.count(), 0);
    for (const auto& d : sent)
        QCOMPARE(QString::fromStdString(ReadField(d, kSendTextOffset)), text);
    lan.Pump();
    // Each receiver's copy comes back to the sender's log; the edit keeps its text.
    QCOMPARE(Peer(Peer(w).Station()).LogList().RowCount(), static_cast<int>(words.size()));
    QCOMPARE(Peer(w).MessageEdit()->text(), text);
}

void ChatWindowTest::sendWithoutMarkShowsGablinxBox() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice");
    lan.Pump();
    QSignalSpy notices(a.window.get(), &CChatWindow::NoticeShown);
    lan.TakeSent();
    Peer(*a.window).MessageEdit()->setText("hello");
    QTest::mouseClick(Peer(*a.window).Button(CChatWindow::kSendButton), Qt::LeftButton);
    QVERIFY(lan.TakeSent().empty());
    QCOMPARE(notices.count(), 1);
    QCOMPARE(notices[0][0].toString(), QStringLiteral("Gablinx"));
    QCOMPARE(notices[0][1].toString(), QStringLiteral("ユーザを選択しないと送信できません"));
}

void ChatWindowTest::enterKey_data() {
    QTest::addColumn<bool>("withEnter");
    QTest::newRow("flag on sends") << true;
    QTest::newRow("flag off does nothing") << false;
}

void ChatWindowTest::enterKey() {
    QFETCH(bool, withEnter);
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice", {"Flg Transmission with Enter=" + Flag(withEnter)});
    lan.Add("PCB", "Bob");
    lan.Pump();
    CChatWindow& w = *a.window;
    Peer(w).ShowAction();
    Peer(Peer(w).Station()).RosterList().SetMark(RowOfHandle(w, "Bob"), true, true);
    lan.TakeSent();
    Peer(w).MessageEdit()->setFocus();
    Peer(w).MessageEdit()->setText("ping");
    QTest::keyClick(Peer(w).MessageEdit(), Qt::Key_Return);
    QCOMPARE(lan.TakeSent().size(), withEnter ? std::size_t{1} : std::size_t{0});
    QVERIFY(w.isVisible()); // Enter never closes
    QCOMPARE(Peer(w).MessageEdit()->text(), QStringLiteral("ping"));
}

void ChatWindowTest::escapeAndCloseBox_data() {
    QTest::addColumn<bool>("closeToUnload");
    QTest::addColumn<bool>("closeAndHide");
    QTest::addColumn<bool>("useEscape");
    QTest::addColumn<QString>("expected"); // quit, hidden, minimized
    for (bool esc : {true, false}) {
        const char* how = esc ? "Esc" : "close box";
        QTest::addRow("%s, CloseToUnload: quits", how) << true << false << esc << "quit";
        QTest::addRow("%s, plain: hides", how) << false << false << esc << "hidden";
        QTest::addRow("%s, CloseAndHide: minimizes", how) << false << true << esc << "minimized";
    }
}

void ChatWindowTest::escapeAndCloseBox() {
    QFETCH(bool, closeToUnload);
    QFETCH(bool, closeAndHide);
    QFETCH(bool, useEscape);
    QFETCH(QString, expected);
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice",
                      {"Flg CloseToUnload=" + Flag(closeToUnload),
                       "Flg ChatWindowCloseAndHide=" + Flag(closeAndHide)});
    CChatWindow& w = *a.window;
    Peer(w).ShowAction();
    QSignalSpy quit(&w, &CChatWindow::QuitRequested);
    if (useEscape)
        QTest::keyClick(Peer(w).MessageEdit(), Qt::Key_Escape);
    else
        w.close();
    lan.Pump();
    QCOMPARE(quit.count(), expected == "quit" ? 1 : 0);
    QCOMPARE(w.isVisible(), expected != "hidden");
    QCOMPARE(w.isMinimized(), expected == "minimized");
}

void ChatWindowTest::minimizeHidesUnlessCloseAndHide_data() {
    QTest::addColumn<bool>("closeAndHide");
    QTest::newRow("minimize box hides") << false;
    QTest::newRow("minimize box minimizes with CloseAndHide") << true;
}

void ChatWindowTest::minimizeHidesUnlessCloseAndHide() {
    QFETCH(bool, closeAndHide);
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice", {"Flg ChatWindowCloseAndHide=" + Flag(closeAndHide)});
    CChatWindow& w = *a.window;
    Peer(w).ShowAction();
    w.showMinimized();
    lan.Pump();
    QCOMPARE(w.isVisible(), closeAndHide);
    // ToggleWindow on a minimized window with CloseAndHide minimizes it again.
    Peer(w).ToggleWindow();
    lan.Pump();
    if (closeAndHide) {
        QVERIFY(w.isVisible());
        QVERIFY(w.isMinimized());
    } else {
        QVERIFY(w.isVisible());
        QVERIFY(!w.isMinimized());
    }
}

void ChatWindowTest::autoHideCountsIdleTicks() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice", {"AutoClose Timming=3"});
    lan.Pump();
    CChatWindow& w = *a.window;
    Peer(w).ShowAction();
    QVERIFY(Peer(w).Armed());
    for (int tick = 1; tick <= 30; ++tick)
        w.OnTimer(CChatWindow::kAutoHideTimer);
    QVERIFY(w.isVisible());
    // A character typed starts the count again.
    QTest::keyClick(Peer(w).MessageEdit(), Qt::Key_X);
    QCOMPARE(Peer(w).IdleCount(), 0);
    for (int tick = 1; tick <= 30; ++tick)
        w.OnTimer(CChatWindow::kAutoHideTimer);
    QVERIFY(w.isVisible());
    w.OnTimer(CChatWindow::kAutoHideTimer); // the 31st
    QVERIFY(!w.isVisible());
    QVERIFY(!Peer(w).Armed());
    // Hidden: ticks do nothing.
    for (int tick = 1; tick <= 40; ++tick)
        w.OnTimer(CChatWindow::kAutoHideTimer);
    QCOMPARE(Peer(w).IdleCount(), 0);

    // A list notification (an arriving roster row) is activity as well.
    Peer(w).ShowAction();
    for (int tick = 1; tick <= 20; ++tick)
        w.OnTimer(CChatWindow::kAutoHideTimer);
    QCOMPARE(Peer(w).IdleCount(), 20);
    lan.Add("PCB", "Bob");
    lan.Pump();
    QCOMPARE(Peer(w).IdleCount(), 0);
}

void ChatWindowTest::timersOnlyRunWhileVisible() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice");
    CChatWindow& w = *a.window;
    QVERIFY(!w.isVisible());
    QVERIFY(!Peer(w).TimersRunning());
    Peer(w).ShowAction();
    QVERIFY(Peer(w).TimersRunning());
    Peer(w).HideAction();
    QVERIFY(!Peer(w).TimersRunning());
    // A hidden window's ticker does not move.
    const QString before = Peer(w).Ticker()->text();
    w.OnTimer(CChatWindow::kTickerTimer);
    QCOMPARE(Peer(w).Ticker()->text(), before);
}

void ChatWindowTest::bulletinTimerPollsWhileVisibleAndKeepsItsPhase() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice"); // timers set at 0 ms
    lan.Pump();
    CChatWindow& w = *a.window;
    CWindowTimers& timers = Peer(w).Timers();
    auto getms = [&] {
        lan.Pump();
        int n = 0;
        for (const auto& word : Words(lan.TakeSent()))
            n += word == "GETM";
        return n;
    };
    Peer(w).ShowAction();
    getms();
    QCOMPARE(timers.PlannedWakeUp(CChatWindow::kBulletinTimer), 180000);
    // A tick while visible asks for bulletins, and the next one is a whole period away.
    lan.monotonicMs = 180000;
    timers.OnWakeUp(CChatWindow::kBulletinTimer);
    QCOMPARE(getms(), 1);
    QCOMPARE(timers.PlannedWakeUp(CChatWindow::kBulletinTimer), 180000);

    // Hidden after the usual 31 s: nothing wakes, and a tick would send nothing.
    lan.monotonicMs = 211000;
    Peer(w).HideAction();
    QVERIFY(!w.isVisible());
    QVERIFY(!Peer(w).TimersRunning());
    timers.OnWakeUp(CChatWindow::kBulletinTimer);
    w.OnTimer(CChatWindow::kBulletinTimer);
    QCOMPARE(getms(), 0);

    // Shown again: each timer's next tick comes when it would have come had it run on.
    lan.monotonicMs = 300100;
    Peer(w).ShowAction();
    QVERIFY(Peer(w).TimersRunning());
    QCOMPARE(timers.PlannedWakeUp(CChatWindow::kBulletinTimer), 59900); // tick at 360 s
    QCOMPARE(timers.PlannedWakeUp(CChatWindow::kTickerTimer), 150);
    QCOMPARE(timers.PlannedWakeUp(CChatWindow::kAutoHideTimer), 900);
    lan.monotonicMs = 360000;
    timers.OnWakeUp(CChatWindow::kBulletinTimer);
    QCOMPARE(getms(), 1);
    // Shown and hidden over and over within the period: the polling goes on all the same.
    for (std::int64_t t = 360000; t < 540000; t += 30000) {
        lan.monotonicMs = t + 1000;
        Peer(w).HideAction();
        lan.monotonicMs = t + 29000;
        Peer(w).ShowAction();
    }
    QCOMPARE(timers.UntilNextTick(CChatWindow::kBulletinTimer), 540000 - (510000 + 29000));
}

void ChatWindowTest::clearAfterInputEmptiesTheEdit() {
    for (bool clear : {true, false}) {
        CDesktopLan lan;
        auto& a = lan.Add("PCA", "Alice", {"Flg ClearAfterInput=" + Flag(clear)});
        lan.Add("PCB", "Bob");
        lan.Pump();
        CChatWindow& w = *a.window;
        Peer(Peer(w).Station()).RosterList().SetMark(RowOfHandle(w, "Bob"), true, true);
        lan.TakeSent();
        Peer(w).MessageEdit()->setText("hello");
        QTest::mouseClick(Peer(w).Button(CChatWindow::kSendButton), Qt::LeftButton);
        QCOMPARE(lan.TakeSent().size(), std::size_t{1});
        QCOMPARE(Peer(w).MessageEdit()->text(), clear ? QString() : QStringLiteral("hello"));
        if (clear) {
            // Deleted as an edit: the user can take it back.
            Peer(w).MessageEdit()->undo();
            QCOMPARE(Peer(w).MessageEdit()->text(), QStringLiteral("hello"));
        }
    }
}

void ChatWindowTest::beepPutsEveryEditBackAsLastTaken() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice");
    lan.Add("PCB", "Bob");
    lan.Pump();
    CChatWindow& w = *a.window;
    Peer(Peer(w).Station()).RosterList().SetMark(RowOfHandle(w, "Bob"), true, true);
    // Nothing taken yet: the message edit goes back to empty.
    Peer(w).MessageEdit()->setText("typed only");
    Peer(w).HandleEdit()->setText("Typed");
    QTest::mouseClick(Peer(w).Button(CChatWindow::kBeepButton), Qt::LeftButton);
    QCOMPARE(Peer(w).MessageEdit()->text(), QString());
    QCOMPARE(Peer(w).HandleEdit()->text(), QStringLiteral("Alice"));
    // A send takes the message; what is typed after it is replaced by the BEEP.
    Peer(w).MessageEdit()->setText("sent text");
    QTest::mouseClick(Peer(w).Button(CChatWindow::kSendButton), Qt::LeftButton);
    Peer(w).MessageEdit()->setText("sent text and more");
    QTest::mouseClick(Peer(w).Button(CChatWindow::kBeepButton), Qt::LeftButton);
    QCOMPARE(Peer(w).MessageEdit()->text(), QStringLiteral("sent text"));
    QCOMPARE(Peer(w).Station().Handle(), std::string("Alice"));
}

void ChatWindowTest::enterInTheHandleEditSendsWithTheTypedHandle() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice", {"Flg Transmission with Enter=1"});
    auto& b = lan.Add("PCB", "Bob");
    lan.Pump();
    CChatWindow& w = *a.window;
    Peer(w).ShowAction();
    Peer(Peer(w).Station()).RosterList().SetMark(RowOfHandle(w, "Bob"), true, true);
    lan.TakeSent();
    Peer(w).MessageEdit()->setText("ping");
    Peer(w).HandleEdit()->setFocus();
    Peer(w).HandleEdit()->setText("Alicia");
    QTest::keyClick(Peer(w).HandleEdit(), Qt::Key_Return);
    auto sent = lan.TakeSent();
    QCOMPARE(Words(sent), (std::vector<std::string>{"SEND"}));
    QCOMPARE(Peer(w).Station().Handle(), std::string("Alicia"));
    // The next roll call carries the handle as typed.
    Peer(*b.window).Station().RefreshRoster();
    lan.Pump();
    QVERIFY(RowOfHandle(*b.window, "Alicia") >= 0);
}

void ChatWindowTest::tickerShowsTextTickByTick() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice", {"Info Msg01=AB■D"});
    CChatWindow& w = *a.window;
    Peer(w).ShowAction();
    QStringList shown;
    for (int tick = 1; tick <= 42; ++tick) {
        w.OnTimer(CChatWindow::kTickerTimer);
        shown << Peer(w).Ticker()->text();
    }
    auto at = [&](int tick) { return shown[tick - 1]; };
    QCOMPARE(at(1), QStringLiteral("AB■D"));
    QCOMPARE(at(12), QStringLiteral("AB■D"));
    QCOMPARE(at(13), QStringLiteral("B■D"));
    QCOMPARE(at(14), QStringLiteral("■D"));
    QCOMPARE(at(26), QStringLiteral("■D"));
    QCOMPARE(at(27), QStringLiteral("D"));
    QCOMPARE(at(28), QString());
    QCOMPARE(at(29), QStringLiteral("AB■D"));
    QCOMPARE(at(41), QStringLiteral("AB■D"));
    QCOMPARE(at(42), QStringLiteral("B■D"));
}

void ChatWindowTest::captionCountsMembers() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice");
    lan.Pump();
    QCOMPARE(Peer(*a.window).RosterGroup()->title(), QStringLiteral("ﾕｰｻﾞｰ情報(1)"));
    lan.Add("PCB", "Bob");
    lan.Add("PCC", "Carol");
    lan.Pump();
    QCOMPARE(Peer(*a.window).RosterGroup()->title(), QStringLiteral("ﾕｰｻﾞｰ情報(3)"));
}

void ChatWindowTest::rightClickOnLogMarksSender() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice", {"Flg LogClickToUserMarkON=1"});
    auto& b = lan.Add("PCB", "Bob");
    lan.Add("PCC", "Carol");
    lan.Pump();
    // Bob writes to Alice; Alice has Carol marked before.
    Peer(Peer(*b.window).Station())
        .RosterList()
        .SetMark(RowOfHandle(*b.window, "Alice"), true, true);
    Peer(*b.window).MessageEdit()->setText("hi Alice");
    QTest::mouseClick(Peer(*b.window).Button(CChatWindow::kSendButton), Qt::LeftButton);
    lan.Pump();
    CChatWindow& w = *a.window;
    Peer(w).ShowAction();
    Peer(Peer(w).Station()).RosterList().SetMark(RowOfHandle(w, "Carol"), true, true);
    QCOMPARE(Peer(Peer(w).Station()).LogList().RowCount(), 1);
    CMarkListCtrl* log = Peer(w).LogView();
    QApplication::processEvents();
    const QRect rowRect = log->visualRect(log->model()->index(0, 0));
    QTest::mouseClick(log->viewport(), Qt::RightButton, {}, rowRect.center());
    lan.Pump();
    CMarkList& roster = Peer(Peer(w).Station()).RosterList();
    QCOMPARE(roster.CountMarks(), 1);
    QCOMPARE(roster.IsMarked(RowOfHandle(w, "Bob")), 1);
    // The view shows the list's marks.
    QVERIFY(Peer(w).RosterView()->selectionModel()->isRowSelected(RowOfHandle(w, "Bob"), {}));
    QVERIFY(!Peer(w).RosterView()->selectionModel()->isRowSelected(RowOfHandle(w, "Carol"), {}));
}

void ChatWindowTest::rightClickOnRosterChangesNothing() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice", {"Flg LogClickToUserMarkON=1"});
    lan.Add("PCB", "Bob");
    lan.Pump();
    CChatWindow& w = *a.window;
    Peer(w).ShowAction();
    QSignalSpy clicks(Peer(w).RosterView(), &CMarkListCtrl::RowClicked);
    const int bob = RowOfHandle(w, "Bob");
    QApplication::processEvents();
    const QRect rowRect =
        Peer(w).RosterView()->visualRect(Peer(w).RosterView()->model()->index(bob, 0));
    QTest::mouseClick(Peer(w).RosterView()->viewport(), Qt::RightButton, {}, rowRect.center());
    lan.Pump();
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(clicks[0][0].toInt(), 1032);
    QCOMPARE(clicks[0][1].toInt(), bob);
    QCOMPARE(Peer(Peer(w).Station()).RosterList().CountMarks(),
             1); // only the click's own selection
}

void ChatWindowTest::lineCopyReplacesSelectionUndoably() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice");
    lan.Pump();
    CChatWindow& w = *a.window;
    Peer(Peer(w).Station()).RosterList().SetMark(RowOfHandle(w, "Alice"), true, true);
    Peer(w).MessageEdit()->setText("copied text");
    QTest::mouseClick(Peer(w).Button(CChatWindow::kSendButton), Qt::LeftButton);
    lan.Pump();
    QCOMPARE(Peer(Peer(w).Station()).LogList().RowCount(), 1);

    // Without a selected log row nothing happens.
    Peer(w).MessageEdit()->setText("say: XX!");
    QTest::mouseClick(Peer(w).Button(CChatWindow::kLineCopyButton), Qt::LeftButton);
    QCOMPARE(Peer(w).MessageEdit()->text(), QStringLiteral("say: XX!"));

    Peer(w).LogView()->selectionModel()->select(Peer(w).LogView()->model()->index(0, 0),
                                                QItemSelectionModel::ClearAndSelect |
                                                    QItemSelectionModel::Rows);
    Peer(w).MessageEdit()->setSelection(5, 2);
    QTest::mouseClick(Peer(w).Button(CChatWindow::kLineCopyButton), Qt::LeftButton);
    QCOMPARE(Peer(w).MessageEdit()->text(), QStringLiteral("say: copied text!"));
    Peer(w).MessageEdit()->undo();
    QCOMPARE(Peer(w).MessageEdit()->text(), QStringLiteral("say: XX!"));

    // The byte limit cuts what does not fit.
    Peer(w).MessageEdit()->setText(QString(125, 'a'));
    Peer(w).MessageEdit()->end(false);
    QTest::mouseClick(Peer(w).Button(CChatWindow::kLineCopyButton), Qt::LeftButton);
    QCOMPARE(Peer(w).MessageEdit()->text(), QString(125, 'a') + "copie");
}

void ChatWindowTest::windowPosRoundTrip() {
    CDesktopLan lan;
    {
        auto& a = lan.Add("PCA", "Alice");
        CChatWindow& w = *a.window;
        Peer(w).ShowAction();
        w.setGeometry(100, 120, 700, 500);
        w.Shutdown();
    }
    std::string value;
    CSettingsStore store(lan.SettingsFile("PCA").toStdString());
    QCOMPARE(store.ReadSetting("WindowPos", value, 1024), 0);
    QCOMPARE(QString::fromStdString(value), QStringLiteral("0,1,-1,-1,-1,-1,100,120,800,620"));

    auto& again = lan.Add("PCA2", "Alice", {"WindowPos=" + value});
    QVERIFY(again.window->isVisible());
    QCOMPARE(again.window->geometry(), QRect(100, 120, 700, 500));

    // Hidden at the end: the show state is 0 and the next start stays hidden.
    Peer(*again.window).HideAction();
    again.window->Shutdown();
    CSettingsStore store2(lan.SettingsFile("PCA2").toStdString());
    QCOMPARE(store2.ReadSetting("WindowPos", value, 1024), 0);
    QCOMPARE(QString::fromStdString(value), QStringLiteral("0,0,-1,-1,-1,-1,100,120,800,620"));
    auto& third = lan.Add("PCA3", "Alice", {"WindowPos=" + value});
    QVERIFY(!third.window->isVisible());
    QCOMPARE(third.window->geometry().topLeft(), QPoint(100, 120));
}

void ChatWindowTest::windowPosWithNineNumbersIsIgnored() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice", {"WindowPos=0,1,-1,-1,-1,-1,100,120,800"});
    QVERIFY(!a.window->isVisible());
    QVERIFY(a.window->geometry().topLeft() != QPoint(100, 120));
}

void ChatWindowTest::trayMenuEntries() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice");
    QStringList entries;
    for (QAction* action : Peer(*a.window).TrayMenu()->actions())
        entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
    QCOMPARE(entries, (QStringList{"ｳｨﾝﾄﾞｳ表示切替(&D)", "-", "ｵﾌﾟｼｮﾝ設定(&O)", "定型ﾌｫｰﾑ設定",
                                   "ｲﾝﾌｫﾒｰｼｮﾝ設定", "ﾊﾞｰｼﾞｮﾝ情報(&V)", "-", "常駐終了(&Q)"}));
    QVERIFY(Peer(*a.window).TrayIcon());
    QCOMPARE(Peer(*a.window).TrayIcon()->toolTip(), QStringLiteral("Palaverly"));
    // The first entry toggles the window, the last asks to quit.
    Peer(*a.window).TrayMenu()->actions().first()->trigger();
    QVERIFY(a.window->isVisible());
    Peer(*a.window).TrayMenu()->actions().first()->trigger();
    QVERIFY(!a.window->isVisible());
    QSignalSpy quit(a.window.get(), &CChatWindow::QuitRequested);
    Peer(*a.window).TrayMenu()->actions().last()->trigger();
    lan.Pump();
    QCOMPARE(quit.count(), 1);
}

void ChatWindowTest::withoutTrayWindowStaysReachable() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice", {}, true, /*trayAvailable=*/false);
    CChatWindow& w = *a.window;
    // The icon is there for a tray host that may still come; meanwhile the window is the way in.
    QVERIFY(Peer(w).TrayIcon());
    QVERIFY(!Peer(w).TrayAvailable());
    QVERIFY(w.isVisible()); // shown at start-up
    Peer(w).HideAction();
    QVERIFY(w.isVisible()); // minimized, not hidden
    QVERIFY(w.isMinimized());
    w.close();
    lan.Pump();
    QVERIFY(w.isVisible());
}

void ChatWindowTest::editsRefuseWhatCp932CannotCarry() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice");
    CChatWindow& w = *a.window;
    Peer(w).ShowAction();
    QSignalSpy refused(&w, &CChatWindow::InputRefused);
    struct Case {
        QLineEdit* edit;
        int id;
        int limit;
    };
    for (Case c : {Case{Peer(w).MessageEdit(), 1000, 130}, Case{Peer(w).HandleEdit(), 1010, 20},
                   Case{Peer(w).StatusEdit(), 1038, 20}}) {
        c.edit->clear();
        c.edit->setFocus();
        // Double-byte characters count two bytes each.
        Type(c.edit, QString(c.limit / 2 + 3, QChar(0x3042))); // あ
        QCOMPARE(c.edit->text(), QString(c.limit / 2, QChar(0x3042)));
        c.edit->clear();
        Type(c.edit, QStringLiteral("a한b"));
        QCOMPARE(c.edit->text(), QStringLiteral("ab"));
        QVERIFY(!refused.isEmpty());
        QCOMPARE(refused.last()[0].toInt(), c.id);
    }
}

void ChatWindowTest::handleCommitOnFocusLossReachesPeers() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice");
    auto& b = lan.Add("PCB", "Bob");
    lan.Pump();
    CChatWindow& w = *a.window;
    Peer(w).ShowAction();
    QApplication::setActiveWindow(&w);
    Peer(w).HandleEdit()->setFocus();
    Peer(w).HandleEdit()->setText("Alicia");
    Peer(w).MessageEdit()->setFocus();
    lan.Pump();
    QCOMPARE(Utf8(Peer(w).Station().Handle()), QStringLiteral("Alicia"));
    QVERIFY(RowOfHandle(*b.window, "Alicia") >= 0);
    QCOMPARE(RowOfHandle(*b.window, "Alice"), -1);
}

void ChatWindowTest::beepReadsShiftAtThatMoment() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice");
    lan.Add("PCB", "Bob");
    lan.Pump();
    CChatWindow& w = *a.window;
    Peer(Peer(w).Station()).RosterList().SetMark(RowOfHandle(w, "Bob"), true, true);
    QSignalSpy notices(&w, &CChatWindow::NoticeShown);
    for (bool shift : {false, true}) {
        lan.TakeSent();
        lan.shiftDown = shift;
        QTest::mouseClick(Peer(w).Button(CChatWindow::kBeepButton), Qt::LeftButton);
        auto sent = lan.TakeSent();
        QCOMPARE(sent.size(), std::size_t{1});
        QCOMPARE(CDesktopLan::Word(sent[0]), std::string("BEEP"));
        QCOMPARE(SilentFlagSet(sent[0]), shift);
    }
    // BEEP at one's own row: the box, nothing sent.
    Peer(Peer(w).Station()).RosterList().SetMark(RowOfHandle(w, "Bob"), false, true);
    Peer(Peer(w).Station()).RosterList().SetMark(RowOfHandle(w, "Alice"), true, true);
    lan.TakeSent();
    QTest::mouseClick(Peer(w).Button(CChatWindow::kBeepButton), Qt::LeftButton);
    QVERIFY(lan.TakeSent().empty());
    QCOMPARE(notices.count(), 1);
    QCOMPARE(notices[0][1].toString(), QStringLiteral("送信先が自分ですので中止します"));
}

void ChatWindowTest::wireTextsStayPlainText() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "<b>A&amp;</b>");
    lan.Pump();
    CChatWindow& w = *a.window;
    auto* model = Peer(w).RosterView()->model();
    QCOMPARE(model->data(model->index(0, 0), Qt::DisplayRole).toString(),
             QStringLiteral("<b>A&amp;</b>"));
    QVERIFY(!model->data(model->index(0, 0), Qt::ToolTipRole).isValid());
    QCOMPARE(Peer(w).HandleEdit()->text(), QStringLiteral("<b>A&amp;</b>"));
}

void ChatWindowTest::layoutFollowsResize() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice");
    CChatWindow& w = *a.window;
    Peer(w).ShowAction();
    QVERIFY(w.width() >= CChatWindow::kMinimumWidth);
    QVERIFY(w.height() >= CChatWindow::kMinimumHeight);
    const QRect sendBefore = Peer(w).Button(CChatWindow::kSendButton)->geometry();
    for (QSize size : {QSize(800, 600), QSize(1000, 700), QSize(640, 480)}) {
        w.resize(size);
        const int W = w.width() + 8; // the outer width of the template's frame
        const int H = w.height() + 27;
        QCOMPARE(Peer(w).Ticker()->geometry().left() + Peer(w).Ticker()->width(), W - 15);
        QCOMPARE(Peer(w).LogView()->geometry().left() + Peer(w).LogView()->width(), W - 15);
        QCOMPARE(Peer(w).RosterView()->width(), Peer(w).LogView()->width());
        QCOMPARE(Peer(w).RosterView()->geometry().top() + Peer(w).RosterView()->height(), H - 37);
        QCOMPARE(Peer(w).RosterGroup()->geometry().top() + Peer(w).RosterGroup()->height(), H - 30);
        QCOMPARE(Peer(w).Button(CChatWindow::kSendButton)->geometry(), sendBefore);
    }
}

void ChatWindowTest::captionsShowWholeInsideTheirFrames() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice");
    lan.Add("PCB", "Bob");
    lan.Pump();
    CChatWindow& w = *a.window;
    Peer(w).ShowAction();
    // A two-digit member count is the widest caption the roster frame shows in an office.
    Peer(w).RosterGroup()->setTitle(QStringLiteral("ﾕｰｻﾞｰ情報(10)"));
    for (QSize size : {w.size(), QSize(640, 480), QSize(1000, 700)}) {
        w.resize(size);
        const QStringList defects = LayoutDefects(w, &Peer(w).Layout());
        for (const QString& d : defects)
            qInfo("%dx%d: %s", w.width(), w.height(), qPrintable(d));
        QCOMPARE(defects, QStringList());
    }
}

void ChatWindowTest::placementAfterSettingsThenReadyToggle() {
    // Shown at the last exit, and shown at start-up by the option as well: the placement
    // shows the window, then the start-up toggle finds it visible and hides it.
    const std::string shown = "WindowPos=0,1,-1,-1,-1,-1,100,120,800,620";
    CDesktopLan lan;
    auto& ready = lan.Add("PCA", "Alice", {shown, "Flg ChatWindowReady=1"});
    QVERIFY(!ready.window->isVisible());
    QCOMPARE(ready.window->geometry().topLeft(), QPoint(100, 120));
    // Without the option the placement alone decides: shown.
    auto& plain = lan.Add("PCB", "Bob", {shown, "Flg ChatWindowReady=0"});
    QVERIFY(plain.window->isVisible());
    QVERIFY(!plain.window->isMinimized());
    // A placement that was hidden, with the option: the toggle shows it.
    auto& hidden = lan.Add("PCC", "Carol",
                           {"WindowPos=0,0,-1,-1,-1,-1,100,120,800,620", "Flg ChatWindowReady=1"});
    QVERIFY(hidden.window->isVisible());
}

void ChatWindowTest::logSearchFindsEveryDayAndShowsTheHitAmongItsRows() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice");
    CChatWindow& w = *a.window;
    const std::filesystem::path folder = Peer(w).Station().Settings().Options().m_logSavePath;
    std::filesystem::create_directories(folder);
    const auto plant = [&](const char* name, const std::string& bytes) {
        std::ofstream(folder / name, std::ios::binary) << bytes;
    };
    std::string day7;
    for (int i = 0; i < 30; ++i)
        day7 += " 9:" + std::to_string(10 + i) + "'00\tAlice\tBob\tk\t" +
                (i == 20 ? "LUNCH now" : "line " + std::to_string(i)) + "\r\n";
    plant("CHAT1261207.LOG", day7);
    plant("CHAT1261206.LOG", " 8:00'00\tAlice\tBob\tk\tlunch " + cp932::Sjis("ソ") + "\r\n");
    plant("notes.txt", "lunch\r\n");
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
    auto* dialog = w.findChild<CLogSearchDialog*>();
    QVERIFY(dialog && dialog->isVisible());
    // The screen holds it, at 2x too.
    const QSize room = dialog->screen()->availableGeometry().size();
    QVERIFY(dialog->width() <= room.width() && dialog->height() <= room.height());
    QSignalSpy finished(dialog, &CLogSearchDialog::Finished);
    const auto lists = dialog->findChildren<QTreeView*>();
    QCOMPARE(lists.size(), 2);
    QTreeView* hits = lists[0];
    QTreeView* around = lists[1];
    QAbstractItemModelTester hitsTester(hits->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester aroundTester(around->model(),
                                          QAbstractItemModelTester::FailureReportingMode::QtTest);
    const auto cell = [](QTreeView* view, int row, int column) {
        return view->model()->index(row, column).data().toString();
    };
    dialog->Search(QStringLiteral("Lunch"));
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.first().first().toInt(), 2);
    QCOMPARE(hits->model()->rowCount(), 2);
    QCOMPARE(cell(hits, 0, 0), QStringLiteral("2026-12-07"));
    QCOMPARE(cell(hits, 0, 1), QStringLiteral(" 9:30'00"));
    QCOMPARE(cell(hits, 0, 2), QStringLiteral("Bob"));
    QCOMPARE(cell(hits, 0, 3), QStringLiteral("Alice"));
    QCOMPARE(cell(hits, 0, 5), QStringLiteral("LUNCH now"));
    QCOMPARE(cell(hits, 1, 5), QStringLiteral("lunch ソ"));
    // The hit among its day's rows: ten before, itself in bold, and the nine after it.
    hits->setCurrentIndex(hits->model()->index(0, 0));
    QCOMPARE(around->model()->rowCount(), 20);
    QVERIFY(around->isColumnHidden(0));
    QCOMPARE(cell(around, 10, 5), QStringLiteral("LUNCH now"));
    const auto bold = [&](int row) {
        return around->model()->index(row, 5).data(Qt::FontRole).value<QFont>().bold();
    };
    QVERIFY(bold(10));
    QVERIFY(!bold(9) && !bold(11));
    dialog->Search(QStringLiteral("\\")); // the trail byte of ソ is no backslash
    QVERIFY(finished.wait(5000));
    QCOMPARE(hits->model()->rowCount(), 0);
    QCOMPARE(around->model()->rowCount(), 0);

    // What CP932 cannot hold is refused, typed or put in: never a search for a changed text
    // ("l?nch" would find nothing, "?" after a lossy conversion anything with a question mark).
    auto* field = dialog->findChild<QLineEdit*>();
    field->clear();
    Type(field, QStringLiteral("l한unch"));
    QCOMPARE(field->text(), QStringLiteral("lunch"));
    plant("CHAT1261205.LOG", " 7:00'00\tAlice\tBob\tk\twhat?\r\n");
    const qsizetype searches = finished.count();
    dialog->Search(QStringLiteral("한")); // refused at once, before any file is read
    QCOMPARE(finished.count(), searches + 1);
    QCOMPARE(finished.last().first().toInt(), 0);
    QCOMPARE(hits->model()->rowCount(), 0);
    QVERIFY(!dialog->Searching());
}

void ChatWindowTest::unreadBadgeCountsWhileAwayAndClearsOnShow() {
    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice", {"Flg DesktopNotify=0"});
    auto& b = lan.Add("PCB", "Bob");
    lan.Pump();
    CChatWindow& w = *a.window;
    QVERIFY(!w.isVisible());
    // At 2x the icons are drawn from an image of their own size, never scaled up.
    QCOMPARE(w.windowIcon().actualSize(QSize(64, 64)), QSize(64, 64));
    QCOMPARE(Peer(w).TrayIcon()->icon().actualSize(QSize(64, 64)), QSize(64, 64));
    const QImage plain = Peer(w).TrayIcon()->icon().pixmap(QSize(32, 32), 2.0).toImage();
    Peer(*b.window).Station().SetMark("PCA", true);
    for (const char* text : {"one", "two"}) {
        Peer(*b.window).Station().SendAction(text);
        lan.Pump();
    }
    QCOMPARE(Peer(w).TrayIcon()->toolTip(),
             QStringLiteral("Palaverly - 2 unread, the latest from Bob"));
    // The badge is drawn in device pixels at 2x: the icon's corner turns red there.
    const QImage badged = Peer(w).TrayIcon()->icon().pixmap(QSize(32, 32), 2.0).toImage();
    QCOMPARE(badged.size(), QSize(64, 64));
    QVERIFY(badged != plain);
    const QColor corner = badged.pixelColor(30, 16);
    QVERIFY2(corner.red() > 180 && corner.green() < 80, qPrintable(corner.name()));
    Peer(w).ShowAction();
    QCOMPARE(Peer(w).TrayIcon()->toolTip(), QStringLiteral("Palaverly"));
    QCOMPARE(Peer(w).TrayIcon()->icon().pixmap(QSize(32, 32), 2.0).toImage(), plain);
}

void ChatWindowTest::darkPaletteRowsKeepTheirContrast() {
    // Lightened on dark, keeping the hue; untouched on white.
    const QColor blue(0, 0, 255), dark(0x1E, 0x1E, 0x1E);
    QCOMPARE(ReadableOn(blue, Qt::white), blue);
    const QColor lifted = ReadableOn(blue, dark);
    QVERIFY(ContrastRatio(lifted, dark) >= 4.5 && ContrastRatio(lifted, dark) < 4.7);
    QCOMPARE(lifted.hslHue(), blue.hslHue());
    QVERIFY(qAbs(ContrastRatio(Qt::white, Qt::black) - 21.0) < 1e-9);

    CDesktopLan lan;
    auto& a = lan.Add("PCA", "Alice");
    auto& b = lan.Add("PCB", "Bob");
    lan.Pump();
    Peer(*b.window).Station().SetMark("PCA", true);
    Peer(*b.window).Station().SendAction("WWWWWWWWWWWWWWWW");
    lan.Pump();
    CMarkListCtrl* view = Peer(*a.window).LogView();
    QVERIFY(view->model()->rowCount() > 0);
    // A black text colour on a dark base: 1.2:1 as stored.
    QPalette palette = view->palette();
    for (auto role : {QPalette::Base, QPalette::AlternateBase, QPalette::Window})
        palette.setColor(QPalette::Active, role, dark);
    palette.setColor(QPalette::Active, QPalette::Text, Qt::black);
    view->setPalette(palette);
    view->viewport()->setPalette(palette);
    view->resize(600, 200);
    const QRect row = view->visualRect(view->model()->index(0, 4));
    const double best = MostContrast(view->viewport()->grab().toImage(), row, dark);
    QVERIFY2(best >= 4.5, qPrintable(QString::number(best)));

    // The desktop turns dark while the window is open: the frames' captions follow it.
    Peer(*a.window).ShowAction();
    QVERIFY(QTest::qWaitForWindowExposed(a.window.get()));
    const QPalette before = QApplication::palette();
    QPalette night;
    night.setColor(QPalette::Window, dark);
    night.setColor(QPalette::WindowText, QColor(0xEE, 0xEE, 0xEE));
    QApplication::setPalette(night);
    // The caption's glyphs, as the window draws them: the frame's line keeps clear of them.
    QGroupBox* group = Peer(*a.window).LogGroup();
    const QRect title(group->pos() + QPoint(8, 1),
                      QSize(group->fontMetrics().horizontalAdvance(group->title()) - 2,
                            group->fontMetrics().height() - 2));
    QVERIFY(!title.isEmpty());
    const auto captionContrast = [&] {
        const QImage shown = a.window->grab().toImage();
        // Against the window's ground beside the frame, once that has turned dark.
        const QColor ground = shown.pixelColor(group->pos() + QPoint(1, 1));
        return ContrastRatio(ground, dark) > 1.1 ? 0.0 : MostContrast(shown, title, ground);
    };
    QTRY_VERIFY2(captionContrast() >= 4.5, qPrintable(QString::number(captionContrast())));
    QApplication::setPalette(before);
}

QTEST_MAIN(ChatWindowTest)
#include "ChatWindowTest.moc"
