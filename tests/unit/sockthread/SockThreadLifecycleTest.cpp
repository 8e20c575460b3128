// The worker thread: created suspended, started, paused mid-body, released and destroyed.

#include "LoopbackPeer.h"
#include "TestSupport.h"
#include "sockthread/CSockThread.h"

#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

using palaverly::test::EndsBodyFirst;
using palaverly::test::LoopbackPair;
using palaverly::test::ThreadState;
using palaverly::test::WaitUntil;
using palaverly::test::Writable;
constexpr unsigned int kInvalidSocket = CSockThread::kInvalidSocket;

namespace {

pid_t CurrentTid() {
    return static_cast<pid_t>(syscall(SYS_gettid));
}

// Runs a test-supplied function as its body. The body never allocates while it may be
// suspended: a thread stopped inside the allocator would stop the test with it.
class FunctionThread : public EndsBodyFirst<CSockThread> {
public:
    FunctionThread(unsigned int socket, std::function<int(FunctionThread&)> body)
        : EndsBodyFirst(nullptr, socket), m_body(std::move(body)) {}
    FunctionThread(const FunctionThread& other) : EndsBodyFirst(other), m_body(other.m_body) {}
    FunctionThread& operator=(const FunctionThread& other) {
        EndsBodyFirst::operator=(other);
        m_body = other.m_body;
        return *this;
    }
    ~FunctionThread() override { EndBody(); }

    char* ReadLine(char* buffer, int size) { return Recv(buffer, size); }

    std::atomic<pid_t> bodyTid{0};
    std::atomic<bool> bodyReturned{false};

protected:
    int Body() override {
        bodyTid = CurrentTid();
        const int result = m_body(*this);
        bodyReturned = true;
        return result;
    }

private:
    std::function<int(FunctionThread&)> m_body;
};

// Waits until the body has returned and the worker is done with the object: from then on the
// worker can no longer be resumed.
void WaitForBodyEnd(CSockThread& thread) {
    WaitUntil([&] { return thread.Start() == -1; });
}

TEST(SockThreadLifecycle, BodyRunsOnTheWorkerAfterStartAndLeavesItsStatus) {
    std::atomic<bool> ran{false};
    FunctionThread thread(kInvalidSocket, [&](FunctionThread&) {
        ran = true;
        return 7;
    });
    EXPECT_FALSE(ran.load());
    EXPECT_EQ(thread.Start(), 1) << "the worker was created suspended once";
    WaitForBodyEnd(thread);
    EXPECT_TRUE(ran.load());
    EXPECT_NE(thread.bodyTid.load(), CurrentTid());
    EXPECT_EQ(thread.LastStatus(), 7);
    EXPECT_EQ(thread.Pause(), -1) << "no thread to suspend once the body has returned";
}

TEST(SockThreadLifecycle, SuspendCountsBeforeTheFirstStart) {
    std::atomic<bool> ran{false};
    FunctionThread thread(kInvalidSocket, [&](FunctionThread&) {
        ran = true;
        return 3;
    });
    EXPECT_EQ(thread.Pause(), 1);
    EXPECT_EQ(thread.Pause(), 2);
    EXPECT_EQ(thread.Start(), 3);
    EXPECT_EQ(thread.Start(), 2);
    EXPECT_FALSE(ran.load()) << "still suspended once";
    EXPECT_EQ(thread.Start(), 1);
    WaitForBodyEnd(thread);
    EXPECT_TRUE(ran.load());
    EXPECT_EQ(thread.LastStatus(), 3);
}

TEST(SockThreadLifecycle, PausedBodyMakesNoProgressUntilStart) {
    std::atomic<long> counter{0};
    std::atomic<bool> stop{false};
    FunctionThread thread(kInvalidSocket, [&](FunctionThread&) {
        while (!stop.load(std::memory_order_relaxed))
            counter.fetch_add(1, std::memory_order_relaxed);
        return 7;
    });
    ASSERT_EQ(thread.Start(), 1);
    WaitUntil([&] { return counter.load() > 0; });

    EXPECT_EQ(thread.Pause(), 0);
    const long paused = counter.load();
    const pid_t tid = thread.bodyTid.load();
    // Pause returns once the worker has stopped; it falls asleep a few instructions later.
    WaitUntil([&] { return ThreadState(tid) == 'S'; });
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(counter.load(), paused) << "the body went on while paused";
        ASSERT_EQ(ThreadState(tid), 'S') << "the spinning body must be asleep";
    }
    EXPECT_EQ(thread.Pause(), 1);
    EXPECT_EQ(thread.Start(), 2);
    EXPECT_EQ(counter.load(), paused) << "one Start of two Pauses leaves it suspended";
    EXPECT_EQ(ThreadState(tid), 'S');

