// Reception in batches: the repetition rule across batch edges, drains in slices and the stop
// of a waiting receive thread (CReception alone); the daily log lines of a drain, and the
// roster's limit against a flood of new stations (through the hub).
#include "CStationHubTestPeer.h"
#include "StationFixture.h"
#include "station/Columns.h"

#include <chrono>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>
#include <unistd.h>

using namespace palaverly;
using namespace palaverly::test;

namespace {

// A SEND from PCX to PCA with datagram id `id`, scrambled as on the wire.
Datagram Send(int id, const std::string& text) {
    Datagram d = BuildDatagram(id, LocalTime{2026, 12, 8, 9, 5, 7, 0}, "SEND",
                               MakeSendPayload("PCX", "PCA", text));
    Scramble(d);
    return d;
}

bool Feed(CReception& reception, const std::vector<Datagram>& datagrams) {
    std::vector<char> bytes;
    for (const Datagram& d : datagrams)
        bytes.insert(bytes.end(), d.bytes.begin(), d.bytes.end());
    return reception.AcceptBatch(bytes.data(), datagrams.size());
}

// A reception without a hub: it records "text|reception time" of what it dispatches, and its
// clock moves on by a minute at every reading.
struct CRecordedReception {
    explicit CRecordedReception(std::size_t capacity = 16)
        : reception(
              [this](const Datagram& d, const std::string& time) {
                  texts.push_back(ReadAddressed(d).text + "|" + time);
              },
              [this] { return LocalTime{2026, 12, 8, 9, minute++, 0, 0}; }, capacity,
              [this] { ++wakes; }) {}
    int minute = 5, wakes = 0;
    std::vector<std::string> texts;
    CReception reception;
};

TEST(Reception, RepetitionRuleSeesEveryDatagramInOrderWithOneReceptionTimePerBatch) {
    CRecordedReception r;
    const Datagram one = Send(11, "one"), two = Send(22, "two"), three = Send(33, "three");
    // The last id starts as eight zero bytes, as at Windows stations.
    Datagram zero = Send(44, "zero");
    Scramble(zero);
    std::fill_n(zero.bytes.begin() + kIdOffset, kIdSize, '\0');
    Scramble(zero);
    ASSERT_TRUE(Feed(r.reception, {zero}));
    // Within a batch: the immediate repetition goes.
    ASSERT_TRUE(Feed(r.reception, {one, one, two}));
    // Across the edge: the first of the next batch repeats the last of the one before.
    ASSERT_TRUE(Feed(r.reception, {two, three}));
    // After another datagram a repetition is taken again, also as a batch of its own.
    ASSERT_TRUE(Feed(r.reception, {zero}));
    ASSERT_TRUE(Feed(r.reception, {one}));
    EXPECT_EQ(r.wakes, 1); // one wake-up for the whole burst
    r.reception.DrainReceived();
    EXPECT_EQ(r.texts, (std::vector<std::string>{"one| 9:05", "two| 9:05", "three| 9:06",
                                                 "zero| 9:07", "one| 9:08"}));
}

TEST(Reception, DrainsInSlicesKeepArrivalOrderAndAskForTheRest) {
    CRecordedReception r;
    std::vector<Datagram> batch;
    std::vector<std::string> expected;
    for (int i = 0; i < 10; ++i) {
        batch.push_back(Send(100 + i, "m" + std::to_string(i)));
        expected.push_back("m" + std::to_string(i) + "| 9:05");
    }
    ASSERT_TRUE(Feed(r.reception, batch));
    const int wakesBefore = r.wakes;
    EXPECT_EQ(r.reception.DrainReceived(3, [] { return true; }), 3u);
    EXPECT_EQ(r.wakes, wakesBefore + 1); // the rest asks for the next slice
    int asked = 0;
    EXPECT_EQ(r.reception.DrainReceived(100, [&] { return ++asked < 2; }), 2u);
    EXPECT_EQ(r.reception.DrainReceived(), 5u);
    EXPECT_EQ(r.texts, expected);
}

TEST(Reception, StopReleasesAReceiveThreadWaitingForRoomAndDispatchesNothingQueued) {
    CSimulatedLan lan;
    auto sender = lan.Attach();
    auto port = lan.Attach();
    CRecordedReception r(2);
    r.reception.Start(*port);
    // Taken one at a time, the third finds the hand-over full; nobody drains.
    for (int i = 0; i < 13; ++i) {
        const Datagram d = Send(i + 1, "x");
        sender->Send(d.bytes.data(), kDatagramSize);
        while (i < 3 && port->Pending() > 0)
            std::this_thread::yield();
    }
    auto done = std::async(std::launch::async, [&] { r.reception.StopReception(); });
    ASSERT_EQ(done.wait_for(std::chrono::seconds(30)), std::future_status::ready)
        << "stop deadlocked";
    EXPECT_EQ(r.reception.DrainReceived(), 0u);
    EXPECT_EQ(r.texts, std::vector<std::string>{});
}

class ReceptionBatchTest : public CStationLanTest {
protected:
    static bool Accept(CTestStation& t, const std::vector<Datagram>& datagrams) {
        return Feed(t.station->Reception(), datagrams);
    }

