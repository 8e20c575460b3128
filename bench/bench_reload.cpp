// Reload of a large daily log file: 100,000 lines (about 3.8 MB) into the chat log view, which
// keeps the last 300; next to it the full read of every line. Figures only.
#include "settings/COptionValues.h"
#include "station/CChatLog.h"
#include "station/CDailyLogFile.h"
#include "table/CMarkList.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace palaverly;
namespace fs = std::filesystem;

namespace {

constexpr LocalTime kToday{2026, 12, 8, 9, 5, 7, 0};

struct CLargeLog {
    fs::path folder;
    COptionValues options;
    CDailyLogFile file{options, kToday, [] { return kToday; }};

    explicit CLargeLog(int lines) {
        folder = fs::temp_directory_path() / ("palaverly-bench-reload-" + std::to_string(getpid()));
        fs::create_directories(folder);
        options.m_logSavePath = folder.string();
        std::ofstream out(folder / file.FileName(), std::ios::binary);
        for (int i = 0; i < lines; ++i)
            out << " 9:05'07\tHanako\tTaro\tkind\tline " << i << "\r\n";
    }
    ~CLargeLog() { fs::remove_all(folder); }
};

void BM_ReloadLargeLog(benchmark::State& state) {
    CLargeLog log(static_cast<int>(state.range(0)));
    CChatLog chat([](std::string_view t) { return static_cast<int>(t.size()) * 6; }, log.options,
                  log.file, [] { return kToday; }, [] { return std::string(); });
    CMarkList& list = chat.List();
    for (int c = 0; c < 5; ++c)
        list.InsertColumn("c", 50);
    for (auto _ : state) {
        chat.OnReloadLog();
        benchmark::DoNotOptimize(list.RowCount());
    }
    state.counters["rows"] = list.RowCount();
    state.counters["MB"] =
        static_cast<double>(fs::file_size(log.folder / log.file.FileName())) / 1e6;
}

void BM_ReadEveryLine(benchmark::State& state) {
    CLargeLog log(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto lines = log.file.ReadLines();
        benchmark::DoNotOptimize(lines);
    }
}

} // namespace

BENCHMARK(BM_ReloadLargeLog)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadEveryLine)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
