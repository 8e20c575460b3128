#pragma once
// The thread object behind a CSockThread: a detached POSIX thread that waits for its first
// start, runs CSockThread::Run once, and can be stopped and resumed by signals.

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <pthread.h>
#include <semaphore.h>
#include <signal.h>

class CSockThread;

namespace palaverly {

class CWorkerThread {
public:
    /// Creates the worker for `target`, suspended once. The result holds one reference for the
    /// caller; null when no thread could be created.
    static CWorkerThread* Create(CSockThread* target);

    /// The live worker whose body runs (or may still run) on `target`, with a reference for the
    /// caller, no longer to be found by this call; null when there is none.
    static CWorkerThread* TakeLive(const CSockThread* target);

    /// True on the worker that is running the body on `target` after that object was destroyed
    /// by its own body: its result must not be stored.
    static bool IsTargetGone(const CSockThread* target);

    void AddRef();
    void Release();

    int Resume();
    int Suspend();

    /// The owner is going away: a worker that never started ends without the body; a running
    /// body has `socket` shut down under it, its suspension lifted, and is waited for. On the
    /// worker itself nothing is waited for; the result is dropped instead.
    void Abandon(unsigned int socket);

    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

private:
    explicit CWorkerThread(CSockThread* target);
    ~CWorkerThread();

    static void ClaimSignals();
    static void* Main(void* self);
    static void OnSuspendSignal(int signal, siginfo_t* info, void* context);
    bool OnWorker() const;

    std::atomic<int> m_refs{1};
    CSockThread* const m_target;
    pthread_t m_thread{};

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_started = false;   // the first Resume let the worker run the body
    bool m_cancelled = false; // abandoned before it started
    bool m_bodyDone = false;  // no suspension is possible any more
    bool m_finished = false;  // the worker touches neither the target nor the registry again
    std::atomic<bool> m_targetGone{false};

    // Read by the signal handler, hence atomics and a semaphore (sem_post is signal-safe).
    std::atomic<int> m_suspendCount{1};
    std::atomic<bool> m_parked{false};
    sem_t m_parkedSem;
};

} // namespace palaverly
