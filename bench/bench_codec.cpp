// Cost of one Datagram through the codec: build + scramble on the way out, unscramble +
// recognise + field reads on the way in. Figures only; nothing here passes or fails.
#include "wire/Datagram.h"

#include <benchmark/benchmark.h>
#include <string>
#include <vector>

using namespace palaverly;

namespace {

struct Sample {
    const char* word;
    Payload payload;
};

const std::vector<Sample>& Samples() {
    static const std::vector<Sample> samples = [] {
        InfoFields info;
        info.stationId = "192168001010";
        info.computerName = "PC-SALES01";
        info.handleName = "Tanaka";
        info.status = "busy";
        info.loginTime = "09:05'07";
        const std::string text(120, 'm');
        return std::vector<Sample>{
            {"MEMB", Payload{}},
            {"INFO", MakeInfoPayload(info)},
            {"GETM", MakeStationPayload(info.stationId, info.computerName)},
            {"SETM", MakeSetmPayload(info.stationId, info.computerName, std::string(250, 'b'))},
            {"BYE", MakeStationPayload(info.stationId, info.computerName)},
            {"BEEP", MakeBeepPayload("PC-SALES01", "PC-DEV02", false)},
            {"BEEPM", MakeBeepPayload("PC-SALES01", "PC-DEV02", true)},
            {"SEND", MakeSendPayload("PC-SALES01", "PC-DEV02", text)},
            {"SENDM", MakeSendPayload("PC-SALES01", "PC-DEV02", text)},
            {"QUIT", MakeQuitPayload("PC-DEV02")},
        };
    }();
    return samples;
}

const LocalTime kTime{2026, 3, 14, 12, 34, 56, 789};

void SetLabel(benchmark::State& state) {
    state.SetLabel(Samples()[static_cast<std::size_t>(state.range(0))].word);
    state.SetItemsProcessed(state.iterations());
}

// Building the payload as the station does, then header and scrambling.
void BM_BuildAndScramble(benchmark::State& state) {
    const Sample& sample = Samples()[static_cast<std::size_t>(state.range(0))];
    int id = 0;
    for (auto _ : state) {
        Datagram d = BuildDatagram(++id, kTime, sample.word, sample.payload);
        Scramble(d);
        benchmark::DoNotOptimize(d);
    }
    SetLabel(state);
}

void BM_BuildPayload(benchmark::State& state) {
    InfoFields info;
    info.stationId = "192168001010";
    info.computerName = "PC-SALES01";
    info.handleName = "Tanaka";
    info.status = "busy";
    info.loginTime = "09:05'07";
    for (auto _ : state) {
        Payload p = MakeInfoPayload(info);
        benchmark::DoNotOptimize(p);
    }
    state.SetItemsProcessed(state.iterations());
}

// What the receive thread does with each datagram before dispatching it.
void BM_UnscrambleAndRecognize(benchmark::State& state) {
    const Sample& sample = Samples()[static_cast<std::size_t>(state.range(0))];
    Datagram wire = BuildDatagram(4711, kTime, sample.word, sample.payload);
    Scramble(wire);
    for (auto _ : state) {
        Datagram d = wire;
        Scramble(d);
        Command command = RecognizeCommand(d);
        bool broadcast = IsBroadcastKind(d);
        std::string id = DatagramId(d);
        benchmark::DoNotOptimize(command);
        benchmark::DoNotOptimize(broadcast);
        benchmark::DoNotOptimize(id);
    }
    SetLabel(state);
}

void BM_ReadInfo(benchmark::State& state) {
    const Datagram d = BuildDatagram(1, kTime, "INFO", Samples()[1].payload);
    for (auto _ : state) {
        InfoFields fields = ReadInfo(d);
        benchmark::DoNotOptimize(fields);
    }
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(BM_BuildAndScramble)->DenseRange(0, 9);
BENCHMARK(BM_BuildPayload);
BENCHMARK(BM_UnscrambleAndRecognize)->DenseRange(0, 9);
BENCHMARK(BM_ReadInfo);

BENCHMARK_MAIN();
