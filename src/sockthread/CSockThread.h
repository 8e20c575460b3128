#pragma once
// A TCP socket with a worker thread of its own that runs a body supplied by a derived class.

#include "SockThreadExport.h"

namespace palaverly {
class CWorkerThread;
} // namespace palaverly

class CLog;

/// A socket plus a worker thread that is created suspended and runs ThreadBody() once started.
///
/// Life of an object: construct (the worker exists but does not run); Start() runs the body;
/// Pause() and Start() suspend and resume it; once the body has returned, LastStatus() gives its
/// result; destroying the object closes the socket and releases the thread object.
///
/// Suspension. POSIX threads cannot be suspended from outside, so Suspend() sends the worker a
/// real-time signal (pthread_sigqueue). Two real-time signals are claimed once per process, on
/// first use: the two highest-numbered ones that no handler is installed for yet. The suspend
/// handler blocks in sigsuspend() until Resume() brings the suspend count back to 0 and sends the
/// second signal, so the worker stops wherever it is, in the middle of the body included,
/// without the body polling anything. Suspend() returns once the worker has stopped; a worker
/// that suspends itself stops inside the call. The handler uses only async-signal-safe calls
/// (atomics, sem_post, sigsuspend). The same cautions as for any forced suspension apply:
///  - a worker suspended while it holds a lock (its own, or one inside the C library such as
///    the allocator's) keeps it until resumed, and every thread that needs it waits as long
///    (the family's own operations hold a suspension off until they have left their locks);
///  - the body must not block the two signals, or Suspend() waits until it unblocks them;
///  - calls that are not restarted after a signal handler (sleeps, poll, select, epoll_wait,
///    and socket calls on a socket with a time-out) may fail with EINTR after a suspension;
///    Send, Recv and Connect of this family retry on their own.
///
/// Destruction while the body runs. The destructors of the family shut the socket down, which
/// wakes a body blocked on it, lift any suspension, and wait until the body has returned; only
/// then is the socket closed. They do so after ExitThread() too. The class that supplies the body
/// is destroyed before them, so it must see to it that its body has returned (or was never
/// started) before its own members go: typically the body signals its end, and the destructor
/// shuts the socket down and waits for that signal. A worker that was never started ends without
/// running the body. An object destroyed by its own body (`delete this`) does not wait, and its
/// result is then not stored.
///
/// Copies share the worker thread and the connection: a copy holds a duplicate descriptor of
/// the same socket, so closing either ends the connection for both but never closes a
/// descriptor twice.
class PALAVERLY_SOCKTHREAD_EXPORT CSockThread {
public:
    /// The value of a socket field that holds no socket.
    static constexpr unsigned int kInvalidSocket = static_cast<unsigned int>(-1);

    /// Stores `log` and `socket` and creates the worker thread, suspended.
    CSockThread(CLog* log, unsigned int socket);
    CSockThread(const CSockThread& other);
    CSockThread& operator=(const CSockThread& other);
    virtual ~CSockThread();

protected:
    /// The work of the thread, run once on the worker after Start(); its result becomes the
    /// status.
    virtual int ThreadBody() = 0;

public:
    /// Decrements the suspend count and lets the worker go on when it reaches 0. Returns the
    /// previous suspend count (0: it was not suspended), or -1 when there is no thread object
    /// or the body has already returned.
    virtual int Resume();
    /// Increments the suspend count, stopping the worker when it was running. Returns the
    /// previous suspend count, or -1 on failure (no thread object, body returned, count 127).
    virtual int Suspend();

    /// The thread procedure: runs the object's body and stores its result as the status.
    static unsigned int Run(void* object);

    /// Resume(); the first Start() runs the body.
    int Start();
    /// Suspend().
    int Pause();
    /// The body's result; 0 until the body has returned.
    int LastStatus();
    /// Releases the thread object; the worker is not ended (a running body carries on), but
    /// this object can no longer start or pause it. Returns 0.
    int ExitThread();
    /// Closes the socket and sets the field to kInvalidSocket. Returns 0, or -1 when closing
    /// failed (a second call finds no socket). A body blocked on the socket wakes up.
    int CloseSocket();

    /// Sends all `length` bytes of `data`. Returns 0 when everything went out, -1 otherwise
    /// (a length of 0 included).
    static int Send(unsigned int socket, char* data, int length);
    /// Send() on the object's socket.
    int Send(char* data, int length);
    /// Formats like printf into a 16284-byte buffer and sends the text without its NUL.
    /// A text that does not fit (16283 bytes at most) is refused with -1 and nothing is sent.
    int SendF(char* format, ...) __attribute__((format(printf, 2, 3)));

    /// Reads one line of at most `size` - 1 bytes into `buffer`, NUL-terminated. A complete line
    /// keeps its "\n"; a line cut by the peer closing comes back without one. Returns `buffer`,
    /// or a null pointer when nothing was read, on a socket error (the bytes read stay in the
    /// buffer), or when `size` leaves no room for a byte.
    static char* Recv(unsigned int socket, char* buffer, int size);
    /// Recv() on the object's socket.
    char* Recv(char* buffer, int size);

protected:
    /// The socket field as it is now; the body and the owner may race on CloseSocket().
    unsigned int CurrentSocket() const { return __atomic_load_n(&m_socket, __ATOMIC_SEQ_CST); }

private:
    friend class CClient;
    friend class CUser;

    // Wakes and waits for a body still running on this object (see the class comment); the
    // destructors of the family call it first. Not part of the exported interface.
    __attribute__((visibility("hidden"))) void StopBody();

    palaverly::CWorkerThread* m_thread = nullptr;

protected:
    unsigned int m_socket;
    CLog* m_log;
    int m_status = 0;
};
