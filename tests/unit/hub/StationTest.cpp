#include "CStationHubTestPeer.h"
#include "StationFixture.h"
#include "headless/CHeadlessStation.h"
#include "station/Columns.h"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>
#include <unistd.h>

using namespace palaverly;
using namespace palaverly::test;

namespace {

class StationTest : public CStationLanTest {
protected:
    // Marks the roster rows of `station` whose computer name is in `names`.
    static void Mark(CTestStation& t, std::initializer_list<std::string> names) {
        CMarkList& roster = Peer(t.station).RosterList();
        for (int row = 0; row < roster.RowCount(); ++row)
            for (const auto& n : names)
                if (roster.Text(row, RosterColumn::Computer) == n)
                    roster.SetMark(row, true, true);
    }

    // Datagrams on the LAN since `from`, unscrambled.
    std::vector<Datagram> SentSince(std::size_t from) {
        std::vector<Datagram> out;
        auto sent = lan->lan.Sent();
        for (std::size_t i = from; i < sent.size(); ++i) {
            Datagram d;
            std::copy(sent[i].begin(), sent[i].end(), d.bytes.begin());
            Scramble(d);
            out.push_back(d);
        }
        return out;
    }
};

// The command word: five bytes at most ("SENDM" runs straight into the payload).
std::string Word(const Datagram& d) {
    return std::string(
        cp932::UpToNul(std::string_view(d.bytes.data() + kCommandOffset, kCommandSize)));
}

} // namespace

TEST_F(StationTest, RollCallFillsEveryRosterIncludingTheOwnRow) {
    auto& a = lan->Add("PCA", "太郎");
    auto& b = lan->Add("PCB", "Hanako");
    auto& c = lan->Add("PCC", "ｼﾞﾛｰ");
    lan->Pump();
    // Stations that started earlier heard later roll calls and answered them.
    for (auto* t : {&a, &b, &c}) {
        auto rows = Rows(Peer(t->station).RosterList());
        ASSERT_EQ(rows.size(), 3u) << t->name;
        // Sorted by handle: ASCII before katakana and kanji.
        EXPECT_EQ(rows[0][RosterColumn::Handle], "Hanako");
        EXPECT_EQ(rows[0][RosterColumn::Computer], "PCB");
        EXPECT_EQ(rows[0][RosterColumn::Address], " 10.  0.  0.  1");
        EXPECT_EQ(rows[0][RosterColumn::Version], "060R-003");
        EXPECT_EQ(rows[0][RosterColumn::Comment], "Not support");
    }
    EXPECT_EQ(cp932::ToUtf8(a.frontEnd.captions.back()), "ﾕｰｻﾞｰ情報(3)");
    EXPECT_EQ(a.frontEnd.ready, 1);
    // The login time is the time of the first datagram and is announced in every INFO.
    EXPECT_EQ(a.station->LoginTime(), "09:05'07");
    lan->now.hour = 11;
    b.station->RefreshRoster();
    lan->Pump();
    EXPECT_EQ(a.station->LoginTime(), "09:05'07");
    const CMarkList& roster = Peer(b.station).RosterList();
    const int row = Peer(b.station).Roster().FindMemberRow("PCA");
    ASSERT_GE(row, 0);
    EXPECT_EQ(roster.Text(row, RosterColumn::LoginTime), "09:05'07");
}

TEST_F(StationTest, RepetitionIsDroppedOnceButActedOnAgainAfterAnotherDatagram) {
    auto& a = lan->Add("PCA", "A");
    auto& b = lan->Add("PCB", "B");
    lan->Pump();
    Mark(a, {"PCB"});
    std::size_t from = lan->lan.Sent().size();
    ASSERT_EQ(a.station->SendAction("hello"), CStationHub::SendResult::Sent);
    auto raw = lan->lan.Sent()[from];
    lan->Pump();
    int rowsBefore = Peer(b.station).LogList().RowCount();
    ASSERT_EQ(rowsBefore, 1);

    b.station->Reception().AcceptRaw(raw.data()); // same as the last one: dropped
    b.station->DrainReceived();
    EXPECT_EQ(Peer(b.station).LogList().RowCount(), 1);

    Datagram memb = BuildDatagram(4242, lan->now, "MEMB", nullptr);
    Scramble(memb);
    b.station->Reception().AcceptRaw(memb.bytes.data()); // another datagram in between
    b.station->Reception().AcceptRaw(raw.data());        // the repetition is acted on again
    b.station->DrainReceived();
    EXPECT_EQ(Peer(b.station).LogList().RowCount(), 2);
}

