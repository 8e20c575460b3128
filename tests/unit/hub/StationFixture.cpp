#include "StationFixture.h"

#include "CStationHubTestPeer.h"

#include <fstream>
#include <unistd.h>

namespace palaverly::test {

CTestStation& CStationLan::Add(const std::string& computer, const std::string& handleUtf8,
                               const std::vector<std::string>& settings, bool start) {
    auto t = std::make_unique<CTestStation>();
    t->name = computer;
    std::filesystem::path dir = m_root / computer;
    std::filesystem::create_directories(dir / "log");
    {
        std::ofstream out(dir / "palaverly.conf");
        out << "HandleName=" << handleUtf8 << "\n";
        out << "LogSavePath=" << (dir / "log").string() << "\n";
        for (const auto& line : settings)
            out << line << "\n";
    }
    t->station = std::make_unique<CStationHub>(t->frontEnd, Environment(computer));
    if (start)
        t->station->Initialize();
    m_stations.push_back(std::move(t));
    return *m_stations.back();
}

StationEnvironment CStationLan::Environment(const std::string& computer) {
    StationEnvironment env;
    env.settingsFile = m_root / computer / "palaverly.conf";
    env.clock = [this] { return now; };
    env.monotonic = [this] { return monotonicMs; };
    env.makePort = [this](std::uint16_t, ErrorSink) -> std::unique_ptr<CDatagramPort> {
        return lan.Attach();
    };
    env.hostName = [computer] { return computer; };
    env.computerName = [computer] { return computer; };
    env.userName = [] { return std::string("user"); };
    env.stationId = [] { return std::string("010000000001"); };
    env.measure = [](std::string_view text) { return static_cast<int>(text.size()) * 6; };
    env.receiveThread = false;
    if (adjust)
        adjust(computer, env);
    return env;
}

void CStationLan::Pump() {
    char buffer[kDatagramSize];
    for (bool busy = true; busy;) {
        busy = false;
        for (auto& t : m_stations) {
            // The station drops its port at shutdown.
            auto* port = static_cast<CSimulatedPort*>(Peer(t->station).Port());
            if (!port)
                continue;
            while (port->TryReceive(buffer, kDatagramSize) == 0) {
                t->station->Reception().AcceptRaw(buffer);
                t->station->DrainReceived();
                busy = true;
            }
            while (!t->frontEnd.posted.empty()) {
                auto task = std::move(t->frontEnd.posted.front());
                t->frontEnd.posted.pop_front();
                task();
                busy = true;
            }
        }
    }
}

std::vector<std::vector<std::string>> Rows(const CMarkList& list) {
    std::vector<std::vector<std::string>> rows;
    for (int r = 0; r < list.RowCount(); ++r) {
        std::vector<std::string> row;
        for (int c = 0; c < list.ColumnCount(); ++c)
            row.push_back(cp932::ToUtf8(list.Text(r, c)));
        rows.push_back(row);
    }
    return rows;
}

void CStationLanTest::SetUp() {
    m_root = std::filesystem::temp_directory_path() /
             ("palaverly-lan-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(m_root);
    std::filesystem::create_directories(m_root);
    lan = std::make_unique<CStationLan>(m_root);
}

void CStationLanTest::TearDown() {
    lan.reset();
    std::filesystem::remove_all(m_root);
}

} // namespace palaverly::test
