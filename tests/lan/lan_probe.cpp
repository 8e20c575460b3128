// A small station for the virtual LAN: broadcasts and receives Datagrams through CBroadcastPort
// and prints one line per event, so that a test script can follow it.
//
//   lan_probe listen N SECONDS [COUNT]  port 8000+N; prints READY after set-up, then one line
//                                       per datagram; stops after COUNT datagrams (0: right
//                                       after READY) or SECONDS; stdin lines "send TEXT" are
//                                       broadcast through the same port meanwhile
//   lan_probe send N TEXT [WORD]        one Datagram (sender = host name) to 8000+N
//   lan_probe wire PORT SECONDS COUNT   plain socket on the UDP port PORT: raw length and hex
//   lan_probe rawsend PORT LENGTH       LENGTH zero bytes broadcast to UDP port PORT
//   lan_probe flood N COUNT RECEIVER [RATE [WORD]]
//                                       COUNT SEND datagrams to RECEIVER as fast as possible,
//                                       or at RATE datagrams per second; WORD instead of SEND
//   lan_probe count N SECONDS           the floor of a receive loop: receive, unscramble and
//                                       count until one second passes without a datagram
//
// Output lines: "SINK caption: text", "BINDERROR", "READY port", "SENT", "SENDERROR name",
// "DATAGRAM word sender text", "WIRE length hex", "ERROR name", "TIMEOUT", "DONE count".
// Exit codes: 0 done, 1 failure, 2 usage, 3 timeout before COUNT, 4 receive failure.

#include "sys/Clock.h"
#include "wire/CBroadcastPort.h"
#include "wire/Datagram.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ifaddrs.h>
#include <mutex>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace palaverly;
using Deadline = std::chrono::steady_clock::time_point;

std::mutex g_outputLock; // the receive thread and the command thread both print

void Print(const std::string& line) {
    std::lock_guard lock(g_outputLock);
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string ErrorName(int error) {
    switch (error) {
    case EMSGSIZE:
        return "EMSGSIZE";
    case ECANCELED:
        return "ECANCELED";
    case EBADF:
        return "EBADF";
    case EDESTADDRREQ:
        return "EDESTADDRREQ";
    case ENETUNREACH:
        return "ENETUNREACH";
    case EACCES:
        return "EACCES";
    default:
        return "errno" + std::to_string(error);
    }
}

// Field text for a one-line report: printable ASCII kept, everything else as \xNN.
std::string Printable(std::string_view text) {
    std::string out;
    for (const unsigned char c : text) {
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        }
    }
    return out;
}

// Broadcasting from the machine's own network namespace would reach the real LAN, so the probe
// only sends where every non-loopback IPv4 address lies in the virtual LAN's subnet.
bool InVirtualHost() {
    constexpr std::uint32_t kSubnet = 0x0AD54D00; // 10.213.77.0/24
    ifaddrs* list = nullptr;
    bool inside = false;
    bool outside = getifaddrs(&list) != 0;
    for (const ifaddrs* ifa = list; ifa != nullptr; ifa = ifa->ifa_next) {
        if (ifa->ifa_addr == nullptr || ifa->ifa_addr->sa_family != AF_INET ||
            (ifa->ifa_flags & IFF_LOOPBACK) != 0)
            continue;
        const auto* address = reinterpret_cast<const sockaddr_in*>(ifa->ifa_addr);
        if ((ntohl(address->sin_addr.s_addr) & 0xFFFFFF00u) == kSubnet)
            inside = true;
        else
            outside = true;
    }
    if (list != nullptr)
        freeifaddrs(list);
    if (!inside || outside) {
        Print("REFUSED: not inside a virtual host of 10.213.77.0/24");
        return false;
    }
    return true;
}

ErrorSink PrintingSink() {
    return [](const std::string& caption, const std::string& text) {
        Print("SINK " + caption + ": " + text);
        if (caption == "msg" && text == "bind error")
            Print("BINDERROR");
    };
}