TEST_F(StationTest, SendmToThreeMarkedRowsGivesThreeDatagramsInRosterOrder) {
    auto& a = lan->Add("PCA", "Alice");
    auto& b = lan->Add("PCB", "Bob");
    auto& c = lan->Add("PCC", "Carol");
    auto& d = lan->Add("PCD", "Dave");
    auto& e = lan->Add("PCE", "Eve");
    lan->Pump();
    Mark(a, {"PCD", "PCB", "PCC"});
    std::size_t from = lan->lan.Sent().size();
    ASSERT_EQ(a.station->SendAction(cp932::Sjis("会議です")), CStationHub::SendResult::Sent);
    auto sent = SentSince(from);
    ASSERT_EQ(sent.size(), 3u);
    std::vector<std::string> receivers;
    std::set<std::string> ids;
    for (const auto& dg : sent) {
        EXPECT_EQ(Word(dg), "SENDM");
        EXPECT_EQ(ReadField(dg, kSenderOffset), "PCA");
        EXPECT_EQ(cp932::ToUtf8(ReadField(dg, kSendTextOffset)), "会議です");
        receivers.push_back(ReadField(dg, kReceiverOffset));
        ids.insert(DatagramId(dg));
    }
    EXPECT_EQ(receivers, (std::vector<std::string>{"PCB", "PCC", "PCD"}));
    EXPECT_EQ(ids.size(), 3u) << "each datagram draws its own id";
    lan->Pump();

    auto own = Rows(Peer(a.station).LogList());
    ASSERT_EQ(own.size(), 3u);
    EXPECT_EQ(own[0], (std::vector<std::string>{"Bob", "Alice", " 9:05", "同報", "会議です"}));
    EXPECT_EQ(own[2][LogColumn::Receiver], "Dave");
    for (auto* t : {&b, &c, &d}) {
        auto rows = Rows(Peer(t->station).LogList());
        ASSERT_EQ(rows.size(), 1u) << t->name;
        EXPECT_EQ(rows[0][LogColumn::Sender], "Alice");
    }
    EXPECT_EQ(Peer(e.station).LogList().RowCount(), 0);
}

TEST_F(StationTest, SendActionRefusalsAndSingleSend) {
    auto& a = lan->Add("PCA", "A");
    lan->Add("PCB", "B");
    lan->Pump();
    std::size_t from = lan->lan.Sent().size();
    EXPECT_EQ(a.station->SendAction(""), CStationHub::SendResult::Empty);
    EXPECT_TRUE(a.frontEnd.notices.empty());
    EXPECT_EQ(a.station->SendAction("hi"), CStationHub::SendResult::NoReceiver);
    ASSERT_EQ(a.frontEnd.notices.size(), 1u);
    EXPECT_EQ(a.frontEnd.notices[0], "Gablinx|ユーザを選択しないと送信できません");
    EXPECT_EQ(SentSince(from).size(), 0u);

    Mark(a, {"PCB"});
    // A message longer than the edit allows is cut at 130 bytes, never inside a character.
    std::string longText(70, 'x');
    for (int i = 0; i < 40; ++i)
        longText += "漢";
    ASSERT_EQ(a.station->SendAction(cp932::Sjis(longText)), CStationHub::SendResult::Sent);
    auto sent = SentSince(from);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(Word(sent[0]), "SEND");
    EXPECT_EQ(ReadField(sent[0], kSendTextOffset).size(), 130u);
}

