// Reception in batches: the repetition rule across batch edges, drains in slices, the daily
// log lines of a drain, and the roster's limit against a flood of new stations.
#include "CStationHubTestPeer.h"
#include "StationFixture.h"
#include "station/Columns.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

using namespace palaverly;
using namespace palaverly::test;

namespace {

class ReceptionBatchTest : public CStationLanTest {
protected:
    // A SEND from PCX to PCA with datagram id `id`, scrambled as on the wire.
    static Datagram Send(int id, const std::string& text) {
        Datagram d = BuildDatagram(id, LocalTime{2026, 12, 8, 9, 5, 7, 0}, "SEND",
                                   MakeSendPayload("PCX", "PCA", text));
        Scramble(d);
        return d;
    }

    static std::vector<char> Batch(const std::vector<Datagram>& datagrams) {
        std::vector<char> bytes;
        for (const Datagram& d : datagrams)
            bytes.insert(bytes.end(), d.bytes.begin(), d.bytes.end());
        return bytes;
    }

    static bool Accept(CTestStation& t, const std::vector<Datagram>& datagrams) {
        std::vector<char> bytes = Batch(datagrams);
        return t.station->AcceptBatch(bytes.data(), datagrams.size());
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

TEST_F(ReceptionBatchTest, RepetitionRuleSeesEveryDatagramInOrderAcrossBatchEdges) {
    auto& a = lan->Add("PCA", "A");
    lan->Pump();
    const Datagram one = Send(11, "one"), two = Send(22, "two"), three = Send(33, "three");
    // Within a batch: the immediate repetition goes.
    ASSERT_TRUE(Accept(a, {one, one, two}));
    // Across the edge: the first of the next batch repeats the last of the one before.
    ASSERT_TRUE(Accept(a, {two, three}));
    // After another datagram a repetition is taken again, also as a batch of its own.
    ASSERT_TRUE(Accept(a, {one}));
    a.station->DrainReceived();
    EXPECT_EQ(Contents(a), (std::vector<std::string>{"one", "two", "three", "one"}));
}

TEST_F(ReceptionBatchTest, DrainsInSlicesKeepArrivalOrderAndWriteEveryLineOnce) {
    auto& a = lan->Add("PCA", "A", {"Flg LogOutput=1"});
    lan->Pump();
    std::vector<Datagram> batch;
    for (int i = 0; i < 10; ++i)
        batch.push_back(Send(100 + i, "m" + std::to_string(i)));
    ASSERT_TRUE(Accept(a, batch));
    const int wakesBefore = a.frontEnd.wakes;

    EXPECT_EQ(a.station->DrainReceived(3, [] { return true; }), 3u);
    EXPECT_EQ(a.frontEnd.wakes, wakesBefore + 1); // the rest asks for the next slice
    int asked = 0;
    EXPECT_EQ(a.station->DrainReceived(100, [&] { return ++asked < 2; }), 2u);
    EXPECT_EQ(a.station->DrainReceived(), 5u);

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
