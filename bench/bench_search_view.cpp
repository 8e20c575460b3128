// The log search window's hit list given a year of hits (365 days of 1,000 lines, every line a
// hit): the table model over the hit vector shown in a tree view, laid out and painted once,
// next to the same rows as one tree widget item each. Figures only; offscreen platform.
#include "desktop/CLogLineModel.h"
#include "qtsupport/QtText.h"
#include "text/Cp932.h"

#include <QApplication>
#include <QHeaderView>
#include <QTreeView>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

using namespace palaverly;

namespace {

std::vector<LogSearchHit> YearOfHits(std::size_t count) {
    std::vector<LogSearchHit> hits;
    hits.reserve(count);
    const std::string text = cp932::Sjis("会議の連絡はソファの部屋で、Lunch at noon ");
    for (std::size_t i = 0; i < count; ++i)
        hits.push_back({LocalTime{2026, static_cast<int>(i / 28000 % 12 + 1),
                                  static_cast<int>(i / 1000 % 28 + 1)},
                        "/logs/CHAT1261208.LOG", i % 1000,
                        LogFileLine{" 9:05'07", "Hanako", "Taro", cp932::Sjis("個人"),
                                    text + std::to_string(i)}});
    return hits;
}

template <typename View> void Configure(View& view) {
    view.resize(900, 500);
    view.setRootIsDecorated(false);
    view.setUniformRowHeights(true);
    view.header()->setStretchLastSection(true);
    view.header()->setSectionResizeMode(QHeaderView::ResizeToContents);
}

void BM_ModelOverHits(benchmark::State& state) {
    const std::vector<LogSearchHit> source = YearOfHits(static_cast<std::size_t>(state.range(0)));
    CLogLineModel model;
    QTreeView view;
    Configure(view);
    view.setModel(&model);
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<LogSearchHit> hits = source;
        model.Clear();
        state.ResumeTiming();
        model.SetRows(std::move(hits));
        benchmark::DoNotOptimize(view.grab());
    }
    state.counters["rows"] = static_cast<double>(model.rowCount());
}

void BM_ItemPerHit(benchmark::State& state) {
    const std::vector<LogSearchHit> source = YearOfHits(static_cast<std::size_t>(state.range(0)));
    QTreeWidget view;
    Configure(view);
    view.setHeaderLabels({"日付", "時刻", "送信者", "受信者", "種別", "内容"});
    for (auto _ : state) {
        state.PauseTiming();
        view.clear();
        state.ResumeTiming();
        QList<QTreeWidgetItem*> items;
        items.reserve(static_cast<qsizetype>(source.size()));
        for (const LogSearchHit& hit : source)
            items.append(new QTreeWidgetItem(
                {QString::fromStdString(CLogSearch::FormatDay(hit.day)), FromCp932(hit.line.time),
                 FromCp932(hit.line.sender), FromCp932(hit.line.receiver), FromCp932(hit.line.kind),
                 FromCp932(hit.line.content)}));
        view.addTopLevelItems(items);
        benchmark::DoNotOptimize(view.grab());
    }
    state.counters["rows"] = static_cast<double>(view.topLevelItemCount());
}

} // namespace

BENCHMARK(BM_ModelOverHits)->Arg(1000)->Arg(365000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ItemPerHit)->Arg(1000)->Arg(365000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
