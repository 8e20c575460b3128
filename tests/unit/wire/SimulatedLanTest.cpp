#include "CSimulatedLan.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

using namespace palaverly;
using namespace std::chrono_literals;

namespace {
constexpr short kSize = 8; // datagram length used in these tests

// A fixed-length datagram carrying `tag`, zero-padded.
std::string Datagram(const std::string& tag) {
    std::string bytes(kSize, '\0');
    bytes.replace(0, tag.size(), tag);
    return bytes;
}

int Send(CSimulatedPort& port, const std::string& tag) {
    std::string bytes = Datagram(tag);
    return port.Send(bytes.data(), kSize);
}

// Everything queued for `port` now, as tags.
std::vector<std::string> Pump(CSimulatedPort& port) {
    std::vector<std::string> tags;
    char buffer[kSize];
    while (port.TryReceive(buffer, kSize) == 0)
        tags.emplace_back(buffer, strnlen(buffer, kSize));
    return tags;
}

std::vector<std::string> Tags(std::initializer_list<const char*> tags) {
    return std::vector<std::string>(tags.begin(), tags.end());
}
} // namespace

TEST(SimulatedLan, EveryPortHearsEveryDatagramInSendOrder) {
    CSimulatedLan lan;
    auto a = lan.Attach();
    auto b = lan.Attach();
    auto c = lan.Attach();
    EXPECT_EQ(Send(*a, "a1"), 0);
    EXPECT_EQ(Send(*b, "b1"), 0);
    EXPECT_EQ(Send(*a, "a2"), 0);
    for (auto* port : {a.get(), b.get(), c.get()}) {
        EXPECT_EQ(port->Pending(), 3u);
        EXPECT_EQ(Pump(*port), Tags({"a1", "b1", "a2"}));
        EXPECT_EQ(port->Pending(), 0u);
        char buffer[kSize];
        EXPECT_EQ(port->TryReceive(buffer, kSize), EAGAIN);
    }
    EXPECT_EQ(lan.Sent(),
              (std::vector<std::string>{Datagram("a1"), Datagram("b1"), Datagram("a2")}));
}

TEST(SimulatedLan, DatagramOfAnotherLengthIsRefusedAndDropped) {
    CSimulatedLan lan;
    auto a = lan.Attach();
    const char longer[kSize + 1] = "too long";
    ASSERT_EQ(a->Send(longer, kSize + 1), 0);
    ASSERT_EQ(a->Send("short", 5), 0);
    Send(*a, "ok");
    char buffer[kSize];
    EXPECT_EQ(a->TryReceive(buffer, kSize), EMSGSIZE);
    EXPECT_EQ(a->Receive(buffer, kSize), EMSGSIZE);
    EXPECT_EQ(Pump(*a), Tags({"ok"}));
    EXPECT_EQ(a->Send(nullptr, 4), EINVAL);
    EXPECT_EQ(a->Send(longer, -1), EINVAL);
    EXPECT_EQ(lan.Sent().size(), 3u);
}

TEST(SimulatedLan, BlockingReceiveWakesOnSendAndOnInterrupt) {
    CSimulatedLan lan;
    auto sender = lan.Attach();
    auto receiver = lan.Attach();
    auto receiveOne = [&] {
        return std::async(std::launch::async, [&] {
            char buffer[kSize] = {};
            int result = receiver->Receive(buffer, kSize);
            return std::make_pair(result, std::string(buffer, strnlen(buffer, kSize)));
        });
    };
    auto first = receiveOne();
    Send(*sender, "hello");
    ASSERT_EQ(first.wait_for(20s), std::future_status::ready);
    EXPECT_EQ(first.get(), std::make_pair(0, std::string("hello")));

    auto second = receiveOne();
    receiver->Interrupt();
    ASSERT_EQ(second.wait_for(20s), std::future_status::ready);
    EXPECT_EQ(second.get().first, ECANCELED);

    // From then on every receive ends at once, even with datagrams queued.
    Send(*sender, "late");
    char buffer[kSize];
    EXPECT_EQ(receiver->Receive(buffer, kSize), ECANCELED);
    EXPECT_EQ(receiver->TryReceive(buffer, kSize), ECANCELED);
    // An interrupted port still sends (a station's last BYE goes out after its receiver stops).
    EXPECT_EQ(Send(*receiver, "bye"), 0);
    EXPECT_EQ(Pump(*sender), Tags({"hello", "late", "bye"}));
}