TEST_F(StationTest, SilentBeepLogsNothingAndStillSoundsAtBothEnds) {
    auto& a = lan->Add("PCA", "A");
    auto& b = lan->Add("PCB", "B", {"Flg UseBeepSound=1", "SoundFilePath=/tmp/alert.wav"});
    lan->Pump();
    Mark(a, {"PCB"});
    a.station->BeepAction([] { return true; });
    lan->Pump();
    EXPECT_EQ(Peer(a.station).LogList().RowCount(), 0);
    EXPECT_EQ(Peer(b.station).LogList().RowCount(), 0);
    EXPECT_EQ(a.frontEnd.beeps, 1);
    EXPECT_EQ(b.frontEnd.sounds, (std::vector<std::string>{"/tmp/alert.wav"}));

    a.station->BeepAction([] { return false; });
    lan->Pump();
    auto atA = Rows(Peer(a.station).LogList());
    auto atB = Rows(Peer(b.station).LogList());
    ASSERT_EQ(atA.size(), 1u);
    ASSERT_EQ(atB.size(), 1u);
    EXPECT_EQ(atA[0][LogColumn::Content], "BEEP攻撃をしました！！");
    EXPECT_EQ(atB[0][LogColumn::Content], "BEEP攻撃を受けています！！");
    EXPECT_EQ(atB[0][LogColumn::Kind], "個人");
}

TEST_F(StationTest, BeepToOwnRowIsRefusedOnceAndOthersAreAlerted) {
    auto& a = lan->Add("PCA", "A");
    auto& b = lan->Add("PCB", "B");
    auto& c = lan->Add("PCC", "C");
    lan->Pump();
    Mark(a, {"PCA", "PCB", "PCC"});
    std::size_t from = lan->lan.Sent().size();
    // Shift released in the middle of the alert changes the flag for the later rows.
    int calls = 0;
    a.station->BeepAction([&] { return ++calls == 1; });
    auto sent = SentSince(from);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(a.frontEnd.notices,
              (std::vector<std::string>{"Palaverly|送信先が自分ですので中止します"}));
    EXPECT_EQ(Word(sent[0]), "BEEPM");
    EXPECT_EQ(ReadField(sent[0], kReceiverOffset), "PCB");
    EXPECT_EQ(ReadField(sent[1], kReceiverOffset), "PCC");
    EXPECT_FALSE(SilentFlagSet(sent[0]) && SilentFlagSet(sent[1]));
    lan->Pump();
    EXPECT_EQ(b.frontEnd.beeps + c.frontEnd.beeps, 2);
}

TEST_F(StationTest, QuitShowsTheNoticeEverywhereAndClosesOnlyTheAddressee) {
    auto& a = lan->Add("PCA", "A");
    auto& b = lan->Add("PCB", "B");
    lan->Pump();
    auto payload = MakeQuitPayload("PCB");
    a.station->SendDatagram("QUIT", payload.data());
    lan->Pump();
    EXPECT_EQ(a.frontEnd.notices, (std::vector<std::string>{"Palaverly|quit"}));
    EXPECT_EQ(b.frontEnd.notices, (std::vector<std::string>{"Palaverly|quit"}));
    EXPECT_EQ(a.frontEnd.closes, 0);
    EXPECT_EQ(b.frontEnd.closes, 1);
}

TEST_F(StationTest, GetmIsAnsweredOnlyByBulletinServersInFirstStoredOrder) {
    auto& a = lan->Add("PCA", "A", {"Info Msg01=LOCAL"});
    lan->Add("PCS", "Srv", {"Flg ChatServer=1", "Info Msg99=news one"});
    lan->Add("PCT", "Tom", {"Flg ChatServer=1", "Info Msg99=二番"});
    lan->Pump(); // each INFO's first arrival posts a fetch; answers are stored
    std::size_t from = lan->lan.Sent().size();
    a.station->FetchBulletin();
    auto sent = SentSince(from);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(Word(sent[0]), "GETM");
    lan->Pump();
    auto answers = SentSince(from + 1);
    int setm = 0;
    for (const auto& d : answers)
        setm += Word(d) == "SETM";
    EXPECT_EQ(setm, 2);
    EXPECT_EQ(cp932::ToUtf8(a.station->TickerText()), "LOCAL■Srv放送：news one■Tom放送：二番");
}

