#pragma once
// The station's network endpoint as the rest of the station sees it: raw 255-byte buffers in
// and out. CBroadcastPort is the real one; tests attach stations to a simulated LAN instead.

#include <cerrno>

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

    /// Blocks until at least one datagram is queued, then takes up to `max` of those queued
    /// without waiting again. The datagrams of exactly `length` bytes are stored one after the
    /// other in `buffers` (room for `max` * `length` bytes) and counted in `received`; others
    /// are dropped. 0 when `received` > 0, EMSGSIZE when every one taken was dropped, ECANCELED
    /// once Interrupt() has been called, else an error code. This version takes one datagram
    /// through Receive; ports that can take several at once override it.
    virtual int ReceiveBatch(char* buffers, short length, int max, int& received) {
        received = 0;
        if (max <= 0)
            return EINVAL;
        const int rc = Receive(buffers, length);
        if (rc == 0)
            received = 1;
        return rc;
    }

    /// Wakes a thread blocked in Receive or ReceiveBatch; every Receive from then on returns
    /// ECANCELED at once.
    virtual void Interrupt() = 0;

    // What the station needs to know to tell whether the LAN can reach it.

    /// True when the receive socket is bound, so that what the LAN sends can arrive.
    virtual bool CanReceive() const { return true; }

    /// True when the last Send put the datagram on a local network: a broadcast left through
    /// at least one interface that has neighbours. Not so when no interface had a broadcast
    /// domain or every send was refused.
    virtual bool LastSendReachedNetwork() const { return true; }

    /// A descriptor that becomes readable when the machine's interfaces may have changed
    /// (then call TakeRouteChange); -1 when the port cannot tell.
    virtual int InterfaceChangeDescriptor() const { return -1; }

    struct RouteChange {
        bool changed = false; ///< the broadcast routes are not the ones of the last call
        bool gained = false;  ///< among them a route that was not there before
    };
    /// Reads the interfaces again when they may have changed and says how the broadcast
    /// routes changed since the last call or Send. The first reading is no change.
    virtual RouteChange TakeRouteChange() { return {}; }
};

} // namespace palaverly
