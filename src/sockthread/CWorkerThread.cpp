#include "CWorkerThread.h"

#include "CSockThread.h"

#include <cerrno>
#include <new>
#include <sys/socket.h>
#include <unistd.h>
#include <unordered_map>

namespace palaverly {

namespace {

constexpr int kMaxSuspendCount = 127;

// The two real-time signals claimed for suspension; 0 when none were free.
struct SuspendSignals {
    int suspend = 0;
    int resume = 0;
};
SuspendSignals g_signals;
pthread_once_t g_signalsOnce = PTHREAD_ONCE_INIT;

// Which worker's body runs on this thread (read outside signal handlers only).
thread_local CWorkerThread* t_current = nullptr;

// Objects whose body may still run, so that their destructors can wait for it even after
// ExitThread or an assignment dropped the thread object. Never destroyed: detached workers may
// finish after static destructors have run.
struct Registry {
    std::mutex mutex;
    std::unordered_map<const CSockThread*, CWorkerThread*> live;
};
Registry& TheRegistry() {
    static Registry* const registry = new Registry;
    return *registry;
}

bool IsUnclaimed(int signal) {
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0)
        return false;
    return (current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == SIG_DFL;
}

void OnResumeSignal(int) {}

// Keeps the calling thread from being suspended while it holds one of this file's locks, so
// that a suspended body never leaves another thread waiting on them.
class SuspensionDeferred {
public:
    SuspensionDeferred() {
        if (g_signals.suspend == 0)
            return;
        sigset_t suspend;
        sigemptyset(&suspend);
        sigaddset(&suspend, g_signals.suspend);
        m_active = pthread_sigmask(SIG_BLOCK, &suspend, &m_previous) == 0;
    }
    ~SuspensionDeferred() {
        if (m_active)
            pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }
    SuspensionDeferred(const SuspensionDeferred&) = delete;
    SuspensionDeferred& operator=(const SuspensionDeferred&) = delete;

private:
    sigset_t m_previous{};
    bool m_active = false;
};

} // namespace

void CWorkerThread::ClaimSignals() {
    // Taken from the top so as not to meet libraries that count up from SIGRTMIN.
    int found[2] = {0, 0};
    int count = 0;
    for (int signal = SIGRTMAX; signal >= SIGRTMIN && count < 2; --signal) {
        if (IsUnclaimed(signal))
            found[count++] = signal;
    }
    if (count < 2)
        return;

    struct sigaction resume {};
    resume.sa_handler = &OnResumeSignal;
    sigemptyset(&resume.sa_mask);
    resume.sa_flags = SA_RESTART;

    // The resume signal stays blocked inside the handler until sigsuspend() opens it, so a
    // resume sent between the count check and the wait is not lost.
    struct sigaction suspend {};
    suspend.sa_sigaction = &CWorkerThread::OnSuspendSignal;
    sigemptyset(&suspend.sa_mask);
    sigaddset(&suspend.sa_mask, found[1]);
    suspend.sa_flags = SA_SIGINFO | SA_RESTART;

    if (sigaction(found[1], &resume, nullptr) != 0)
        return;
    if (sigaction(found[0], &suspend, nullptr) != 0) {
        signal(found[1], SIG_DFL);
        return;
    }
    g_signals.suspend = found[0];
    g_signals.resume = found[1];
}

void CWorkerThread::OnSuspendSignal(int, siginfo_t* info, void*) {
    // Only async-signal-safe calls here: atomics, sem_post, sigsuspend.
    if (info == nullptr || info->si_code != SI_QUEUE || info->si_pid != getpid())
        return;
    auto* worker = static_cast<CWorkerThread*>(info->si_value.sival_ptr);
    if (worker == nullptr || worker->m_suspendCount.load() == 0)
        return; // resumed before the signal arrived
    const int savedErrno = errno;
    sigset_t onlyResume;
    sigfillset(&onlyResume);
    sigdelset(&onlyResume, g_signals.resume);
    worker->m_parked.store(true);
    sem_post(&worker->m_parkedSem);
    while (worker->m_suspendCount.load() > 0)
        sigsuspend(&onlyResume);
    worker->m_parked.store(false);
    errno = savedErrno;
}

CWorkerThread::CWorkerThread(CSockThread* target) : m_target(target) {
    sem_init(&m_parkedSem, 0, 0);
}

CWorkerThread::~CWorkerThread() {
    sem_destroy(&m_parkedSem);
}

CWorkerThread* CWorkerThread::Create(CSockThread* target) {
    pthread_once(&g_signalsOnce, &CWorkerThread::ClaimSignals);
    auto* worker = new (std::nothrow) CWorkerThread(target);
    if (worker == nullptr)
        return nullptr;
    worker->m_refs.store(3); // the caller, the thread itself, the registry

    Registry& registry = TheRegistry();
    CWorkerThread* stale = nullptr;
    {
        const SuspensionDeferred deferred;
        std::lock_guard lock(registry.mutex);
        auto [it, inserted] = registry.live.insert({target, worker});
        if (!inserted) {
            stale = it->second;
            it->second = worker;
        }
    }
    if (stale != nullptr)
        stale->Release();

    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    const int created = pthread_create(&worker->m_thread, &attributes, &Main, worker);
    pthread_attr_destroy(&attributes);
    if (created != 0) {
        {
            const SuspensionDeferred deferred;
            std::lock_guard lock(registry.mutex);
            auto it = registry.live.find(target);
            if (it != registry.live.end() && it->second == worker)
                registry.live.erase(it);
        }
        delete worker;
        return nullptr;
    }
    return worker;
}

CWorkerThread* CWorkerThread::TakeLive(const CSockThread* target) {
    Registry& registry = TheRegistry();
    const SuspensionDeferred deferred;
    std::lock_guard lock(registry.mutex);
    auto it = registry.live.find(target);
    if (it == registry.live.end())
        return nullptr;
    CWorkerThread* worker = it->second;
    registry.live.erase(it);
    return worker;
}

bool CWorkerThread::IsTargetGone(const CSockThread* target) {
    return t_current != nullptr && t_current->m_target == target && t_current->m_targetGone.load();
}

void CWorkerThread::AddRef() {
    m_refs.fetch_add(1, std::memory_order_relaxed);
}

void CWorkerThread::Release() {
    if (m_refs.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete this;
}

bool CWorkerThread::OnWorker() const {
    return pthread_equal(pthread_self(), m_thread) != 0;
}

void* CWorkerThread::Main(void* self) {
    auto* worker = static_cast<CWorkerThread*>(self);
    if (g_signals.suspend != 0) {
        // The creator's mask is inherited; suspension needs both signals open.
        sigset_t ours;
        sigemptyset(&ours);
        sigaddset(&ours, g_signals.suspend);
        sigaddset(&ours, g_signals.resume);
        pthread_sigmask(SIG_UNBLOCK, &ours, nullptr);
    }

    bool run = false;
    {
        std::unique_lock lock(worker->m_mutex);
        worker->m_changed.wait(lock, [worker] { return worker->m_started || worker->m_cancelled; });
        run = !worker->m_cancelled;
    }
    if (run) {
        t_current = worker;
        CSockThread::Run(worker->m_target);
        t_current = nullptr;
    }

    // From here on no suspend signal is sent, so none can stop this thread inside the
    // registry's lock below.
    {
        std::lock_guard lock(worker->m_mutex);
        worker->m_bodyDone = true;
    }
    CWorkerThread* registered = nullptr;
    {
        Registry& registry = TheRegistry();
        std::lock_guard lock(registry.mutex);
        auto it = registry.live.find(worker->m_target);
        if (it != registry.live.end() && it->second == worker) {
            registry.live.erase(it);
            registered = worker;
        }
    }
    if (registered != nullptr)
        registered->Release();
    {
        std::lock_guard lock(worker->m_mutex);
        worker->m_finished = true;
        worker->m_changed.notify_all();
    }
    worker->Release();
    return nullptr;
}

int CWorkerThread::Resume() {
    const SuspensionDeferred deferred;
    std::lock_guard lock(m_mutex);
    if (m_bodyDone || m_cancelled)
        return -1;
    const int previous = m_suspendCount.load();
    if (previous == 0)
        return 0;
    m_suspendCount.store(previous - 1);
    if (previous == 1) {
        if (!m_started) {
            m_started = true;
            m_changed.notify_all();
        } else if (g_signals.resume != 0) {
            pthread_kill(m_thread, g_signals.resume);
        }
    }
    return previous;
}

int CWorkerThread::Suspend() {
    sigval value{};
    value.sival_ptr = this;
    int previous = 0;
    {
        const SuspensionDeferred deferred;
        std::lock_guard lock(m_mutex);
        if (m_bodyDone || m_cancelled)
            return -1;
        previous = m_suspendCount.load();
        if (previous >= kMaxSuspendCount)
            return -1;
        if (!m_started || previous > 0) {
            m_suspendCount.store(previous + 1);
            return previous;
        }
        if (g_signals.suspend == 0)
            return -1;
        m_suspendCount.store(1);
        if (!OnWorker()) {
            if (pthread_sigqueue(m_thread, g_signals.suspend, value) != 0) {
                m_suspendCount.store(0);
                return -1;
            }
            // Holding the lock keeps the count above 0, so once parked the worker stays so.
            while (!m_parked.load())
                sem_wait(&m_parkedSem);
            return previous;
        }
    }
    // The worker suspends itself: the handler runs before pthread_sigqueue returns and holds
    // this thread until resumed, so the lock must be free for whoever resumes it.
    if (pthread_sigqueue(m_thread, g_signals.suspend, value) != 0) {
        const SuspensionDeferred deferred;
        std::lock_guard lock(m_mutex);
        if (m_suspendCount.load() > 0)
            m_suspendCount.fetch_sub(1);
        return -1;
    }
    return previous;
}

void CWorkerThread::Abandon(unsigned int socket) {
    if (OnWorker()) {
        m_targetGone.store(true);
        return;
    }
    {
        const SuspensionDeferred deferred;
        std::lock_guard lock(m_mutex);
        if (!m_started) {
            m_cancelled = true;
            m_changed.notify_all();
            return;
        }
        if (!m_bodyDone) {
            if (socket != CSockThread::kInvalidSocket)
                ::shutdown(static_cast<int>(socket), SHUT_RDWR);
            if (m_suspendCount.exchange(0) > 0 && g_signals.resume != 0)
                pthread_kill(m_thread, g_signals.resume);
        }
    }
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_finished; });
}

} // namespace palaverly