std::string HostName() {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

int SendText(CBroadcastPort& port, const std::string& text, std::string_view word) {
    if (!InVirtualHost())
        return EACCES;
    static std::atomic<int> sequence{0};
    const int id = static_cast<int>((getpid() * 1000L + sequence++) % 99999999L);
    Datagram datagram =
        BuildDatagram(id, SystemLocalTime(), word, MakeSendPayload(HostName(), "*", text));
    Scramble(datagram);
    const int result = port.Send(datagram.bytes.data(), static_cast<short>(kDatagramSize));
    Print(result == 0 ? "SENT" : "SENDERROR " + ErrorName(result));
    return result;
}

void PrintDatagram(Datagram& datagram) {
    Scramble(datagram);
    const std::string_view word(datagram.bytes.data() + kCommandOffset,
                                strnlen(datagram.bytes.data() + kCommandOffset, kCommandSize));
    Print("DATAGRAM " + Printable(word) + " " + Printable(ReadField(datagram, kSenderOffset)) +
          " " + Printable(ReadField(datagram, kSendTextOffset)));
}

// Reads stdin lines "send TEXT" until end of input or until `stopFd` becomes readable.
void CommandLoop(CBroadcastPort& port, int stopFd) {
    std::string pending;
    char chunk[512];
    for (;;) {
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {stopFd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return;
        const ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0)
            return;
        pending.append(chunk, static_cast<std::size_t>(n));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (line.rfind("send ", 0) == 0)
                SendText(port, line.substr(5), "SEND");
            else
                Print("ERROR unknown command");
        }
    }
}

int Listen(const char* n, int seconds, long count) {
    CBroadcastPort port(ChatPort(n), PrintingSink());
    Print("READY " + std::to_string(port.Port()));
    if (count == 0) {
        Print("DONE 0");
        return 0;
    }

    const int stopFd = eventfd(0, EFD_CLOEXEC);
    std::thread commands(CommandLoop, std::ref(port), stopFd);

    // Bounds the whole run: after SECONDS the port is interrupted and Receive returns.
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
    std::atomic<bool> timedOut{false};
    std::thread watchdog([&] {
        std::unique_lock guard(lock);
        if (!finished.wait_for(guard, std::chrono::seconds(seconds), [&] { return done; })) {
            timedOut = true;
            port.Interrupt();
        }
    });

    int exitCode = 0;
    long received = 0;
    while (count < 0 || received < count) {
        Datagram datagram;
        const int result = port.Receive(datagram.bytes.data(), static_cast<short>(kDatagramSize));
        if (result == 0) {
            ++received;
            PrintDatagram(datagram);
        } else if (result == EMSGSIZE) {
            Print("ERROR EMSGSIZE"); // dropped; the port goes on receiving
        } else if (result == ECANCELED && timedOut) {
            Print("TIMEOUT");
            exitCode = 3;
            break;
        } else {
            Print("ERROR " + ErrorName(result));
            exitCode = 4;
            break;
        }
    }

    {
        std::lock_guard guard(lock);
        done = true;
    }
    finished.notify_all();
    watchdog.join();
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(stopFd, &one, sizeof one);
    commands.join();
    close(stopFd);
    Print("DONE " + std::to_string(received));
    return exitCode;
}

int SendOnce(const char* n, const std::string& text, std::string_view word) {
    if (!InVirtualHost())
        return 1;
    CBroadcastPort port(ChatPort(n), PrintingSink());
    return SendText(port, text, word) == 0 ? 0 : 1;
}

std::string Hex(const unsigned char* bytes, std::size_t length) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < length; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

int Wire(int portNumber, int seconds, long count) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<std::uint16_t>(portNumber));
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        Print("ERROR " + ErrorName(errno));
        return 1;
    }
    Print("READY " + std::to_string(portNumber));
    const Deadline deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    long received = 0;
    std::vector<unsigned char> buffer(2048);
    while (received < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd fds{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&fds, 1, static_cast<int>(left.count())) == 0) {
            Print("TIMEOUT");
            close(fd);
            return 3;
        }
        const ssize_t n = recv(fd, buffer.data(), buffer.size(), MSG_TRUNC);
        if (n < 0)
            continue;
        ++received;
        const std::size_t shown = std::min(static_cast<std::size_t>(n), buffer.size());
        Print("WIRE " + std::to_string(n) + " " + Hex(buffer.data(), shown));
    }
    close(fd);
    Print("DONE " + std::to_string(received));
    return 0;
}