TEST_F(StationTest, BurstsGetOneAnswerAtOnceThenOneWithTheNewValuesAndNoneAfterTheBye) {
    auto& a = lan->Add("PCA", "A", {"Flg ChatServer=1", "Info Msg99=news"});
    lan->Pump();
    std::size_t from = lan->lan.Sent().size();
    for (const char* word : {"MEMB", "GETM", "MEMB", "GETM", "MEMB"})
        a.station->Dispatch(BuildDatagram(1, lan->now, word, nullptr), "");
    a.station->TakeHandleAndStatus("Later", "");
    for (auto& windowEnd : std::exchange(a.frontEnd.posted, {}))
        windowEnd(); // one answer each, and a new window
    a.station->Dispatch(BuildDatagram(1, lan->now, "MEMB", nullptr), "");
    a.station->OnSuspend();
    a.station.reset();
    for (auto& windowEnd : a.frontEnd.posted)
        windowEnd(); // after the BYE, and after the station is gone: nothing
    std::vector<std::string> sent;
    for (const auto& d : SentSince(from))
        sent.push_back(Word(d) + "|" + ReadInfo(d).handleName); // SETM: the bulletin
    EXPECT_EQ(sent, (std::vector<std::string>{"INFO|A", "SETM|news", "INFO|Later", "SETM|news",
                                              "BYE|", "BYE|"}));
}

TEST_F(StationTest, LogoutRemovesTheRowAndShutdownSavesHandleAndStatus) {
    auto& a = lan->Add("PCA", "A");
    auto& b = lan->Add("PCB", "B");
    lan->Pump();
    ASSERT_EQ(Peer(a.station).RosterList().RowCount(), 2);
    b.station->CommitHandleAndStatus("Bee", cp932::Sjis("会議中"));
    lan->Pump();
    auto rows = Rows(Peer(a.station).RosterList());
    EXPECT_EQ(rows[1][RosterColumn::Handle], "Bee");
    EXPECT_EQ(rows[1][RosterColumn::Status], "会議中");
    b.station->Shutdown();
    lan->Pump();
    EXPECT_EQ(Peer(a.station).RosterList().RowCount(), 1);
    std::ifstream in(m_root / "PCB" / "palaverly.conf");
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_NE(content.str().find("HandleName=Bee"), std::string::npos);
    EXPECT_NE(content.str().find("Status=会議中"), std::string::npos);
}

TEST_F(StationTest, HandleFromTheSettingsFileIsCutToItsField) {
    // 11 kanji are 22 bytes: the handle must stop at 20 so it cannot run into the next field.
    auto& a = lan->Add("PCA", "漢漢漢漢漢漢漢漢漢漢漢");
    lan->Pump();
    EXPECT_EQ(a.station->Handle().size(), 20u);
    EXPECT_EQ(cp932::ToUtf8(Peer(a.station).RosterList().Text(0, 0)), "漢漢漢漢漢漢漢漢漢漢");
}

TEST_F(StationTest, ResumeRebuildsTheRosterAfterSuspendSignedOff) {
    auto& a = lan->Add("PCA", "A");
    auto& b = lan->Add("PCB", "B");
    lan->Pump();
    b.station->OnSuspend();
    lan->Pump();
    EXPECT_EQ(Peer(a.station).RosterList().RowCount(), 1);
    b.station->OnResume();
    lan->Pump();
    EXPECT_EQ(Peer(a.station).RosterList().RowCount(), 2);
    EXPECT_EQ(Peer(b.station).RosterList().RowCount(), 2);
}

