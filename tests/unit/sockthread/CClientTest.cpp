// CClient: numeric hosts, connecting to real loopback listeners, copies. Names that go
// through the resolver are tested in CClientResolverTest.cpp, away from any name server.

#include "sockthread/CClient.h"

#include "LoopbackPeer.h"
#include "TestSupport.h"

#include <atomic>
#include <gtest/gtest.h>
#include <string>

using palaverly::test::EndsBodyFirst;
using palaverly::test::LoopbackListener;
using palaverly::test::WaitUntil;
using palaverly::test::Writable;

namespace {

// Sends one greeting line and reads one answer line.
class GreetingClient : public EndsBodyFirst<CClient> {
public:
    GreetingClient(const char* host, int port) : EndsBodyFirst(nullptr, Writable(host), port) {}
    GreetingClient(const GreetingClient& other) : EndsBodyFirst(other) {}
    ~GreetingClient() override { EndBody(); }

    std::string Address() const { return m_address; }
    std::string HostName() const { return m_hostName; }
    int Port() const { return m_port; }

    char answer[64] = "";

protected:
    int Body() override {
        if (SendF(Writable("HELLO %s %d\n"), "palaverly", 1) != 0)
            return -2;
        return Recv(answer, sizeof answer) != nullptr ? 0 : -3;
    }
};

void WaitForBodyEnd(CSockThread& thread) {
    WaitUntil([&] { return thread.Start() == -1; });
}

TEST(CClient, ConnectsToTheResolvedAddressAndTalks) {
    LoopbackListener listener;
    GreetingClient client("127.0.0.1", listener.Port());
    EXPECT_EQ(client.Address(), "127.0.0.1");
    EXPECT_EQ(client.HostName(), "127.0.0.1");
    ASSERT_EQ(client.Connect(), 0);
    const int server = listener.Accept();
    ASSERT_GE(server, 0);
    ASSERT_EQ(client.Start(), 1);
    char line[64];
    ASSERT_NE(CSockThread::Recv(static_cast<unsigned int>(server), line, sizeof line), nullptr);
    EXPECT_STREQ(line, "HELLO palaverly 1\n");
    ASSERT_EQ(CSockThread::Send(static_cast<unsigned int>(server), Writable("WELCOME\n"), 8), 0);
    WaitForBodyEnd(client);
    EXPECT_EQ(client.LastStatus(), 0);
    EXPECT_STREQ(client.answer, "WELCOME\n");
    ::close(server);
}

TEST(CClient, PortIsTakenAsSixteenBits) {
    LoopbackListener listener;
    GreetingClient client("127.0.0.1", listener.Port() + 65536);
    EXPECT_EQ(client.Connect(), 0);
    const int server = listener.Accept();
    EXPECT_GE(server, 0);
    ::close(server);
}

TEST(CClient, OverlongHostNameIsKeptCutButNeverResolved) {
    const std::string host = std::string(CClient::kHostNameBytes + 10, '1');
    GreetingClient client(host.c_str(), 80);
    EXPECT_EQ(client.HostName().size(), static_cast<std::size_t>(CClient::kHostNameBytes - 1));
    EXPECT_EQ(client.Address(), "");
    EXPECT_EQ(client.Connect(), -1);
}

TEST(CClient, ConnectToAClosedPortFails) {
    int port = 0;
    {
        LoopbackListener listener;
        port = listener.Port();
    }
    GreetingClient client("127.0.0.1", port);
    EXPECT_EQ(client.Address(), "127.0.0.1");
    EXPECT_EQ(client.Connect(), -1);
}

TEST(CClient, CopyKeepsHostAndAddressAndSharesTheConnection) {
    LoopbackListener listener;
    GreetingClient client("127.0.0.1", listener.Port());
    ASSERT_EQ(client.Connect(), 0);
    const int server = listener.Accept();
    GreetingClient copy(client);
    EXPECT_EQ(copy.Address(), "127.0.0.1");
    EXPECT_EQ(copy.HostName(), "127.0.0.1");
    EXPECT_EQ(copy.Port(), listener.Port());
    ASSERT_EQ(copy.Send(Writable("x\n"), 2), 0);
    char line[8];
    ASSERT_NE(CSockThread::Recv(static_cast<unsigned int>(server), line, sizeof line), nullptr);
    EXPECT_STREQ(line, "x\n");
    ::close(server);
}

} // namespace