    EXPECT_EQ(thread.Start(), 1);
    WaitUntil([&] { return counter.load() > paused; });
    EXPECT_EQ(thread.Start(), 0) << "a running worker has nothing to resume";
    stop = true;
    WaitForBodyEnd(thread);
    EXPECT_EQ(thread.LastStatus(), 7);
}

TEST(SockThreadLifecycle, BodyCanPauseItself) {
    std::atomic<int> step{0};
    FunctionThread thread(kInvalidSocket, [&](FunctionThread& self) {
        step = 1;
        const int previous = self.Pause();
        step = 2;
        return previous + 40;
    });
    ASSERT_EQ(thread.Start(), 1);
    WaitUntil([&] { return step.load() == 1 && ThreadState(thread.bodyTid.load()) == 'S'; });
    EXPECT_EQ(step.load(), 1);
    EXPECT_EQ(thread.Start(), 1);
    WaitForBodyEnd(thread);
    EXPECT_EQ(step.load(), 2);
    EXPECT_EQ(thread.LastStatus(), 40);
}

TEST(SockThreadLifecycle, PauseInsideABlockingReceiveKeepsTheLine) {
    LoopbackPair pair;
    char line[32] = "";
    std::atomic<bool> inBody{false};
    FunctionThread thread(pair.ReleaseLocal(), [&](FunctionThread& self) {
        inBody = true;
        return self.ReadLine(line, sizeof line) != nullptr ? 1 : 0;
    });
    ASSERT_EQ(thread.Start(), 1);
    WaitUntil([&] { return inBody.load() && ThreadState(thread.bodyTid.load()) == 'S'; });
    ASSERT_EQ(thread.Pause(), 0);
    ASSERT_TRUE(pair.PeerSend("abc\n"));
    EXPECT_EQ(thread.Start(), 1);
    WaitForBodyEnd(thread);
    EXPECT_EQ(thread.LastStatus(), 1) << "the interrupted receive must be taken up again";
    EXPECT_STREQ(line, "abc\n");
}

TEST(SockThreadLifecycle, BodySuspendedInsideAnotherObjectsCallLeavesItUsable) {
    // The body keeps resuming another object; whenever it is paused, that object must still
    // answer at once rather than wait for a lock the paused body took.
    LoopbackPair pair;
    std::atomic<bool> inOther{false};
    FunctionThread other(pair.ReleaseLocal(), [&](FunctionThread& self) {
        inOther = true;
        char line[8];
        self.ReadLine(line, sizeof line);
        return 0;
    });
    ASSERT_EQ(other.Start(), 1);
    WaitUntil([&] { return inOther.load(); });
    std::atomic<bool> stop{false};
    std::atomic<long> calls{0};
    FunctionThread caller(kInvalidSocket, [&](FunctionThread&) {
        while (!stop.load()) {
            other.Start();
            calls.fetch_add(1);
        }
        return 0;
    });
    ASSERT_EQ(caller.Start(), 1);
    for (int round = 0; round < 200; ++round) {
        const long before = calls.load();
        WaitUntil([&] { return calls.load() > before; });
        ASSERT_EQ(caller.Pause(), 0);
        ASSERT_EQ(other.Pause(), 0);
        ASSERT_EQ(other.Start(), 1);
        ASSERT_EQ(caller.Start(), 1);
    }
    stop = true;
    WaitForBodyEnd(caller);
}

TEST(SockThreadLifecycle, ExitThreadReleasesTheThreadObjectButNotTheWorker) {
    LoopbackPair pair;
    char line[32] = "";
    std::atomic<bool> gotLine{false};
    auto* thread = new FunctionThread(pair.ReleaseLocal(), [&](FunctionThread& self) {
        gotLine = self.ReadLine(line, sizeof line) != nullptr;
        return 5;
    });
    ASSERT_EQ(thread->Start(), 1);
    EXPECT_EQ(thread->ExitThread(), 0);
    EXPECT_EQ(thread->ExitThread(), 0);
    EXPECT_EQ(thread->Pause(), -1);
    EXPECT_EQ(thread->Start(), -1);
    ASSERT_TRUE(pair.PeerSend("still here\n"));
    WaitUntil([&] { return thread->bodyReturned.load(); });
    EXPECT_TRUE(gotLine.load());
    EXPECT_STREQ(line, "still here\n");
    delete thread; // waits for the last steps of the worker on the object
}

TEST(SockThreadLifecycle, DestructorWakesAndWaitsForABodyBlockedOnTheSocket) {
    LoopbackPair pair;
    std::atomic<bool> inBody{false};
    std::atomic<int> outcome{-1};
    auto* thread = new FunctionThread(pair.ReleaseLocal(), [&](FunctionThread& self) {
        inBody = true;
        char line[16];
        outcome = self.ReadLine(line, sizeof line) == nullptr ? 0 : 1;
        return 0;
    });
    ASSERT_EQ(thread->Start(), 1);
    WaitUntil([&] { return inBody.load(); });
    delete thread;
    EXPECT_EQ(outcome.load(), 0) << "the body must have seen the connection end before the "
                                    "destructor returned";
    EXPECT_EQ(pair.PeerReadAll(), "") << "the peer sees the connection closed";
}