TEST_F(StationTest, TwoStationsCutToOneComputerNameAreToldOnce) {
    const std::map<std::string, std::pair<std::string, std::string>> hosts = {
        {"lab1", {"lab-workstation1", "192168001011"}},
        {"lab2", {"lab-workstation2", "192168001012"}},
        {"PCC", {"PCC", "192168001013"}}};
    lan->adjust = [&](const std::string& computer, StationEnvironment& env) {
        auto [host, id] = hosts.at(computer);
        env.hostName = [host] { return host; };
        env.computerName = [host] { return host; };
        env.stationId = [id] { return id; };
    };
    auto& one = lan->Add("lab1", "One");
    auto& two = lan->Add("lab2", "Two");
    auto& c = lan->Add("PCC", "C");
    lan->Pump();
    ASSERT_EQ(one.station->ComputerName(), "lab-workstation");
    ASSERT_EQ(two.station->ComputerName(), "lab-workstation");
    auto expected = [](const std::string& address) {
        return "Palaverly|別の端末（" + address +
               "）も同じコンピュータ名「lab-workstation」を使っています。"
               "メッセージが混ざるので、どちらかのホスト名を変えてください。";
    };
    EXPECT_EQ(one.frontEnd.notices, (std::vector<std::string>{expected("192.168.1.12")}));
    EXPECT_EQ(two.frontEnd.notices, (std::vector<std::string>{expected("192.168.1.11")}));
    EXPECT_TRUE(c.frontEnd.notices.empty());
    // Once per run: later roll calls say nothing more.
    one.station->RefreshRoster();
    two.station->RefreshRoster();
    lan->Pump();
    EXPECT_EQ(one.frontEnd.notices.size(), 1u);
    EXPECT_EQ(two.frontEnd.notices.size(), 1u);
    EXPECT_TRUE(c.frontEnd.notices.empty());
}

TEST_F(StationTest, ShutdownAfterAnEarlyStopKeepsTheStoredTextsAndSendsNoBye) {
    lan->adjust = [](const std::string&, StationEnvironment& env) {
        env.hostName = [] { return std::string(); };
    };
    auto& a = lan->Add("PCA", "Keep", {"Status=会議中"}, false);
    EXPECT_EQ(a.station->Initialize(), -1);
    const auto conf = m_root / "PCA" / "palaverly.conf";
    std::ifstream in(conf);
    std::stringstream before;
    before << in.rdbuf();
    a.station->Shutdown();
    EXPECT_TRUE(lan->lan.Sent().empty()) << "neither roll call nor BYE";
    std::ifstream again(conf);
    std::stringstream after;
    after << again.rdbuf();
    EXPECT_EQ(after.str(), before.str());
    EXPECT_NE(after.str().find("HandleName=Keep"), std::string::npos);
    EXPECT_NE(after.str().find("Status=会議中"), std::string::npos);
}

TEST_F(StationTest, AnEmptyOwnHandleMarksNoRowAsOwn) {
    auto& a = lan->Add("PCA", "", {"Flg LoginLogoutCheck=1", "Color MyMessage=255"});
    auto& b = lan->Add("PCB", "B");
    lan->Pump();
    ASSERT_EQ(a.station->Handle(), "");
    Mark(a, {"PCB"});
    ASSERT_EQ(a.station->SendAction("hi"), CStationHub::SendResult::Sent);
    Mark(b, {"PCA"});
    ASSERT_EQ(b.station->SendAction("back"), CStationHub::SendResult::Sent);
    lan->Pump();
    const CMarkList& log = Peer(a.station).LogList();
    ASSERT_GE(log.RowCount(), 3); // login notices and the two messages
    for (int row = 0; row < log.RowCount(); ++row)
        EXPECT_NE(log.Colour(row), 255) << "row " << row;
}

