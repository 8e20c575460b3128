#include "sys/CHandOver.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <gtest/gtest.h>
#include <latch>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using namespace palaverly;
using namespace std::chrono_literals;

namespace {
// Failure guard only: a correct run never comes near it.
constexpr auto kGuard = 20s;

// Waits (yielding, never sleeping) until `done` holds; false when the guard runs out.
template <typename Pred> bool WaitFor(Pred done) {
    const auto deadline = std::chrono::steady_clock::now() + kGuard;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

std::vector<int> DrainAll(CHandOver<int>& handOver, std::size_t max = 1000) {
    std::vector<int> got;
    handOver.Drain([&](int value) { got.push_back(value); }, max);
    return got;
}
} // namespace

TEST(HandOver, OneWakeUpPerBurstAndArrivalOrder) {
    int wakes = 0;
    CHandOver<int> handOver(16, [&] { ++wakes; });
    for (int i = 1; i <= 5; ++i)
        ASSERT_TRUE(handOver.Push(i));
    EXPECT_EQ(wakes, 1);
    EXPECT_EQ(DrainAll(handOver), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(wakes, 1);

    // The drain re-armed the wake-up: the next burst wakes once more.
    handOver.Push(6);
    handOver.Push(7);
    EXPECT_EQ(wakes, 2);
    EXPECT_EQ(DrainAll(handOver), (std::vector<int>{6, 7}));
    EXPECT_EQ(DrainAll(handOver), std::vector<int>{});
}

TEST(HandOver, PartialDrainWakesAgainForTheRest) {
    int wakes = 0;
    CHandOver<int> handOver(16, [&] { ++wakes; });
    for (int i = 1; i <= 5; ++i)
        handOver.Push(i);
    EXPECT_EQ(DrainAll(handOver, 2), (std::vector<int>{1, 2}));
    EXPECT_EQ(wakes, 2);
    handOver.Push(6); // a wake-up is pending already
    EXPECT_EQ(wakes, 2);
    EXPECT_EQ(DrainAll(handOver), (std::vector<int>{3, 4, 5, 6}));
    EXPECT_EQ(wakes, 2);
}

TEST(HandOver, CloseDropsQueuedItemsAndRefusesNewOnes) {
    CHandOver<std::shared_ptr<int>> handOver(8, [] {});
    auto item = std::make_shared<int>(1);
    std::weak_ptr<int> watch = item;
    handOver.Push(std::move(item));
    handOver.Push(std::make_shared<int>(2));
    handOver.Close();
    EXPECT_TRUE(watch.expired()); // dropped, not kept until destruction
    EXPECT_EQ(handOver.Size(), 0u);
    EXPECT_FALSE(handOver.Push(std::make_shared<int>(3)));
    int delivered = 0;
    EXPECT_EQ(handOver.Drain([&](std::shared_ptr<int>) { ++delivered; }), 0u);
    EXPECT_EQ(delivered, 0);
}

TEST(HandOver, ProducerWaitsWhileFullAndDrainMakesRoom) {
    CHandOver<int> handOver(2, [] {});
    handOver.Push(1);
    handOver.Push(2);
    auto pushed = std::async(std::launch::async, [&] { return handOver.Push(3); });
    ASSERT_TRUE(WaitFor([&] { return handOver.IsProducerWaiting(); }));
    EXPECT_EQ(handOver.Size(), 2u);
    EXPECT_EQ(DrainAll(handOver, 1), std::vector<int>{1});
    ASSERT_EQ(pushed.wait_for(kGuard), std::future_status::ready);
    EXPECT_TRUE(pushed.get());
    EXPECT_EQ(DrainAll(handOver), (std::vector<int>{2, 3}));
}

TEST(HandOver, CloseReleasesAWaitingProducer) {
    CHandOver<int> handOver(1, [] {});
    handOver.Push(1);
    auto pushed = std::async(std::launch::async, [&] { return handOver.Push(2); });
    ASSERT_TRUE(WaitFor([&] { return handOver.IsProducerWaiting(); }));
    handOver.Close();
    ASSERT_EQ(pushed.wait_for(kGuard), std::future_status::ready);
    EXPECT_FALSE(pushed.get());
    EXPECT_EQ(DrainAll(handOver), std::vector<int>{});
}

TEST(HandOver, CloseFromInsideADrainStopsDelivery) {
    CHandOver<int> handOver(16, [] {});
    for (int i = 1; i <= 5; ++i)
        handOver.Push(i);
    std::vector<int> got;
    auto count = handOver.Drain([&](int value) {
        got.push_back(value);
        if (value == 2)
            handOver.Close();
    });
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(got, (std::vector<int>{1, 2}));
}

TEST(HandOver, CloseFromAnotherThreadWaitsForTheDeliveryInProgress) {
    CHandOver<int> handOver(16, [] {});
    handOver.Push(1);
    handOver.Push(2);
    std::latch inside(1);
    std::atomic<bool> firstFinished{false};
    std::atomic<int> delivered{0};
    auto consumer = std::async(std::launch::async, [&] {
        return handOver.Drain([&](int) {
            ++delivered;
            inside.count_down();
            // Stay inside until Close has begun; Close must then wait for this to return.
            WaitFor([&] { return handOver.IsClosed(); });
            firstFinished = true;
        });
    });
    inside.wait();
    handOver.Close();
    EXPECT_TRUE(firstFinished);
    ASSERT_EQ(consumer.wait_for(kGuard), std::future_status::ready);
    EXPECT_EQ(consumer.get(), 1u);
    EXPECT_EQ(delivered, 1);
}

TEST(HandOver, ThreadedProducerDeliversEverythingInOrder) {
    // The wake-up hands a drain request to a consumer thread, as an event loop would.
    std::mutex mutex;
    std::condition_variable cv;
    int wakesPending = 0;
    int wakes = 0;
    CHandOver<int> handOver(16, [&] {
        std::lock_guard lock(mutex);
        ++wakesPending;
        ++wakes;
        cv.notify_one();
    });
    constexpr int kCount = 20000;
    std::vector<int> got;
    int drains = 0;
    std::thread consumer([&] {
        while (static_cast<int>(got.size()) < kCount) {
            {
                std::unique_lock lock(mutex);
                if (!cv.wait_for(lock, kGuard, [&] { return wakesPending > 0; })) {
                    lock.unlock();
                    handOver.Close(); // releases the producer so that the test fails, not hangs
                    return;
                }
                --wakesPending;
            }
            ++drains;
            handOver.Drain([&](int value) { got.push_back(value); }, 64);
        }
    });
    bool allPushed = true;
    for (int i = 0; i < kCount && allPushed; ++i)
        allPushed = handOver.Push(i);
    consumer.join();
    ASSERT_TRUE(allPushed);
    ASSERT_EQ(got.size(), static_cast<std::size_t>(kCount));
    for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(got[i], i);
    // Every wake-up but possibly a late last one was answered by a drain.
    EXPECT_GE(wakes, drains);
    EXPECT_LE(wakes, drains + 1);
}

TEST(HandOverBatch, ABatchIsOneWakeUpAndKeepsItsOrderAcrossDrains) {
    int wakes = 0;
    CHandOver<int> handOver(64, [&] { ++wakes; });
    ASSERT_TRUE(handOver.PushBatch({1, 2, 3}));
    ASSERT_TRUE(handOver.PushBatch({4, 5}));
    EXPECT_EQ(wakes, 1);
    // A drain that ends inside a batch leaves the rest first in line.
    EXPECT_EQ(DrainAll(handOver, 2), (std::vector<int>{1, 2}));
    EXPECT_EQ(wakes, 2);
    ASSERT_TRUE(handOver.PushBatch({6}));
    EXPECT_EQ(DrainAll(handOver), (std::vector<int>{3, 4, 5, 6}));
    EXPECT_TRUE(handOver.PushBatch({}));
    EXPECT_EQ(wakes, 2); // an empty batch wakes nobody
}

TEST(HandOverBatch, ASliceThatEndsEarlyPutsTheRestBackInOrder) {
    int wakes = 0;
    CHandOver<int> handOver(64, [&] { ++wakes; });
    handOver.PushBatch({1, 2, 3, 4, 5});
    std::vector<int> got;
    int asked = 0;
    // The slice runs out after the second item.
    const auto delivered =
        handOver.DrainWhile([&](int v) { got.push_back(v); }, [&] { return ++asked < 2; });
    EXPECT_EQ(delivered, 2u);
    EXPECT_EQ(got, (std::vector<int>{1, 2}));
    EXPECT_EQ(handOver.Size(), 3u);
    EXPECT_EQ(wakes, 2); // the rest is announced again
    handOver.PushBatch({6, 7});
    EXPECT_EQ(DrainAll(handOver), (std::vector<int>{3, 4, 5, 6, 7}));
}

TEST(HandOverBatch, CloseReleasesAProducerWaitingWithABatch) {
    CHandOver<int> handOver(2, [] {});
    handOver.PushBatch({1, 2});
    auto pushed = std::async(std::launch::async, [&] { return handOver.PushBatch({3, 4, 5}); });
    ASSERT_TRUE(WaitFor([&] { return handOver.IsProducerWaiting(); }));
    handOver.Close();
    ASSERT_EQ(pushed.wait_for(kGuard), std::future_status::ready);
    EXPECT_FALSE(pushed.get());
    EXPECT_EQ(DrainAll(handOver), std::vector<int>{});
}

TEST(HandOverBatch, CloseInsideABatchDeliversNothingMoreOfIt) {
    CHandOver<int> handOver(64, [] {});
    handOver.PushBatch({1, 2, 3, 4});
    std::vector<int> got;
    handOver.Drain([&](int v) {
        got.push_back(v);
        if (v == 2)
            handOver.Close();
    });
    EXPECT_EQ(got, (std::vector<int>{1, 2}));
    EXPECT_EQ(handOver.Size(), 0u); // the rest of the batch is dropped, not put back
}

TEST(HandOverBatch, ThreadedBatchesArriveWholeAndInOrder) {
    std::mutex mutex;
    std::condition_variable cv;
    int wakesPending = 0;
    CHandOver<int> handOver(128, [&] {
        std::lock_guard lock(mutex);
        ++wakesPending;
        cv.notify_one();
    });
    constexpr int kBatches = 2000;
    constexpr int kBatchSize = 37; // does not divide the drain size: drains end inside batches
    std::vector<int> got;
    std::thread consumer([&] {
        while (static_cast<int>(got.size()) < kBatches * kBatchSize) {
            {
                std::unique_lock lock(mutex);
                if (!cv.wait_for(lock, kGuard, [&] { return wakesPending > 0; })) {
                    lock.unlock();
                    handOver.Close();
                    return;
                }
                --wakesPending;
            }
            handOver.Drain([&](int value) { got.push_back(value); }, 50);
        }
    });
    bool allPushed = true;
    int next = 0;
    for (int b = 0; b < kBatches && allPushed; ++b) {
        std::vector<int> batch;
        for (int i = 0; i < kBatchSize; ++i)
            batch.push_back(next++);
        allPushed = handOver.PushBatch(std::move(batch));
    }
    consumer.join();
    ASSERT_TRUE(allPushed);
    ASSERT_EQ(got.size(), static_cast<std::size_t>(kBatches * kBatchSize));
    for (int i = 0; i < kBatches * kBatchSize; ++i)
        ASSERT_EQ(got[i], i);
}
