#include "CEchoClient.h"

#include <cstdio>
#include <sched.h>
#include <sys/socket.h>
#include <utility>

CEchoClient::CEchoClient(char* host, int port, std::vector<std::string> lines)
    : CClient(nullptr, host, port), m_lines(std::move(lines)) {}

CEchoClient::~CEchoClient() {
    std::unique_lock lock(m_mutex);
    if (!m_entered || m_returned)
        return;
    // The family's own destructors would wake the body too, but only after m_lines is gone.
    ::shutdown(static_cast<int>(CurrentSocket()), SHUT_RDWR);
    m_changed.wait(lock, [this] { return m_returned; });
}

void CEchoClient::WaitForBody() {
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_returned; });
    }
    // The status is stored just after the body returns; from then on Start() answers -1.
    while (Start() != -1)
        sched_yield();
}

int CEchoClient::ThreadBody() {
    {
        std::lock_guard lock(m_mutex);
        m_entered = true;
    }
    int echoed = 0;
    for (const std::string& line : m_lines) {
        char format[] = "%s\n";
        char answer[1024];
        if (SendF(format, line.c_str()) != 0 || Recv(answer, sizeof answer) == nullptr) {
            echoed = -1;
            break;
        }
        std::string text(answer);
        if (!text.empty() && text.back() == '\n')
            text.pop_back();
        std::printf("echo: %s\n", text.c_str());
        std::fflush(stdout);
        if (text == line)
            ++echoed;
    }
    std::lock_guard lock(m_mutex);
    m_returned = true;
    m_changed.notify_all();
    return echoed;
}