int RawSend(int portNumber, int length) {
    if (!InVirtualHost())
        return 1;
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int enable = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &enable, sizeof enable);
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    destination.sin_port = htons(static_cast<std::uint16_t>(portNumber));
    const std::vector<char> zeros(static_cast<std::size_t>(length), 0);
    const ssize_t sent =
        sendto(fd, zeros.data(), zeros.size(), 0, reinterpret_cast<const sockaddr*>(&destination),
               sizeof destination);
    const int error = errno;
    close(fd);
    Print(sent >= 0 ? "SENT" : "SENDERROR " + ErrorName(error));
    return sent >= 0 ? 0 : 1;
}

int Flood(const char* n, long count, const std::string& receiver, long rate, const char* word) {
    if (!InVirtualHost())
        return 1;
    CBroadcastPort port(ChatPort(n), PrintingSink());
    const std::string sender = HostName();
    const auto start = std::chrono::steady_clock::now();
    long failed = 0;
    for (long i = 0; i < count; ++i) {
        // Paced by the clock in steps of about a millisecond: datagram i leaves at i / rate.
        if (rate > 0 && i % std::max(1L, rate / 1000) == 0) {
            const auto due =
                start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(double(i) / double(rate)));
            std::this_thread::sleep_until(due);
        }
        Datagram d = BuildDatagram(static_cast<int>(i % 99999999), SystemLocalTime(), word,
                                   MakeSendPayload(sender, receiver, "flood " + std::to_string(i)));
        Scramble(d);
        if (port.Send(d.bytes.data(), static_cast<short>(kDatagramSize)) != 0)
            ++failed;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    Print("FLOODED " + std::to_string(count - failed) + " " + std::to_string(took.count()));
    return 0;
}

int Count(const char* n, int seconds) {
    CBroadcastPort port(ChatPort(n), PrintingSink());
    using Clock = std::chrono::steady_clock;
    std::atomic<long> received{0};
    std::atomic<Clock::rep> first{0}, last{0};
    std::atomic<bool> stop{false};
    std::thread watchdog([&] {
        const auto deadline = Clock::now() + std::chrono::seconds(seconds);
        while (!stop && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (received > 0 &&
                Clock::now().time_since_epoch().count() - last >
                    std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)).count())
                break;
        }
        port.Interrupt();
    });
    Print("READY " + std::to_string(port.Port()));
    Datagram d;
    while (port.Receive(d.bytes.data(), static_cast<short>(kDatagramSize)) == 0) {
        Scramble(d);
        if (RecognizeCommand(d) != Command::Send)
            continue;
        const auto now = Clock::now().time_since_epoch().count();
        if (received++ == 0)
            first = now;
        last = now;
    }
    stop = true;
    watchdog.join();
    const double span = std::chrono::duration<double>(Clock::duration(last - first)).count();
    Print("COUNTED " + std::to_string(received.load()) + " " + std::to_string(span));
    return 0;
}

int Usage() {
    std::fputs("usage: lan_probe listen N SECONDS [COUNT] | send N TEXT [WORD] |"
               " wire PORT SECONDS COUNT | rawsend PORT LENGTH\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty())
        return Usage();
    const std::string_view mode = args[0];
    if (mode == "listen" && (args.size() == 3 || args.size() == 4))
        return Listen(argv[2], std::atoi(argv[3]), args.size() == 4 ? std::atol(argv[4]) : -1);
    if (mode == "send" && (args.size() == 3 || args.size() == 4))
        return SendOnce(argv[2], argv[3], args.size() == 4 ? args[3] : "SEND");
    if (mode == "wire" && args.size() == 4)
        return Wire(std::atoi(argv[2]), std::atoi(argv[3]), std::atol(argv[4]));
    if (mode == "flood" && args.size() >= 4 && args.size() <= 6)
        return Flood(argv[2], std::atol(argv[3]), argv[4],
                     args.size() >= 5 ? std::atol(argv[5]) : 0,
                     args.size() == 6 ? argv[6] : "SEND");
    if (mode == "count" && args.size() == 3)
        return Count(argv[2], std::atoi(argv[3]));
    if (mode == "rawsend" && args.size() == 3)
        return RawSend(std::atoi(argv[2]), std::atoi(argv[3]));
    return Usage();
}
