#include "CSockThread.h"

#include "CWorkerThread.h"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

using palaverly::CWorkerThread;

namespace {

constexpr int kSendFBufferSize = 16284;

// The socket and status fields are plain integers that the worker and the owner may touch at
// the same time; every access goes through an atomic view of them.
unsigned int LoadSocket(const unsigned int& field) {
    return std::atomic_ref(const_cast<unsigned int&>(field)).load();
}

int ToFd(unsigned int socket) {
    return static_cast<int>(socket);
}

unsigned int Duplicate(unsigned int socket) {
    if (socket == CSockThread::kInvalidSocket)
        return CSockThread::kInvalidSocket;
    const int copy = fcntl(ToFd(socket), F_DUPFD_CLOEXEC, 0);
    return copy < 0 ? CSockThread::kInvalidSocket : static_cast<unsigned int>(copy);
}

} // namespace

CSockThread::CSockThread(CLog* log, unsigned int socket) : m_socket(socket), m_log(log) {
    m_thread = CWorkerThread::Create(this);
}

CSockThread::CSockThread(const CSockThread& other)
    : m_thread(other.m_thread), m_socket(Duplicate(LoadSocket(other.m_socket))), m_log(other.m_log),
      m_status(std::atomic_ref(const_cast<int&>(other.m_status)).load()) {
    if (m_thread != nullptr)
        m_thread->AddRef();
}

CSockThread& CSockThread::operator=(const CSockThread& other) {
    if (this == &other)
        return *this;
    CWorkerThread* thread = other.m_thread;
    if (thread != nullptr)
        thread->AddRef();
    const unsigned int socket = Duplicate(LoadSocket(other.m_socket));
    CloseSocket();
    ExitThread();
    m_thread = thread;
    std::atomic_ref(m_socket).store(socket);
    m_log = other.m_log;
    std::atomic_ref(m_status).store(std::atomic_ref(const_cast<int&>(other.m_status)).load());
    return *this;
}

CSockThread::~CSockThread() {
    StopBody();
    CloseSocket();
    ExitThread();
}

void CSockThread::StopBody() {
    CWorkerThread* live = CWorkerThread::TakeLive(this);
    if (live == nullptr)
        return;
    live->Abandon(CurrentSocket());
    live->Release();
}

int CSockThread::Resume() {
    return m_thread != nullptr ? m_thread->Resume() : -1;
}

int CSockThread::Suspend() {
    return m_thread != nullptr ? m_thread->Suspend() : -1;
}

unsigned int CSockThread::Run(void* object) {
    auto* self = static_cast<CSockThread*>(object);
    if (self == nullptr)
        return 0;
    const int result = self->ThreadBody();
    if (!CWorkerThread::IsTargetGone(self))
        std::atomic_ref(self->m_status).store(result);
    return 0;
}

int CSockThread::Start() {
    return Resume();
}

int CSockThread::Pause() {
    return Suspend();
}

int CSockThread::LastStatus() {
    return std::atomic_ref(m_status).load();
}

int CSockThread::ExitThread() {
    CWorkerThread* thread = m_thread;
    m_thread = nullptr;
    if (thread != nullptr)
        thread->Release();
    return 0;
}

int CSockThread::CloseSocket() {
    const unsigned int socket = std::atomic_ref(m_socket).exchange(kInvalidSocket);
    if (socket == kInvalidSocket)
        return -1;
    // close() alone leaves a thread blocked in recv() on the socket asleep; shutting the
    // connection down first wakes it, as closing a socket does elsewhere.
    ::shutdown(ToFd(socket), SHUT_RDWR);
    return ::close(ToFd(socket)) == 0 ? 0 : -1;
}

int CSockThread::Send(unsigned int socket, char* data, int length) {
    if (socket == kInvalidSocket || length <= 0)
        return -1;
    int sent = 0;
    int remaining = length;
    while (remaining > 0) {
        // MSG_NOSIGNAL: a peer that has gone must give -1, not end the process with SIGPIPE.
        const ssize_t result =
            ::send(ToFd(socket), data + sent, static_cast<size_t>(remaining), MSG_NOSIGNAL);
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0)
            return -1;
        remaining -= static_cast<int>(result);
        sent += static_cast<int>(result);
    }
    return 0;
}

int CSockThread::Send(char* data, int length) {
    return Send(CurrentSocket(), data, length);
}

int CSockThread::SendF(char* format, ...) {
    char buffer[kSendFBufferSize];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    if (length < 0 || length >= kSendFBufferSize)
        return -1; // would not fit: refuse rather than send a cut text
    return Send(CurrentSocket(), buffer, length);
}

char* CSockThread::Recv(unsigned int socket, char* buffer, int size) {
    if (buffer == nullptr || size < 1)
        return nullptr;
    int stored = 0;
    bool failed = false;
    while (stored < size - 1) {
        char byte = 0;
        const ssize_t result = ::recv(ToFd(socket), &byte, 1, 0);
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0) {
            failed = result < 0;
            break;
        }
        buffer[stored++] = byte;
        if (byte == '\n')
            break;
    }
    buffer[stored] = '\0';
    return stored > 0 && !failed ? buffer : nullptr;
}

char* CSockThread::Recv(char* buffer, int size) {
    return Recv(CurrentSocket(), buffer, size);
}
