// Every datagram here goes to 127.0.0.1 only.
#include "wire/CBroadcastPort.h"
#include "wire/Datagram.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace palaverly;

namespace {

constexpr auto kGuard = std::chrono::seconds(20); // only a failure guard, never a wait

struct Report {
    std::string caption;
    std::string text;
    bool operator==(const Report&) const = default;
};

// Collects what a port reports through its sink.
struct Sink {
    std::vector<Report> reports;
    ErrorSink Get() {
        return [this](const std::string& caption, const std::string& text) {
            reports.push_back({caption, text});
        };
    }
};

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// A plain UDP socket, closed with the object.
class CUdpSocket {
public:
    CUdpSocket() : m_fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
    ~CUdpSocket() {
        if (m_fd >= 0)
            close(m_fd);
    }
    CUdpSocket(const CUdpSocket&) = delete;
    CUdpSocket& operator=(const CUdpSocket&) = delete;

    // Binds to INADDR_ANY:port (0 = any free port) and gives the port bound.
    std::uint16_t BindAny(std::uint16_t port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        address.sin_port = htons(port);
        if (bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            return 0;
        socklen_t length = sizeof address;
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        return ntohs(address.sin_port);
    }

    bool SendTo(std::uint16_t port, const std::string& bytes) {
        const sockaddr_in to = Loopback(port);
        return sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                      sizeof to) == static_cast<ssize_t>(bytes.size());
    }

private:
    int m_fd;
};

// A port number that nothing is bound to right now.
std::uint16_t FreePort() {
    CUdpSocket probe;
    return probe.BindAny(0);
}

std::unique_ptr<CBroadcastPort> LoopbackPort(std::uint16_t port, Sink& sink) {
    return std::make_unique<CBroadcastPort>(port, sink.Get(), INADDR_LOOPBACK);
}

std::string Pattern(std::size_t size, char seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(seed + i * 7);
    return bytes;
}

// The system call a thread is blocked in, from /proc; -1 when it cannot be told.
long CurrentSyscall(pid_t tid) {
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/syscall");
    long number = -1;
    if (!(in >> number))
        return -1;
    return number;
}

bool InPoll(pid_t tid) {
    const long number = CurrentSyscall(tid);
#ifdef SYS_poll
    if (number == SYS_poll)
        return true;
#endif
    return number == SYS_ppoll;
}

// Runs `work` on its own thread and tells when it has finished.
class CWatchedThread {
public:
    explicit CWatchedThread(std::function<void()> work)
        : m_thread([this, work = std::move(work)] {
              m_tid.store(static_cast<pid_t>(syscall(SYS_gettid)));
              work();
              std::lock_guard lock(m_mutex);
              m_done = true;
              m_cv.notify_all();
          }) {}

    ~CWatchedThread() {
        if (m_thread.joinable())
            m_thread.join();
    }

    // Waits for the thread to block in poll(); false when it never does.
    bool WaitUntilBlockedInPoll() {
        const auto deadline = std::chrono::steady_clock::now() + kGuard;
        while (std::chrono::steady_clock::now() < deadline) {
            const pid_t tid = m_tid.load();
            if (tid != 0 && InPoll(tid))
                return true;
            std::this_thread::yield();
        }
        return false;
    }

    // Joins the thread; a thread that hangs ends the whole test program, as it cannot be joined.
    void JoinOrDie(const char* what) {
        std::unique_lock lock(m_mutex);
        if (!m_cv.wait_for(lock, kGuard, [this] { return m_done; })) {
            std::fprintf(stderr, "FATAL: %s did not finish\n", what);
            std::fflush(nullptr);
            std::_Exit(1);
        }
        lock.unlock();
        m_thread.join();
    }

private:
    std::atomic<pid_t> m_tid{0};
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_done = false;
    std::thread m_thread;
};

} // namespace