TEST(SockThreadLifecycle, DestructorLiftsASuspensionToLetTheBodyEnd) {
    LoopbackPair pair;
    std::atomic<bool> inBody{false};
    std::atomic<bool> finished{false};
    auto* thread = new FunctionThread(pair.ReleaseLocal(), [&](FunctionThread& self) {
        inBody = true;
        char line[16];
        self.ReadLine(line, sizeof line);
        finished = true;
        return 0;
    });
    ASSERT_EQ(thread->Start(), 1);
    WaitUntil([&] { return inBody.load(); });
    ASSERT_EQ(thread->Pause(), 0);
    ASSERT_EQ(thread->Pause(), 1);
    delete thread;
    EXPECT_TRUE(finished.load());
}

TEST(SockThreadLifecycle, NeverStartedBodyNeverRuns) {
    std::atomic<bool> ran{false};
    LoopbackPair pair;
    const int fd = pair.local;
    {
        FunctionThread thread(pair.ReleaseLocal(), [&](FunctionThread&) {
            ran = true;
            return 0;
        });
        EXPECT_EQ(thread.Pause(), 1);
    }
    EXPECT_EQ(fcntl(fd, F_GETFD), -1) << "the destructor closed the socket";
    EXPECT_EQ(pair.PeerReadAll(), "");
    EXPECT_FALSE(ran.load());
}

// A body that ends by destroying its own object.
class SelfDestroying : public CSockThread {
public:
    SelfDestroying() : CSockThread(nullptr, kInvalidSocket) {}

protected:
    int ThreadBody() override {
        delete this;
        return 7;
    }
};

TEST(SockThreadLifecycle, BodyMayDestroyItsOwnObject) {
    auto* thread = new SelfDestroying;
    // A copy shares the worker, and so can start it and see it end; the result belongs to an
    // object that is gone and must not be written anywhere.
    SelfDestroying watcher(*thread);
    ASSERT_EQ(watcher.Start(), 1);
    WaitForBodyEnd(watcher);
    EXPECT_EQ(watcher.LastStatus(), 0);
}

TEST(SockThreadCopy, CopiesShareTheWorkerAndTheConnection) {
    LoopbackPair pair;
    std::atomic<int> runs{0};
    FunctionThread original(pair.ReleaseLocal(), [&](FunctionThread&) { return ++runs; });
    {
        FunctionThread copy(original);
        EXPECT_EQ(copy.Pause(), 1) << "the copy sees the original's suspend count";
        EXPECT_EQ(original.Start(), 2);
        ASSERT_EQ(copy.Send(Writable("from copy\n"), 10), 0);
        ASSERT_EQ(original.Send(Writable("from original\n"), 14), 0);
        EXPECT_EQ(copy.Start(), 1);
        WaitForBodyEnd(original);
        EXPECT_EQ(original.LastStatus(), 1) << "the body runs on the object it was made for";
        EXPECT_EQ(copy.LastStatus(), 0);
    }
    EXPECT_EQ(runs.load(), 1);
    char line[32];
    ASSERT_NE(CSockThread::Recv(static_cast<unsigned int>(pair.peer), line, sizeof line), nullptr);
    EXPECT_STREQ(line, "from copy\n");
    ASSERT_NE(CSockThread::Recv(static_cast<unsigned int>(pair.peer), line, sizeof line), nullptr);
    EXPECT_STREQ(line, "from original\n");
    EXPECT_EQ(original.Send(Writable("late\n"), 5), -1)
        << "the copy's destruction ended the connection";
    EXPECT_EQ(original.CloseSocket(), 0) << "but left the original's descriptor to it";
}

TEST(SockThreadCopy, AssignmentClosesWhatTheTargetHeld) {
    LoopbackPair first;
    LoopbackPair second;
    const int firstFd = first.local;
    FunctionThread target(first.ReleaseLocal(), [](FunctionThread&) { return 1; });
    FunctionThread source(second.ReleaseLocal(), [](FunctionThread&) { return 2; });
    target = source;
    EXPECT_EQ(fcntl(firstFd, F_GETFD), -1) << "the old socket must not leak";
    EXPECT_EQ(first.PeerReadAll(), "");
    ASSERT_EQ(target.Send(Writable("via target\n"), 11), 0);
    char line[32];
    ASSERT_NE(CSockThread::Recv(static_cast<unsigned int>(second.peer), line, sizeof line),
              nullptr);
    EXPECT_STREQ(line, "via target\n");
    EXPECT_EQ(target.Start(), 1) << "the target now drives the source's worker";
    WaitForBodyEnd(source);
    EXPECT_EQ(source.LastStatus(), 2);
}

} // namespace
