// Roster upserts, chat-log inserts and log reloads at sizes well beyond an office LAN.

#include "settings/CNoticeTemplates.h"
#include "settings/COptionValues.h"
#include "station/CChatLog.h"
#include "station/CDailyLogFile.h"
#include "station/CMemberRoster.h"
#include "table/CMarkList.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <malloc.h>
#include <string>
#include <vector>

using namespace palaverly;

namespace {

int ByteWidth(std::string_view text) {
    return static_cast<int>(text.size()) * 7;
}

LocalTime FixedTime() {
    return LocalTime{2026, 12, 8, 9, 5, 7, 0};
}

std::size_t HeapInUse() {
    return mallinfo2().uordblks;
}

std::string ComputerName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "PC%05d", i);
    return name;
}

// A roster already holding `stations` rows; each iteration refreshes one listed station with a
// changed status (a full rewrite), the most expensive INFO besides a new row.
void BM_UpsertMember(benchmark::State& state) {
    const int stations = static_cast<int>(state.range(0));
    COptionValues options;
    CNoticeTemplates templates;
    CDailyLogFile file(options, FixedTime(), FixedTime);
    CChatLog log(ByteWidth, options, file, FixedTime, [] { return std::string("Me"); });
    CMemberRoster roster(ByteWidth, log, options, templates, {});
    roster.SetupListColumns(15);
    for (int i = 0; i < stations; ++i)
        roster.UpsertMember("192168001010", "normal", ComputerName(i), "handle" + ComputerName(i),
                            "060R-003", "Not support", "09:00'00");
    int i = 0;
    bool away = false;
    for (auto _ : state) {
        const int n = i % stations;
        roster.UpsertMember("192168001010", away ? "away" : "normal", ComputerName(n),
                            "handle" + ComputerName(n), "060R-003", "Not support", "09:00'00");
        if (++i % stations == 0)
            away = !away;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_UpsertMember)->Arg(50)->Arg(1000);

// New stations arriving at a roster of `stations` rows (insert at the sorted place).
void BM_UpsertNewMember(benchmark::State& state) {
    const int stations = static_cast<int>(state.range(0));
    COptionValues options;
    CNoticeTemplates templates;
    CDailyLogFile file(options, FixedTime(), FixedTime);
    CChatLog log(ByteWidth, options, file, FixedTime, [] { return std::string("Me"); });
    CMemberRoster roster(ByteWidth, log, options, templates, {});
    roster.SetupListColumns(15);
    for (auto _ : state) {
        state.PauseTiming();
        roster.Clear();
        state.ResumeTiming();
        for (int i = 0; i < stations; ++i)
            roster.UpsertMember("192168001010", "normal", ComputerName(i),
                                "h" + ComputerName(stations - i), "060R-003", "Not support",
                                "09:00'00");
    }
    state.SetItemsProcessed(state.iterations() * stations);
}
BENCHMARK(BM_UpsertNewMember)->Arg(50)->Arg(1000)->Unit(benchmark::kMicrosecond);

// 100,000 chat-log rows (logging off): time per row and heap bytes per row.
void BM_AddLogRow(benchmark::State& state) {
    constexpr int kRows = 100000;
    COptionValues options;
    CDailyLogFile file(options, FixedTime(), FixedTime);
    double bytesPerRow = 0;
    for (auto _ : state) {
        CChatLog log(ByteWidth, options, file, FixedTime, [] { return std::string("Me"); });
        CMarkList& list = log.List();
        const std::size_t before = HeapInUse();
        for (int i = 0; i < kRows; ++i)
            log.AddLogRow("Hanako", i % 2 ? "Me" : "Taro", std::nullopt, "kind",
                          "a message of ordinary length, number " + std::to_string(i));
        bytesPerRow = static_cast<double>(HeapInUse() - before) / kRows;
        benchmark::DoNotOptimize(list.RowCount());
        state.PauseTiming();
        list.DeleteAllRows();
        state.ResumeTiming();
    }
    state.counters["heap_bytes_per_row"] = bytesPerRow;
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_AddLogRow)->Unit(benchmark::kMillisecond);

// Reload of a 100,000-line file; the view keeps the last 300.
void BM_ReloadLogFile(benchmark::State& state) {
    constexpr int kLines = 100000;
    std::string templ = (std::filesystem::temp_directory_path() / "bench-roster-XXXXXX").string();
    if (!mkdtemp(templ.data())) {
        state.SkipWithError("mkdtemp failed");
        return;
    }
    COptionValues options;
    options.m_logSavePath = templ;
    options.m_flgLogOutput = 0;
    CDailyLogFile file(options, FixedTime(), FixedTime);
    {
        std::string bytes;
        for (int i = 0; i < kLines; ++i)
            bytes += CDailyLogFile::FormatLine(FixedTime(), "Hanako", "Taro", "kind",
                                               "line " + std::to_string(i));
        FILE* f = std::fopen((templ + "/" + file.FileName()).c_str(), "wb");
        if (!f) {
            state.SkipWithError("cannot write the log file");
            return;
        }
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        state.counters["file_bytes"] = static_cast<double>(bytes.size());
    }
    CChatLog log(ByteWidth, options, file, FixedTime, [] { return std::string("Me"); });
    for (auto _ : state)
        benchmark::DoNotOptimize(log.OnReloadLog());
    state.counters["rows"] = log.List().RowCount();
    state.SetItemsProcessed(state.iterations() * kLines);
    std::filesystem::remove_all(templ);
}
BENCHMARK(BM_ReloadLogFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