TEST_F(StationTest, EitherPopupFlagBringsTheWindowUpForEveryMessageToThisStation) {
    auto& a = lan->Add("PCA", "A", {"Flg Popup(AllMsg)=1"});
    auto& b = lan->Add("PCB", "B", {"Flg Popup(ToYouMsg)=1"});
    auto& c = lan->Add("PCC", "C");
    auto& d = lan->Add("PCD", "D", {"Flg Popup(AllMsg)=1", "Flg Popup(ToYouMsg)=1"});
    lan->Pump();
    Mark(a, {"PCB", "PCC"});
    ASSERT_EQ(a.station->SendAction("to two"), CStationHub::SendResult::Sent); // SENDM
    lan->Pump();
    EXPECT_EQ(a.frontEnd.popups, 2) << "its own messages coming back";
    EXPECT_EQ(b.frontEnd.popups, 1);
    EXPECT_EQ(c.frontEnd.popups, 0) << "no flag";
    EXPECT_EQ(d.frontEnd.popups, 0) << "not addressed";
    Mark(c, {"PCB"});
    ASSERT_EQ(c.station->SendAction("to one"), CStationHub::SendResult::Sent); // SEND
    lan->Pump();
    EXPECT_EQ(b.frontEnd.popups, 2);
    EXPECT_EQ(a.frontEnd.popups, 2);
    EXPECT_EQ(d.frontEnd.popups, 0);
    Mark(d, {"PCD"});
    ASSERT_EQ(d.station->SendAction("to self"), CStationHub::SendResult::Sent);
    lan->Pump();
    EXPECT_EQ(d.frontEnd.popups, 1);
}

TEST_F(StationTest, ArrivalsAreReportedForOtherStationsOnlyAndBeforeThePopup) {
    auto& a = lan->Add("PCA", "A");
    auto& b = lan->Add("PCB", "B", {"Flg Popup(ToYouMsg)=1"});
    auto& c = lan->Add("PCC", "C");
    lan->Pump();
    Mark(a, {"PCB", "PCC"});
    ASSERT_EQ(a.station->SendAction("<b>hi</b> & bye"), CStationHub::SendResult::Sent);
    lan->Pump();
    EXPECT_TRUE(a.frontEnd.arrivals.empty()) << "its own messages coming back";
    EXPECT_EQ(b.frontEnd.arrivals,
              (std::vector<std::string>{"msgM|PCA|A|<b>hi</b> & bye", "popup"}));
    EXPECT_EQ(c.frontEnd.arrivals, (std::vector<std::string>{"msgM|PCA|A|<b>hi</b> & bye"}));

    // Alerts carry the notice the target logs; a silent one is not reported at all.
    c.frontEnd.arrivals.clear();
    Mark(a, {"PCB"});
    Mark(c, {"PCA"});
    c.station->BeepAction([] { return false; });
    lan->Pump();
    EXPECT_EQ(a.frontEnd.arrivals,
              (std::vector<std::string>{"alert|PCC|C|BEEP攻撃を受けています！！"}));
    EXPECT_TRUE(c.frontEnd.arrivals.empty());
    c.station->BeepAction([] { return true; });
    lan->Pump();
    EXPECT_EQ(a.frontEnd.arrivals.size(), 1u);
}

TEST_F(StationTest, BeepSoundWithoutAFileIsSilentAndBeepmRowsAreBroadcasts) {
    auto& a = lan->Add("PCA", "A", {"Flg UseBeepSound=1", "SoundFilePath="});
    auto& b = lan->Add("PCB", "B", {"Flg UseBeepSound=1", "SoundFilePath="});
    auto& c = lan->Add("PCC", "C");
    lan->Pump();
    Mark(a, {"PCB", "PCC"});
    a.station->BeepAction([] { return false; });
    lan->Pump();
    for (auto* t : {&a, &b}) {
        EXPECT_EQ(t->frontEnd.beeps, 0) << t->name;
        EXPECT_TRUE(t->frontEnd.sounds.empty()) << t->name;
    }
    EXPECT_EQ(c.frontEnd.beeps, 1);
    auto atA = Rows(Peer(a.station).LogList());
    auto atB = Rows(Peer(b.station).LogList());
    ASSERT_EQ(atA.size(), 2u);
    ASSERT_EQ(atB.size(), 1u);
    EXPECT_EQ(atA[0][3], "同報");
    EXPECT_EQ(atA[1][3], "同報");
    EXPECT_EQ(atB[0],
              (std::vector<std::string>{"B", "A", " 9:05", "同報", "BEEP攻撃を受けています！！"}));
}