TEST(ChatPort, IsEightThousandPlusTheArgumentInSixteenBits) {
    struct Case {
        const char* argument;
        std::uint16_t port;
    } cases[] = {
        {nullptr, 8000}, {"", 8000},   {"abc", 8000},   {"5", 8005},
        {"-1", 7999},    {"12", 8012}, {"65539", 8003}, {" 7", 8007},
        {"37x", 8037},   {"-8000", 0}, {"57536", 0},    {"99999999999999999999999", 7999},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChatPort(c.argument), c.port) << (c.argument ? c.argument : "(none)");
}

TEST(BroadcastPort, HearsItsOwnBroadcast) {
    Sink sink;
    auto port = LoopbackPort(FreePort(), sink);
    EXPECT_TRUE(sink.reports.empty());
    ASSERT_TRUE(port->CanReceive());

    Datagram sent = BuildDatagram(123, LocalTime{}, "MEMB", nullptr);
    Scramble(sent);
    ASSERT_EQ(port->Send(sent.bytes.data(), kDatagramSize), 0);

    Datagram received;
    ASSERT_EQ(port->Receive(received.bytes.data(), kDatagramSize), 0);
    EXPECT_EQ(received.bytes, sent.bytes);
    Scramble(received);
    EXPECT_EQ(RecognizeCommand(received), Command::Memb);
}

TEST(BroadcastPort, DropsDatagramsOfAnyOtherLength) {
    Sink sink;
    const std::uint16_t number = FreePort();
    auto port = LoopbackPort(number, sink);
    CUdpSocket peer;
    const std::string good = Pattern(kDatagramSize, 'a');
    ASSERT_TRUE(peer.SendTo(number, Pattern(254, 'x')));
    ASSERT_TRUE(peer.SendTo(number, Pattern(256, 'y')));
    ASSERT_TRUE(peer.SendTo(number, std::string()));
    ASSERT_TRUE(peer.SendTo(number, good));

    std::string buffer(kDatagramSize, '\x55');
    for (const char* which : {"254 bytes", "256 bytes", "empty"}) {
        EXPECT_EQ(port->Receive(buffer.data(), kDatagramSize), EMSGSIZE) << which;
        // Nothing of the dropped datagram (or of earlier contents) stays behind.
        EXPECT_EQ(buffer, std::string(kDatagramSize, '\0')) << which;
    }
    EXPECT_EQ(port->Receive(buffer.data(), kDatagramSize), 0);
    EXPECT_EQ(buffer, good);
}

TEST(BroadcastPort, TakenPortReportsBindErrorAndFailsQuietly) {
    CUdpSocket holder;
    const std::uint16_t number = holder.BindAny(0);
    ASSERT_NE(number, 0);

    Sink sink;
    auto port = LoopbackPort(number, sink);
    EXPECT_EQ(sink.reports, (std::vector<Report>{{"msg", "bind error"}}));
    EXPECT_FALSE(port->CanReceive());
    char buffer[kDatagramSize] = {};
    // The set-up stopped before the send socket was made.
    EXPECT_EQ(port->Send(buffer, kDatagramSize), EBADF);

    // Nothing can arrive, so Receive waits (instead of failing in a tight loop) until Interrupt.
    CUdpSocket peer;
    ASSERT_TRUE(peer.SendTo(number, Pattern(kDatagramSize, 'h')));
    int result = -1;
    CWatchedThread receiver([&] { result = port->Receive(buffer, kDatagramSize); });
    ASSERT_TRUE(receiver.WaitUntilBlockedInPoll());
    port->Interrupt();
    receiver.JoinOrDie("Receive on an unbound port");
    EXPECT_EQ(result, ECANCELED);
}

TEST(BroadcastPort, WorksWithoutASink) {
    CUdpSocket holder;
    const std::uint16_t number = holder.BindAny(0);
    CBroadcastPort port(number, ErrorSink{}, INADDR_LOOPBACK);
    EXPECT_FALSE(port.CanReceive());
}