    static std::vector<std::string> Contents(CTestStation& t) {
        std::vector<std::string> out;
        const CMarkList& log = Peer(t.station).LogList();
        for (int r = 0; r < log.RowCount(); ++r)
            out.push_back(log.Text(r, LogColumn::Content));
        return out;
    }

    std::string ReadLog(const std::string& computer) {
        std::ifstream in(m_root / computer / "log" / "CHAT1261208.LOG", std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

TEST_F(ReceptionBatchTest, DrainsInSlicesWriteEveryLineOnce) {
    auto& a = lan->Add("PCA", "A", {"Flg LogOutput=1"});
    lan->Pump();
    std::vector<Datagram> batch;
    for (int i = 0; i < 10; ++i)
        batch.push_back(Send(100 + i, "m" + std::to_string(i)));
    ASSERT_TRUE(Accept(a, batch));
    const int wakesBefore = a.frontEnd.wakes;
    EXPECT_EQ(a.station->DrainReceived(3, [] { return true; }), 3u);
    EXPECT_EQ(a.frontEnd.wakes, wakesBefore + 1); // the front end is asked for the rest
    EXPECT_EQ(a.station->DrainReceived(), 7u);

    std::vector<std::string> expectedContents;
    std::string expectedFile;
    for (int i = 0; i < 10; ++i) {
        expectedContents.push_back("m" + std::to_string(i));
        // Receiver's handle, no handle for the unlisted sender, the kind, the text; CR LF.
        expectedFile +=
            " 9:05'07\tA\t\t" + cp932::Sjis("個人") + "\tm" + std::to_string(i) + "\r\n";
    }
    EXPECT_EQ(Contents(a), expectedContents);
    EXPECT_EQ(ReadLog("PCA"), expectedFile);
}

TEST_F(ReceptionBatchTest, NothingIsDispatchedOnceTheHandOverIsClosed) {
    auto& a = lan->Add("PCA", "A");
    lan->Pump();
    ASSERT_TRUE(Accept(a, {Send(1, "before")}));
    a.station->Shutdown();
    EXPECT_FALSE(Accept(a, {Send(2, "after")}));
    EXPECT_EQ(a.station->DrainReceived(), 0u);
    EXPECT_EQ(Contents(a), std::vector<std::string>{});
}

TEST_F(ReceptionBatchTest, FullRosterRefusesNewStationsWithOneNotice) {
    auto& a = lan->Add("PCA", "A");
    lan->Pump();
    const CMarkList& roster = Peer(a.station).RosterList();
    ASSERT_EQ(roster.RowCount(), 1); // the station itself
    std::vector<Datagram> infos;
    for (int i = 0; i < CMemberRoster::kMemberLimit + 10; ++i) {
        InfoFields f;
        f.stationId = "010000000002";
        f.computerName = "H" + std::to_string(i);
        f.handleName = "h" + std::to_string(i);
        Datagram d = BuildDatagram(1000 + i, lan->now, "INFO", MakeInfoPayload(f).data());
        Scramble(d);
        infos.push_back(d);
    }
    ASSERT_TRUE(Accept(a, infos));
    while (a.station->DrainReceived() > 0) {
    }
    EXPECT_EQ(roster.RowCount(), CMemberRoster::kMemberLimit);
    int full = 0;
    for (const std::string& n : a.frontEnd.notices)
        full += n.find("上限") != std::string::npos ? 1 : 0;
    EXPECT_EQ(full, 1);
    // A listed station is still refreshed, and a station that leaves makes room again.
    InfoFields changed;
    changed.stationId = "010000000002";
    changed.computerName = "H5";
    changed.handleName = "renamed";
    Datagram refresh = BuildDatagram(9001, lan->now, "INFO", MakeInfoPayload(changed).data());
    Datagram bye =
        BuildDatagram(9002, lan->now, "BYE", MakeStationPayload("010000000002", "H6").data());
    Datagram late = infos.back(); // refused before
    Scramble(refresh);
    Scramble(bye);
    ASSERT_TRUE(Accept(a, {refresh, bye, late}));
    a.station->DrainReceived();
    EXPECT_EQ(roster.RowCount(), CMemberRoster::kMemberLimit);
    EXPECT_EQ(Peer(a.station).Roster().FindHandleByComputerName("H5"), "renamed");
    EXPECT_EQ(Peer(a.station).Roster().FindHandleByComputerName("H6"), "");
    EXPECT_EQ(Peer(a.station).Roster().FindHandleByComputerName(
                  "H" + std::to_string(CMemberRoster::kMemberLimit + 9)),
              "h" + std::to_string(CMemberRoster::kMemberLimit + 9));
}

} // namespace
