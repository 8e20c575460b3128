// Send, SendF, Recv and CloseSocket against real TCP peers on loopback.

#include "LoopbackPeer.h"
#include "TestSupport.h"
#include "sockthread/CSockThread.h"

#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/socket.h>
#include <thread>

using palaverly::test::LoopbackPair;
using palaverly::test::Writable;
constexpr unsigned int kInvalidSocket = CSockThread::kInvalidSocket;

namespace {

// A socket thread whose body is never started; the tests call its socket operations directly.
class IdleThread : public CSockThread {
public:
    explicit IdleThread(unsigned int socket) : CSockThread(nullptr, socket) {}
    unsigned int Socket() const { return CurrentSocket(); }

protected:
    int ThreadBody() override { return 0; }
};

struct RecvCase {
    const char* name;
    std::string sent;
    bool peerCloses;
    int size;
    const char* expected; // nullptr: Recv gives a null pointer
};

class RecvLine : public ::testing::TestWithParam<RecvCase> {};

TEST_P(RecvLine, FollowsTheLineRules) {
    const RecvCase& c = GetParam();
    LoopbackPair pair;
    ASSERT_TRUE(c.sent.empty() || pair.PeerSend(c.sent));
    if (c.peerCloses)
        pair.ClosePeer();
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    char* line = CSockThread::Recv(pair.Local(), buffer, c.size);
    if (c.expected == nullptr) {
        EXPECT_EQ(line, nullptr);
    } else {
        ASSERT_EQ(line, buffer);
        EXPECT_STREQ(line, c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(SockThread, RecvLine,
                         ::testing::Values(RecvCase{"LineWithFeed", "abc\n", false, 64, "abc\n"},
                                           RecvCase{"LineCutByClose", "abc", true, 64, "abc"},
                                           RecvCase{"CloseAtOnce", "", true, 64, nullptr},
                                           RecvCase{"SizeLimit", "abcdefgh\n", false, 5, "abcd"},
                                           RecvCase{"OnlyTheFirstLine", "ab\ncd\n", false, 64,
                                                    "ab\n"},
                                           RecvCase{"EmptyLine", "\n", false, 64, "\n"},
                                           RecvCase{"SizeTwo", "abc\n", false, 2, "a"},
                                           RecvCase{"NoRoomForAByte", "abc\n", false, 1, nullptr}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SockThreadRecv, SizeLimitLeavesTheRestUnread) {
    LoopbackPair pair;
    ASSERT_TRUE(pair.PeerSend("abcdefgh\n"));
    char buffer[64];
    ASSERT_NE(CSockThread::Recv(pair.Local(), buffer, 5), nullptr);
    EXPECT_STREQ(buffer, "abcd");
    ASSERT_NE(CSockThread::Recv(pair.Local(), buffer, sizeof buffer), nullptr);
    EXPECT_STREQ(buffer, "efgh\n");
}

TEST(SockThreadRecv, SocketErrorDiscardsTheLineButKeepsItsBytes) {
    LoopbackPair pair;
    ASSERT_TRUE(pair.PeerSend("ab"));
    // A zero linger time makes close() reset the connection.
    linger reset{1, 0};
    ASSERT_EQ(setsockopt(pair.peer, SOL_SOCKET, SO_LINGER, &reset, sizeof reset), 0);
    pair.ClosePeer();
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(CSockThread::Recv(pair.Local(), buffer, sizeof buffer), nullptr);
    EXPECT_STREQ(buffer, "ab");
}

TEST(SockThreadRecv, RefusesWhatItCannotUse) {
    char buffer[4] = "zzz";
    EXPECT_EQ(CSockThread::Recv(kInvalidSocket, buffer, sizeof buffer), nullptr);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(CSockThread::Recv(kInvalidSocket, nullptr, 16), nullptr);
    std::strcpy(buffer, "zzz");
    LoopbackPair pair;
    ASSERT_TRUE(pair.PeerSend("abc\n"));
    EXPECT_EQ(CSockThread::Recv(pair.Local(), buffer, 0), nullptr);
    EXPECT_EQ(CSockThread::Recv(pair.Local(), buffer, -3), nullptr);
    EXPECT_STREQ(buffer, "zzz") << "a size without room for the NUL must not be written to";
}

TEST(SockThreadSend, LengthZeroAndBadSocketsFail) {
    LoopbackPair pair;
    EXPECT_EQ(CSockThread::Send(pair.Local(), Writable("abc"), 0), -1);
    EXPECT_EQ(CSockThread::Send(pair.Local(), Writable("abc"), -1), -1);
    EXPECT_EQ(CSockThread::Send(kInvalidSocket, Writable("abc"), 3), -1);
    EXPECT_EQ(CSockThread::Send(pair.Local(), Writable("abc"), 3), 0);
    pair.CloseLocal();
    EXPECT_EQ(pair.PeerReadAll(), "abc");
}

TEST(SockThreadSend, SendsEverythingThroughPartialWrites) {
    LoopbackPair pair;
    // Much larger than the socket buffers, so send() returns short counts along the way.
    std::string data(8 * 1024 * 1024, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7 + i / 4096);
    std::string received;
    std::thread reader([&] { received = pair.PeerReadAll(); });
    const int result = CSockThread::Send(pair.Local(), data.data(), static_cast<int>(data.size()));
    pair.CloseLocal();
    reader.join();
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(received == data) << "received " << received.size() << " bytes";
}

TEST(SockThreadSend, PeerGoneGivesMinusOneNotSigpipe) {
    LoopbackPair pair;
    pair.ClosePeer();
    std::string block(64 * 1024, 'x');
    int result = 0;
    // The first sends may still be accepted by the kernel; the reset then fails a later one.
    for (int i = 0; i < 64 && result == 0; ++i)
        result = CSockThread::Send(pair.Local(), block.data(), static_cast<int>(block.size()));
    EXPECT_EQ(result, -1);
}

TEST(SockThreadSendF, SendsTheFormattedTextWithoutItsNul) {
    LoopbackPair pair;
    IdleThread thread(pair.ReleaseLocal());
    EXPECT_EQ(thread.SendF(Writable("%s=%d;%c\n"), "count", 42, 'z'), 0);
    EXPECT_EQ(thread.SendF(Writable("%s"), ""), -1)
        << "an empty text sends nothing and fails like Send";
    EXPECT_EQ(thread.CloseSocket(), 0);
    EXPECT_EQ(pair.PeerReadAll(), "count=42;z\n");
}

TEST(SockThreadSendF, RefusesATextLongerThanItsBuffer) {
    LoopbackPair pair;
    IdleThread thread(pair.ReleaseLocal());
    const std::string longest(16283, 'a');
    const std::string tooLong(16284, 'b');
    EXPECT_EQ(thread.SendF(Writable("%s"), tooLong.c_str()), -1);
    EXPECT_EQ(thread.SendF(Writable("%s%s"), longest.c_str(), "c"), -1);
    EXPECT_EQ(thread.SendF(Writable("%s"), longest.c_str()), 0);
    thread.CloseSocket();
    EXPECT_EQ(pair.PeerReadAll(), longest) << "a refused text must send nothing at all";
}

TEST(SockThreadCloseSocket, SecondCloseFails) {
    LoopbackPair pair;
    const int fd = pair.local;
    IdleThread thread(pair.ReleaseLocal());
    EXPECT_EQ(thread.CloseSocket(), 0);
    EXPECT_EQ(thread.Socket(), kInvalidSocket);
    EXPECT_EQ(fcntl(fd, F_GETFD), -1) << "the descriptor is closed";
    EXPECT_EQ(thread.CloseSocket(), -1);
    EXPECT_EQ(thread.Send(Writable("abc"), 3), -1);
    char buffer[8];
    EXPECT_EQ(thread.Recv(buffer, sizeof buffer), nullptr);
}

} // namespace
