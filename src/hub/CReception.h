#pragma once
// Reception: the receive thread takes datagrams from the port, unscrambles them, drops the
// immediate repetition and stamps the reception time; the UI thread drains them in arrival
// order into a dispatch function. Nothing of the station's state is touched on the receive
// thread.

#include "sys/CHandOver.h"
#include "sys/Clock.h"
#include "wire/CDatagramPort.h"
#include "wire/Datagram.h"

#include <cstddef>
#include <functional>
#include <string>
#include <thread>

namespace palaverly {

class CReception {
public:
    /// Acts on one unscrambled datagram received at `receptionTime` ("%2d:%02d"); UI thread.
    using DispatchFn = std::function<void(const Datagram&, const std::string& receptionTime)>;

    /// `clock` stamps the reception time (on the receive thread); at most `capacity` datagrams
    /// wait in the hand-over; `wake` asks the UI thread to drain, once per burst.
    CReception(DispatchFn dispatch, Clock clock, std::size_t capacity, std::function<void()> wake);
    ~CReception();
    CReception(const CReception&) = delete;
    CReception& operator=(const CReception&) = delete;

    /// Starts the receive thread on `port`, which must outlive StopReception.
    void Start(CDatagramPort& port);

    /// Receive-thread side: unscramble, drop the immediate repetition, stamp, hand over.
    /// Returns false once the hand-over is closed.
    bool AcceptRaw(const char* bytes);
    /// AcceptRaw for `count` datagrams stored one after the other (255 bytes each), handed over
    /// as one batch: the repetition rule sees each in order, one reception time stamps them all.
    bool AcceptBatch(const char* bytes, std::size_t count);

    /// UI-thread side: dispatches what is handed over, in arrival order, at most the
    /// hand-over's capacity per call. What is left wakes the UI thread again.
    std::size_t DrainReceived();
    /// DrainReceived in slices: at most `max` datagrams, and no more once `goOn()` says false
    /// (asked after each one); the rest waits for the next wake-up, so that the UI thread's
    /// event loop gets its turn between slices.
    std::size_t DrainReceived(std::size_t max, const std::function<bool()>& goOn);

    /// Closes the hand-over (nothing queued is dispatched any more), interrupts the port and
    /// joins the receive thread. Later calls do nothing more.
    void StopReception();

private:
    struct Received {
        Datagram datagram;
        std::string receptionTime;
    };

    void ReceiveLoop(CDatagramPort& port);

    DispatchFn m_dispatch;
    Clock m_clock;
    std::size_t m_capacity;
    CHandOver<Received> m_handOver;
    CDatagramPort* m_port = nullptr; // the one the thread receives from
    std::thread m_thread;
    std::string m_lastId = std::string(kIdSize, '\0'); // receive thread only; zero at start
};

} // namespace palaverly
