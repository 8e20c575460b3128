// CUser: a socket thread on an accepted connection, with a lock shared with its owner.

#include "sockthread/CUser.h"

#include "LoopbackPeer.h"
#include "TestSupport.h"

#include <atomic>
#include <gtest/gtest.h>
#include <string>

using palaverly::test::EndsBodyFirst;
using palaverly::test::LoopbackPair;
using palaverly::test::WaitUntil;
using palaverly::test::Writable;

namespace {

void WaitForBodyEnd(CSockThread& thread) {
    WaitUntil([&] { return thread.Start() == -1; });
}

// Echoes lines until the peer closes; the result is the number of lines.
class EchoUser : public EndsBodyFirst<CUser> {
public:
    EchoUser(CUser* owner, unsigned int socket) : EndsBodyFirst(owner, 11, nullptr, socket, 22) {}
    ~EchoUser() override { EndBody(); }

    CUser* Owner() const { return m_owner; }
    int First() const { return m_firstValue; }
    int Second() const { return m_secondValue; }

protected:
    int Body() override {
        char line[128];
        int lines = 0;
        while (Recv(line, sizeof line) != nullptr) {
            if (SendF(Writable("echo: %s"), line) != 0)
                return -1;
            ++lines;
        }
        return lines;
    }
};

// Adds to a counter of its owner under the owner's lock.
class CountingUser : public EndsBodyFirst<CUser> {
public:
    static constexpr int kRounds = 20000;

    explicit CountingUser(CountingUser* owner)
        : EndsBodyFirst(owner, 0, nullptr, kInvalidSocket, 0) {}
    ~CountingUser() override { EndBody(); }

    long shared = 0; // guarded by the owner's lock

protected:
    int Body() override {
        auto* owner = static_cast<CountingUser*>(m_owner);
        for (int i = 0; i < kRounds; ++i) {
            owner->Lock();
            owner->Lock(); // the lock may be entered again by its holder
            const long value = owner->shared;
            owner->shared = value + 1;
            owner->Unlock();
            owner->Unlock();
        }
        return 0;
    }
};

TEST(CUser, EchoesLinesOnItsSocketUntilThePeerCloses) {
    LoopbackPair pair;
    EchoUser owner(nullptr, CSockThread::kInvalidSocket);
    EchoUser user(&owner, pair.ReleaseLocal());
    EXPECT_EQ(user.Owner(), &owner);
    EXPECT_EQ(user.First(), 11);
    EXPECT_EQ(user.Second(), 22);
    ASSERT_EQ(user.Start(), 1);
    ASSERT_TRUE(pair.PeerSend("one\ntwo\n"));
    char line[64];
    ASSERT_NE(CSockThread::Recv(static_cast<unsigned int>(pair.peer), line, sizeof line), nullptr);
    EXPECT_STREQ(line, "echo: one\n");
    ASSERT_NE(CSockThread::Recv(static_cast<unsigned int>(pair.peer), line, sizeof line), nullptr);
    EXPECT_STREQ(line, "echo: two\n");
    ::shutdown(pair.peer, SHUT_WR);
    WaitForBodyEnd(user);
    EXPECT_EQ(user.LastStatus(), 2);
}

TEST(CUser, LockKeepsTheOwnersDataWhole) {
    CountingUser owner(nullptr);
    CountingUser first(&owner);
    CountingUser second(&owner);
    ASSERT_EQ(first.Start(), 1);
    ASSERT_EQ(second.Start(), 1);
    WaitForBodyEnd(first);
    WaitForBodyEnd(second);
    EXPECT_EQ(owner.shared, 2L * CountingUser::kRounds);
}

TEST(CUser, DestroyingWaitsForABodyInsideTheLock) {
    LoopbackPair pair;
    std::atomic<bool> locked{false};
    std::atomic<bool> unlocked{false};
    class LockingUser : public EndsBodyFirst<CUser> {
    public:
        LockingUser(unsigned int socket, std::atomic<bool>& locked, std::atomic<bool>& unlocked)
            : EndsBodyFirst(nullptr, 0, nullptr, socket, 0), m_locked(locked),
              m_unlocked(unlocked) {}
        ~LockingUser() override { EndBody(); }

    protected:
        int Body() override {
            Lock();
            m_locked = true;
            char line[8];
            Recv(line, sizeof line); // ends when the connection is shut down
            Unlock();
            m_unlocked = true;
            return 0;
        }

    private:
        std::atomic<bool>& m_locked;
        std::atomic<bool>& m_unlocked;
    };
    auto* user = new LockingUser(pair.ReleaseLocal(), locked, unlocked);
    ASSERT_EQ(user->Start(), 1);
    WaitUntil([&] { return locked.load(); });
    // Destroying a lock that a thread holds is undefined: the body must have left it and
    // returned before the destructor goes on.
    delete user;
    EXPECT_TRUE(unlocked.load());
    EXPECT_EQ(pair.PeerReadAll(), "");
}

} // namespace
