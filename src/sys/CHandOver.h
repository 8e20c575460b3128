#pragma once
// Hands items from the receive thread to the user-interface thread: a bounded queue that moves
// whole batches under one lock and wakes the consumer once per burst, so that a flood of
// datagrams costs one lock and one posted event per batch, not per datagram.

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <iterator>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace palaverly {

/// Bounded FIFO between one producer thread and one consumer thread (the one that drains).
///
/// The producer's Push calls the wake function (e.g. posts an event to the UI loop) only when
/// no wake-up is pending; the consumer clears the pending state when it starts a Drain. When
/// the queue is full the producer waits for room, so memory stays bounded and the kernel's
/// socket buffer takes the overflow. Close drops what is queued and releases the producer.
///
/// A Push that was under way when Close ran may still call the wake function, so the owner
/// must Close and join the producer thread before destroying the hand-over or its wake target.
template <typename T> class CHandOver {
public:
    using WakeFunction = std::function<void()>;

    /// `capacity` items at most are queued (at least 1); `wake` is called on the producer's
    /// thread (or at the end of a Drain that leaves items behind), never under the lock.
    CHandOver(std::size_t capacity, WakeFunction wake)
        : m_capacity(capacity > 0 ? capacity : 1), m_wake(std::move(wake)) {}
    ~CHandOver() { Close(); }
    CHandOver(const CHandOver&) = delete;
    CHandOver& operator=(const CHandOver&) = delete;

    /// Queues `item`, waiting while the queue is full. False (item dropped) once closed.
    bool Push(T item) {
        std::vector<T> one;
        one.push_back(std::move(item));
        return PushBatch(std::move(one));
    }

    /// Queues every item of `items` in order under one lock and with at most one wake-up,
    /// waiting while the queue is full; a batch may take the queue past its capacity by less
    /// than its own size, so the bound is capacity plus one batch. False (items dropped) once
    /// closed. An empty batch does nothing and returns true unless closed.
    bool PushBatch(std::vector<T> items) {
        bool wake = false;
        {
            std::unique_lock lock(m_mutex);
            ++m_waitingProducers;
            m_notFull.wait(lock, [&] { return m_closed || m_items.size() < m_capacity; });
            --m_waitingProducers;
            if (m_closed)
                return false;
            if (items.empty())
                return true;
            for (T& item : items)
                m_items.push_back(std::move(item));
            wake = !m_wakePending;
            m_wakePending = true;
        }
        if (wake && m_wake)
            m_wake();
        return true;
    }

    /// Consumer side: takes up to `max` items in arrival order under one lock and calls
    /// `fn(T&&)` for each, outside the lock. Stops as soon as the hand-over is closed, even by
    /// `fn` itself. Items left behind by `max` trigger a new wake-up. Returns how many were
    /// delivered.
    template <typename Fn>
    std::size_t Drain(Fn&& fn, std::size_t max = std::numeric_limits<std::size_t>::max()) {
        return DrainWhile(
            std::forward<Fn>(fn), [] { return true; }, max);
    }

    /// Drain that also asks `goOn()` after each delivery and stops when it says false (the
    /// consumer's time slice is used up); the items not delivered go back to the front of the
    /// queue, in order, and trigger a new wake-up.
    template <typename Fn, typename GoOn>
    std::size_t DrainWhile(Fn&& fn, GoOn&& goOn,
                           std::size_t max = std::numeric_limits<std::size_t>::max()) {
        std::vector<T> batch;
        {
            std::lock_guard lock(m_mutex);
            m_wakePending = false;
            if (!m_closed && max > 0) {
                const std::size_t n = std::min(max, m_items.size());
                batch.reserve(n);
                for (std::size_t i = 0; i < n; ++i) {
                    batch.push_back(std::move(m_items.front()));
                    m_items.pop_front();
                }
                if (n > 0) {
                    m_delivering = true;
                    m_drainingThread = std::this_thread::get_id();
                }
            }
        }
        std::size_t delivered = 0;
        if (!batch.empty()) {
            m_notFull.notify_all();
            CDeliveryGuard guard(*this);
            while (delivered < batch.size() && !m_closedFlag.load(std::memory_order_acquire)) {
                fn(std::move(batch[delivered]));
                ++delivered;
                if (delivered < batch.size() && !goOn())
                    break;
            }
            if (delivered < batch.size()) {
                std::lock_guard lock(m_mutex);
                if (!m_closed)
                    m_items.insert(m_items.begin(),
                                   std::make_move_iterator(batch.begin() +
                                                           static_cast<std::ptrdiff_t>(delivered)),
                                   std::make_move_iterator(batch.end()));
            }
        }
        bool wake = false;
        {
            std::lock_guard lock(m_mutex);
            if (!m_closed && !m_items.empty() && !m_wakePending) {
                wake = true;
                m_wakePending = true;
            }
        }
        if (wake && m_wake)
            m_wake();
        return delivered;
    }

    /// Marks the hand-over closed, drops every queued item and releases a waiting producer.
    /// When it returns, no item is being or will be handed to a Drain's function, except the
    /// one whose function is calling Close.
    void Close() {
        std::deque<T> dropped;
        {
            std::unique_lock lock(m_mutex);
            m_closed = true;
            m_closedFlag.store(true, std::memory_order_release);
            dropped.swap(m_items);
            m_notFull.notify_all();
            if (m_drainingThread != std::this_thread::get_id())
                m_idle.wait(lock, [&] { return !m_delivering; });
        }
        // `dropped` is destroyed here, outside the lock.
    }

    bool IsClosed() const {
        std::lock_guard lock(m_mutex);
        return m_closed;
    }

    std::size_t Size() const {
        std::lock_guard lock(m_mutex);
        return m_items.size();
    }

    /// True while a Push waits for room (for diagnostics and tests).
    bool IsProducerWaiting() const {
        std::lock_guard lock(m_mutex);
        return m_waitingProducers > 0;
    }

private:
    // Marks the end of one delivery, also when the function throws.
    class CDeliveryGuard {
    public:
        explicit CDeliveryGuard(CHandOver& owner) : m_owner(owner) {}
        ~CDeliveryGuard() {
            {
                std::lock_guard lock(m_owner.m_mutex);
                m_owner.m_delivering = false;
                m_owner.m_drainingThread = std::thread::id();
            }
            m_owner.m_idle.notify_all();
        }
        CDeliveryGuard(const CDeliveryGuard&) = delete;
        CDeliveryGuard& operator=(const CDeliveryGuard&) = delete;

    private:
        CHandOver& m_owner;
    };

    const std::size_t m_capacity;
    const WakeFunction m_wake;
    mutable std::mutex m_mutex;
    std::condition_variable m_notFull;
    std::condition_variable m_idle;
    std::deque<T> m_items;
    bool m_closed = false;
    std::atomic<bool> m_closedFlag{false}; // m_closed for the drain loop, read without the lock
    bool m_wakePending = false;
    bool m_delivering = false;
    int m_waitingProducers = 0;
    std::thread::id m_drainingThread;
};

} // namespace palaverly
