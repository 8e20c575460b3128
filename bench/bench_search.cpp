// Search over a year of daily log files: 365 files of 1,000 lines (about 20 MB of mixed
// Japanese and ASCII text); next to it the bare read and split of the same files, so the
// figure shows what the matching itself adds. Figures only.
#include "station/CDailyLogFile.h"
#include "station/CLogSearch.h"
#include "text/Cp932.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace palaverly;
namespace fs = std::filesystem;

namespace {

struct CYearOfLogs {
    fs::path folder;
    explicit CYearOfLogs(int days, int lines) {
        folder = fs::temp_directory_path() / ("palaverly-bench-search-" + std::to_string(getpid()));
        fs::create_directories(folder);
        const std::string text = cp932::Sjis("会議の連絡はソファの部屋で、Lunch at noon ");
        for (int d = 0; d < days; ++d) {
            const LocalTime day{2025 + d / 336, d / 28 % 12 + 1, d % 28 + 1};
            std::ofstream out(folder / CDailyLogFile::FileNameFor(day), std::ios::binary);
            for (int i = 0; i < lines; ++i)
                out << " 9:05'07\tHanako\tTaro\t" << cp932::Sjis("個人") << "\t" << text << d << "-"
                    << i << "\r\n";
        }
    }
    ~CYearOfLogs() { fs::remove_all(folder); }
};

const CYearOfLogs& Year() {
    static CYearOfLogs year(365, 1000);
    return year;
}

void BM_SearchYear(benchmark::State& state, const std::string& needle) {
    const fs::path& folder = Year().folder;
    std::size_t hits = 0;
    for (auto _ : state) {
        hits = CLogSearch::Search(folder, needle).size();
        benchmark::DoNotOptimize(hits);
    }
    state.counters["hits"] = static_cast<double>(hits);
}

void BM_ReadYear(benchmark::State& state) {
    const fs::path& folder = Year().folder;
    for (auto _ : state)
        for (const LogFileEntry& file : CLogSearch::ListLogFiles(folder))
            benchmark::DoNotOptimize(CLogSearch::ReadLogLines(file.path));
}

} // namespace

BENCHMARK(BM_ReadYear)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchYear, rare_ascii, std::string("364-999"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchYear, no_hit_kanji, cp932::Sjis("議事録"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchYear, every_line_case, std::string("LUNCH"))
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