TEST(BroadcastPort, InterruptWakesABlockedReceiveAndCancelsLaterOnes) {
    Sink sink;
    const std::uint16_t number = FreePort();
    auto port = LoopbackPort(number, sink);
    int result = -1;
    CWatchedThread receiver([&] {
        char buffer[kDatagramSize];
        result = port->Receive(buffer, kDatagramSize);
    });
    ASSERT_TRUE(receiver.WaitUntilBlockedInPoll());
    port->Interrupt();
    receiver.JoinOrDie("Receive after Interrupt");
    EXPECT_EQ(result, ECANCELED);

    // A datagram waiting in the socket is not handed out any more.
    CUdpSocket peer;
    ASSERT_TRUE(peer.SendTo(number, Pattern(kDatagramSize, 'q')));
    char buffer[kDatagramSize];
    EXPECT_EQ(port->Receive(buffer, kDatagramSize), ECANCELED);
    EXPECT_EQ(port->Receive(buffer, kDatagramSize), ECANCELED);
    // Sending is not affected.
    EXPECT_EQ(port->Send(buffer, kDatagramSize), 0);
}

TEST(BroadcastPort, DestroyingThePortReleasesABlockedReceive) {
    Sink sink;
    auto port = LoopbackPort(FreePort(), sink);
    CBroadcastPort* raw = port.get();
    int result = -1;
    CWatchedThread receiver([&] {
        char buffer[kDatagramSize];
        result = raw->Receive(buffer, kDatagramSize);
    });
    ASSERT_TRUE(receiver.WaitUntilBlockedInPoll());
    CWatchedThread destroyer([&] { port.reset(); });
    destroyer.JoinOrDie("the port's destructor");
    receiver.JoinOrDie("Receive during destruction");
    EXPECT_EQ(result, ECANCELED);
}

TEST(BroadcastPort, ExtraDestinationsGetEveryDatagramOnce) {
    Sink sink;
    const std::uint16_t number = FreePort();
    auto port = LoopbackPort(number, sink);
    // 127.0.0.2 is loopback too: the receive socket hears both copies. The repetition of the
    // destination itself is not sent again.
    port->SetExtraDestinations({INADDR_LOOPBACK + 1, INADDR_LOOPBACK});
    EXPECT_EQ(port->Routes(),
              (std::vector<BroadcastRoute>{{INADDR_LOOPBACK, 0, 0}, {INADDR_LOOPBACK + 1, 0, 0}}));
    const std::string first = Pattern(kDatagramSize, 'e');
    ASSERT_EQ(port->Send(first.data(), kDatagramSize), 0);
    std::string buffer(kDatagramSize, '\0');
    for (int copy = 0; copy < 2; ++copy) {
        ASSERT_EQ(port->Receive(buffer.data(), kDatagramSize), 0) << copy;
        EXPECT_EQ(buffer, first) << copy;
    }

    // Cleared again: one copy only, so the next thing received is the second datagram.
    port->SetExtraDestinations({});
    const std::string second = Pattern(kDatagramSize, 's');
    const std::string third = Pattern(kDatagramSize, 't');
    ASSERT_EQ(port->Send(second.data(), kDatagramSize), 0);
    ASSERT_EQ(port->Send(third.data(), kDatagramSize), 0);
    ASSERT_EQ(port->Receive(buffer.data(), kDatagramSize), 0);
    EXPECT_EQ(buffer, second);
    ASSERT_EQ(port->Receive(buffer.data(), kDatagramSize), 0);
    EXPECT_EQ(buffer, third);
}

TEST(BroadcastPort, TheLimitedBroadcastNeverGoesThroughLoopback) {
    // Only the routes are looked at: nothing is sent from this namespace.
    Sink sink;
    CBroadcastPort port(FreePort(), sink.Get());
    const std::vector<InterfaceAddress> interfaces = LocalInterfaceAddresses();
    const std::vector<BroadcastRoute> routes = port.Routes();
    ASSERT_FALSE(routes.empty());
    EXPECT_EQ(routes, ChooseBroadcastRoutes(interfaces, {}));
    for (const BroadcastRoute& route : routes) {
        EXPECT_EQ(route.destination, INADDR_BROADCAST);
        for (const InterfaceAddress& nic : interfaces) {
            if (nic.loopback) {
                EXPECT_NE(route.interfaceIndex, nic.index) << nic.name;
            }
        }
    }
}
