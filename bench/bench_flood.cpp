// A station under a flood of messages (SEND) or bulletins (SETM), with a roster of a few
// members and with one that a host filled with 4,096 made-up stations: how much the squatted
// roster costs each datagram. Ends with the ratio of each pair.

#include "hub/CStationHub.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

using namespace palaverly;

namespace {

class CQuietFrontEnd : public IChatFrontEnd {
public:
    void Wake() override {}
    void Post(std::function<void()>) override {}
    void ShowNotice(const std::string&, const std::string&) override {}
    void PlaySound(const std::string&) override {}
    void Beep() override {}
};

LocalTime FixedTime() {
    return LocalTime{2026, 12, 8, 9, 5, 7, 0};
}

std::string Numbered(const char* prefix, int i) {
    char name[16];
    std::snprintf(name, sizeof name, "%s%05d", prefix, i);
    return name;
}

class CFloodedStation {
public:
    explicit CFloodedStation(int madeUpStations) {
        m_dir = std::filesystem::temp_directory_path() /
                ("palaverly-flood-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir);
        std::ofstream(m_dir / "palaverly.conf") << "Flg LogOutput=0\nFlg ChatServerMsgRecv=0\n";
        StationEnvironment env;
        env.settingsFile = m_dir / "palaverly.conf";
        env.clock = FixedTime;
        env.makePort = [](std::uint16_t, ErrorSink) { return std::unique_ptr<CDatagramPort>(); };
        env.hostName = [] { return std::string("PCA"); };
        env.userName = [] { return std::string("user"); };
        env.stationId = [] { return std::string("192168001010"); };
        env.measure = [](std::string_view t) { return static_cast<int>(t.size()) * 6; };
        env.receiveThread = false;
        m_station = std::make_unique<CStationHub>(m_frontEnd, std::move(env));
        m_station->Initialize();
        // The members that talk sort last, behind every made-up station.
        for (int i = 0; i < madeUpStations; ++i)
            Receive("INFO", MakeInfoPayload({"010000000001", Numbered("SQ", i), Numbered("h", i)}));
        for (int i = 0; i < 16; ++i)
            Receive("INFO",
                    MakeInfoPayload({"010000000002", Numbered("SV", i), Numbered("zz", i)}));
        Receive("INFO", MakeInfoPayload({"010000000003", "PCB", "zzz"}));
        for (int i = 0; i < 16; ++i)
            Receive("SETM", MakeSetmPayload("010000000002", Numbered("SV", i), "notice"));
    }
    ~CFloodedStation() {
        m_station.reset();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    void Receive(std::string_view word, const Payload& payload) {
        Datagram d = BuildDatagram(++m_id % 99999999, FixedTime(), word, payload);
        Scramble(d);
        m_station->Reception().AcceptRaw(d.bytes.data());
        m_station->DrainReceived();
    }

private:
    std::filesystem::path m_dir;
    CQuietFrontEnd m_frontEnd;
    std::unique_ptr<CStationHub> m_station;
    int m_id = 0;
};

void BM_SendFlood(benchmark::State& state) {
    CFloodedStation station(static_cast<int>(state.range(0)));
    const Payload payload = MakeSendPayload("PCB", "PCA", "hello");
    for (auto _ : state)
        station.Receive("SEND", payload);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SendFlood)->Arg(0)->Arg(4096);

void BM_SetmFlood(benchmark::State& state) {
    CFloodedStation station(static_cast<int>(state.range(0)));
    const Payload payload = MakeSetmPayload("010000000002", "SV00007", "changed");
    for (auto _ : state)
        station.Receive("SETM", payload);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SetmFlood)->Arg(0)->Arg(4096);

// Prints the usual table, then each squatted case's rate against its empty one.
class CRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto rate = run.counters.find("items_per_second");
            if (rate != run.counters.end())
                m_rates[run.benchmark_name()] = rate->second;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const char* name : {"BM_SendFlood", "BM_SetmFlood"}) {
            const double empty = m_rates[std::string(name) + "/0"];
            const double squatted = m_rates[std::string(name) + "/4096"];
            if (empty > 0)
                std::printf("%s: 4,096 made-up stations keep %.2f of the rate (%.0f/s of %.0f/s)\n",
                            name, squatted / empty, squatted, empty);
        }
    }

private:
    std::map<std::string, double> m_rates;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