TEST(SimulatedLan, ThreadedReceiverGetsEveryDatagramInOrder) {
    CSimulatedLan lan;
    auto sender = lan.Attach();
    auto receiver = lan.Attach();
    constexpr int kCount = 2000;
    auto received = std::async(std::launch::async, [&] {
        std::vector<std::string> tags;
        char buffer[kSize];
        while (receiver->Receive(buffer, kSize) == 0)
            tags.emplace_back(buffer, strnlen(buffer, kSize));
        return tags;
    });
    for (int i = 0; i < kCount; ++i)
        Send(*sender, std::to_string(i));
    Send(*sender, "end");
    // The receiver stops at the first datagram it cannot take: a short one.
    sender->Send("x", 1);
    ASSERT_EQ(received.wait_for(20s), std::future_status::ready);
    auto tags = received.get();
    ASSERT_EQ(tags.size(), static_cast<std::size_t>(kCount + 1));
    for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(tags[i], std::to_string(i));
    EXPECT_EQ(tags.back(), "end");
}

TEST(SimulatedLan, DestroyedPortIsDetachedAndPortsMayOutliveTheLan) {
    auto lan = std::make_unique<CSimulatedLan>();
    auto a = lan->Attach();
    {
        auto b = lan->Attach();
        EXPECT_EQ(lan->PortCount(), 2u);
    }
    EXPECT_EQ(lan->PortCount(), 1u);
    EXPECT_EQ(Send(*a, "one"), 0);
    lan.reset();
    EXPECT_EQ(Send(*a, "two"), 0);
    EXPECT_EQ(Pump(*a), Tags({"one", "two"}));
}

TEST(SimulatedLan, CertainFaults) {
    struct Case {
        const char* name;
        LanFaults faults;
        std::vector<std::string> expected;
    } cases[] = {
        {"drop", {1.0, 0.0, 0.0, 7}, {}},
        {"duplicate", {0.0, 1.0, 0.0, 7}, Tags({"1", "1", "2", "2", "3", "3", "4", "4", "5", "5"})},
        // Each held datagram follows the next one; the last waits for a flush.
        {"reorder", {0.0, 0.0, 1.0, 7}, Tags({"2", "1", "4", "3", "5"})},
    };
    for (const auto& c : cases) {
        CSimulatedLan lan;
        lan.SetFaults(c.faults);
        auto a = lan.Attach();
        for (const char* tag : {"1", "2", "3", "4", "5"})
            Send(*a, tag);
        lan.Flush();
        EXPECT_EQ(Pump(*a), c.expected) << c.name;
        EXPECT_EQ(lan.Sent().size(), 5u) << c.name;
    }
}

TEST(SimulatedLan, RandomFaultsRepeatWithTheSameSeedAndDifferPerPort) {
    auto run = [](std::uint32_t seed) {
        CSimulatedLan lan;
        lan.SetFaults({0.3, 0.2, 0.2, seed});
        auto a = lan.Attach();
        auto b = lan.Attach();
        for (int i = 0; i < 200; ++i)
            Send(*a, std::to_string(i));
        lan.Flush();
        return std::make_pair(Pump(*a), Pump(*b));
    };
    auto first = run(42);
    EXPECT_EQ(run(42), first);
    EXPECT_NE(run(43), first);
    EXPECT_NE(first.first, first.second);
    // Roughly 30 % dropped, 20 % doubled: far from none and from all.
    EXPECT_GT(first.first.size(), 100u);
    EXPECT_LT(first.first.size(), 200u);
}
