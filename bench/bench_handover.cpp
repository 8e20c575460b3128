// A burst of 255-byte datagrams through the hand-over from a producer thread to a consumer that
// drains on each wake-up, as the user-interface loop does. Figures only; nothing passes or fails.
#include "sys/CHandOver.h"

#include <array>
#include <benchmark/benchmark.h>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace palaverly;

namespace {

using Datagram = std::array<char, 255>;

void BM_HandOverBurst(benchmark::State& state) {
    const auto burst = static_cast<int>(state.range(0));
    const auto capacity = static_cast<std::size_t>(state.range(1));
    double wakesTotal = 0;
    for (auto _ : state) {
        std::mutex mutex;
        std::condition_variable cv;
        int wakes = 0;
        int served = 0;
        CHandOver<Datagram> handOver(capacity, [&] {
            std::lock_guard lock(mutex);
            ++wakes;
            cv.notify_one();
        });
        int received = 0;
        std::thread consumer([&] {
            while (received < burst) {
                {
                    std::unique_lock lock(mutex);
                    cv.wait(lock, [&] { return wakes > served; });
                    ++served;
                }
                handOver.Drain([&](Datagram&& d) {
                    benchmark::DoNotOptimize(d);
                    ++received;
                });
            }
        });
        Datagram datagram{};
        for (int i = 0; i < burst; ++i) {
            datagram[0] = static_cast<char>(i);
            handOver.Push(datagram);
        }
        consumer.join();
        wakesTotal += wakes;
    }
    state.SetItemsProcessed(state.iterations() * burst);
    state.counters["wakes/burst"] =
        benchmark::Counter(wakesTotal / static_cast<double>(state.iterations()));
}

} // namespace

BENCHMARK(BM_HandOverBurst)
    ->Args({1000, 1024})
    ->Args({1000, 16})
    ->Args({100000, 1024})
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
