#pragma once
// The station's network endpoint as the rest of the station sees it: raw 255-byte buffers in
// and out. CBroadcastPort is the real one; tests attach stations to a simulated LAN instead.

namespace palaverly {

class CDatagramPort {
public:
    virtual ~CDatagramPort() = default;

    /// Broadcasts `length` bytes. 0 on success, else an error code (errno value).
    virtual int Send(const char* buffer, short length) = 0;

    /// Blocks until one datagram of exactly `length` bytes has been received into `buffer`.
    /// 0 on success, else an error code (errno value): EMSGSIZE for a datagram of another
    /// length (dropped), ECANCELED once Interrupt() has been called.
    virtual int Receive(char* buffer, short length) = 0;

    /// Wakes a thread blocked in Receive; every Receive from then on returns ECANCELED at once.
    virtual void Interrupt() = 0;
};

} // namespace palaverly