TEST_F(StationTest, LogAutoLoadReloadsTodaysLogAtStartUp) {
    for (const char* name : {"PCA", "PCB"}) {
        std::filesystem::create_directories(m_root / name / "log");
        std::ofstream out(m_root / name / "log" / "CHAT1261208.LOG", std::ios::binary);
        out << " 8:15'00\tA\tB\t" << cp932::Sjis("個人") << "\tearlier today\r\n";
    }
    auto& a = lan->Add("PCA", "A", {"Flg LogAutoLoad=1"});
    auto& b = lan->Add("PCB", "B");
    auto rows = Rows(Peer(a.station).LogList());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"A", "B", " 8:15", "個人", "earlier today"}));
    EXPECT_EQ(Peer(b.station).LogList().RowCount(), 0);
}

TEST_F(StationTest, PlacementComesAfterTheTrayIconAndTheSettings) {
    auto& a =
        lan->Add("PCA", "A", {"Scroll Timming=40", "Info Msg01=welcome", "Flg ChatWindowReady=1"},
                 /*start=*/false);
    int scrollAtPlacement = 0;
    std::string tickerAtPlacement;
    a.frontEnd.onPlacement = [&] {
        scrollAtPlacement = a.station->Settings().Options().m_scrollTimming;
        tickerAtPlacement = a.station->TickerText();
    };
    ASSERT_EQ(a.station->Initialize(), 0);
    EXPECT_EQ(a.frontEnd.steps,
              (std::vector<std::string>{"AddTrayIcon", "RestorePlacement", "SetEditTexts",
                                        "StartTimers", "ToggleWindow", "Ready"}));
    // The settings were loaded when the placement came.
    EXPECT_EQ(scrollAtPlacement, 40);
    EXPECT_EQ(tickerAtPlacement, "welcome");
}

TEST_F(StationTest, WithoutAHostNameThePlacementIsStillRestored) {
    // The initialisation stops after the placement: the window keeps its saved place.
    auto& a = lan->Add("", "A", {}, /*start=*/false);
    EXPECT_EQ(a.station->Initialize(), -1);
    EXPECT_EQ(a.frontEnd.steps, (std::vector<std::string>{"AddTrayIcon", "RestorePlacement"}));
}

TEST_F(StationTest, UnansweredRollCallIsNoticedOnceAndANewNetworkRollsCall) {
    std::vector<InterfaceAddress> interfaces{{"eth0", 0x0A000001, true}};
    lan->adjust = [&](const std::string&, StationEnvironment& env) {
        env.firewall = [] { return Firewall::Ufw; };
        env.interfaces = [&] { return interfaces; };
    };
    // Started without a network, and nothing comes back: nothing to say.
    lan->lan.SetOffline(true);
    lan->lan.SetFaults({1.0, 0, 0, 1});
    auto& a = lan->Add("PCA", "A");
    EXPECT_EQ(a.frontEnd.wakeAfter, -1);
    // On the network, its own INFO comes back.
    lan->lan.SetOffline(false);
    lan->lan.SetFaults({});
    a.station->RefreshRoster();
    lan->Pump();
    lan->monotonicMs = 5000;
    a.station->RunTimers();
    EXPECT_TRUE(a.frontEnd.notices.empty());
    // The port is dropped: said 3 s after the roll call, and only once per run.
    lan->lan.SetFaults({1.0, 0, 0, 1});
    for (int round = 0; round < 2; ++round) {
        a.station->RefreshRoster();
        EXPECT_EQ(a.frontEnd.wakeAfter, round == 0 ? 3000 : -1);
        lan->monotonicMs += 2999;
        a.station->RunTimers();
        EXPECT_TRUE(a.frontEnd.notices.size() == static_cast<std::size_t>(round));
        lan->monotonicMs += 1;
        a.station->RunTimers();
        ASSERT_EQ(a.frontEnd.notices.size(), 1u);
    }
    EXPECT_EQ(a.frontEnd.notices[0].rfind("msg|UDP ポート 8000 ", 0), 0u);
    EXPECT_NE(a.frontEnd.notices[0].find("\nsudo ufw allow 8000/udp"), std::string::npos);

    // A new route and address: a roll call 1 s later; after a second gain, 10 s after the first.
    lan->lan.SetFaults({});
    interfaces = {{"eth0", 0x0A000001, false}, {"wlan0", 0x0A000063, true}};
    for (std::int64_t wait : {1000, 8000}) {
        const std::size_t from = lan->lan.Sent().size();
        lan->lan.GainRoute();
        a.station->OnNetworkChange();
        EXPECT_EQ(a.frontEnd.wakeAfter, 1000); // the address is read again in any case
        lan->monotonicMs += wait - 1;
        a.station->RunTimers();
        EXPECT_EQ(lan->lan.Sent().size(), from);
        lan->monotonicMs += 1;
        a.station->RunTimers();
        ASSERT_EQ(lan->lan.Sent().size(), from + 1);
        EXPECT_EQ(Word(SentSince(from)[0]), "MEMB");
        lan->Pump();
        lan->monotonicMs += 2000;
    }
    EXPECT_EQ(Rows(Peer(a.station).RosterList())[0][RosterColumn::Address], " 10.  0.  0. 99");
}

