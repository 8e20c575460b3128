// CClient resolving host names through the system's resolver. Run by RunWithTestHosts.sh,
// which gives the process the hosts file test-hosts, a files-only name service and a network
// namespace with nothing but loopback, so no query can leave the machine.

#include "LoopbackPeer.h"
#include "TestSupport.h"
#include "sockthread/CClient.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unistd.h>

using palaverly::test::EndsBodyFirst;
using palaverly::test::LoopbackListener;
using palaverly::test::WaitUntil;
using palaverly::test::Writable;

namespace {

// Reads one line and sends it back upper-cased.
class ShoutingClient : public EndsBodyFirst<CClient> {
public:
    ShoutingClient(const char* host, int port) : EndsBodyFirst(nullptr, Writable(host), port) {}
    ~ShoutingClient() override { EndBody(); }

    std::string Address() const { return m_address; }

protected:
    int Body() override {
        char line[64];
        if (Recv(line, sizeof line) == nullptr)
            return -1;
        for (char* c = line; *c != '\0'; ++c)
            *c = static_cast<char>(*c >= 'a' && *c <= 'z' ? *c - 'a' + 'A' : *c);
        return Send(line, static_cast<int>(std::string(line).size())) == 0 ? 1 : -2;
    }
};

std::string FileText(const char* path) {
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class CClientResolver : public ::testing::Test {
protected:
    void SetUp() override {
        // Outside the prepared namespaces the unknown names below would go to a name server.
        const char* hosts = std::getenv("PALAVERLY_TEST_HOSTS");
        ASSERT_NE(hosts, nullptr) << "run through RunWithTestHosts.sh";
        ASSERT_EQ(FileText("/etc/hosts"), FileText(hosts)) << "the test hosts file is not mounted";
        std::istringstream devices(FileText("/proc/net/dev"));
        int interfaces = 0;
        for (std::string line; std::getline(devices, line);)
            interfaces += line.find(':') != std::string::npos ? 1 : 0;
        ASSERT_EQ(interfaces, 1) << "only loopback may be reachable";
    }
};

TEST_F(CClientResolver, NamesOfTheHostsFileResolve) {
    // No suffix is special: a reserved ".invalid" name resolves when the hosts file has it.
    for (const char* host : {"localhost", "echo-peer.invalid", "ECHO-PEER.INVALID"}) {
        ShoutingClient client(host, 80);
        EXPECT_EQ(client.Address(), "127.0.0.1") << host;
    }
}

TEST_F(CClientResolver, TakesTheFirstOfSeveralAddresses) {
    ShoutingClient client("twin.palaverly.test", 80);
    EXPECT_EQ(client.Address(), "127.0.0.3");
}

TEST_F(CClientResolver, ResolvedNameConnectsAndTalks) {
    LoopbackListener listener;
    ShoutingClient client("echo-peer.invalid", listener.Port());
    ASSERT_EQ(client.Connect(), 0);
    const int server = listener.Accept();
    ASSERT_GE(server, 0);
    ASSERT_EQ(client.Start(), 1);
    ASSERT_EQ(CSockThread::Send(static_cast<unsigned int>(server), Writable("hello\n"), 6), 0);
    char line[16];
    ASSERT_NE(CSockThread::Recv(static_cast<unsigned int>(server), line, sizeof line), nullptr);
    EXPECT_STREQ(line, "HELLO\n");
    WaitUntil([&] { return client.Start() == -1; });
    EXPECT_EQ(client.LastStatus(), 1);
    ::close(server);
}

TEST_F(CClientResolver, NamesWithoutAnIpv4AddressLeaveNoAddress) {
    for (const char* host :
         {"no-such-host.invalid", "nowhere.palaverly.test", "six-only.palaverly.test", ""}) {
        ShoutingClient client(host, 80);
        EXPECT_EQ(client.Address(), "") << host;
        EXPECT_EQ(client.Connect(), -1) << host;
    }
}

} // namespace