TEST_F(StationTest, HeadlessTextCommandsGoOutInShiftJisOrAreRefused) {
    lan->Add("PCB", "B");
    std::filesystem::create_directories(m_root / "PCA" / "log");
    int out[2];
    ASSERT_EQ(::pipe2(out, O_NONBLOCK | O_CLOEXEC), 0);
    CHeadlessStation headless(lan->Environment("PCA"), -1, out[1]);
    CStationHub& a = headless.Station();
    a.Initialize();
    // The headless hub is not on the fixture's list: its datagrams are taken in by hand.
    auto pump = [&] {
        char buffer[kDatagramSize];
        for (int round = 0; round < 4; ++round) {
            lan->Pump();
            auto* port = static_cast<CSimulatedPort*>(Peer(a).Port());
            while (port->TryReceive(buffer, kDatagramSize) == 0)
                a.Reception().AcceptRaw(buffer);
            headless.RunPending();
        }
    };
    auto printed = [&] {
        std::string text;
        char buffer[4096];
        for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<std::size_t>(n));
        return text;
    };
    pump();
    std::size_t from = lan->lan.Sent().size();
    for (const char* line : {"handle 鈴木", "status 外出中", "mark PCB", "send ソ連の表"})
        headless.Execute(line);
    pump();
    EXPECT_EQ(a.Handle(), cp932::Sjis("鈴木"));
    EXPECT_EQ(a.Status(), cp932::Sjis("外出中"));
    std::vector<std::string> texts;
    for (const Datagram& d : SentSince(from))
        if (Word(d) == "SEND")
            texts.push_back(ReadField(d, kSendTextOffset));
    EXPECT_EQ(texts, std::vector<std::string>{cp932::Sjis("ソ連の表")});
    EXPECT_EQ(printed().find("ERROR"), std::string::npos);

    // Nothing that Shift-JIS cannot hold goes out in a changed form.
    from = lan->lan.Sent().size();
    for (const char* line : {"send 😀", "handle 😀", "status a😀", "search 😀", "frobnicate x"})
        headless.Execute(line);
    EXPECT_TRUE(SentSince(from).empty());
    EXPECT_EQ(a.Handle(), cp932::Sjis("鈴木"));
    EXPECT_EQ(a.Status(), cp932::Sjis("外出中"));
    EXPECT_EQ(printed(), "ERROR\tcannot be sent in Shift-JIS: 😀\n"
                         "ERROR\tcannot be sent in Shift-JIS: 😀\n"
                         "ERROR\tcannot be sent in Shift-JIS: a😀\n"
                         "ERROR\tcannot be sent in Shift-JIS: 😀\n"
                         "ERROR\tunknown command frobnicate\n");
    a.Shutdown();
    ::close(out[0]);
    ::close(out[1]);
}
