#pragma once
// A socket thread that connects to a host of its own.

#include "CSockThread.h"
#include "SockThreadExport.h"

/// A CSockThread on a new TCP socket for connecting to `host`:`port`. The host name is resolved
/// (IPv4) when the object is made; the body is supplied by a derived class.
class PALAVERLY_SOCKTHREAD_EXPORT CClient : public CSockThread {
public:
    /// Size of the address text, NUL included.
    static constexpr int kAddressBytes = 64;
    /// Size of the host name, NUL included; a longer name is not resolved.
    static constexpr int kHostNameBytes = 1024;

    /// Creates the socket and the suspended worker, then resolves `host` through the system's
    /// resolver (hosts file, DNS, as configured), IPv4 only. A host that does not resolve leaves
    /// the address text empty.
    CClient(CLog* log, char* host, int port);
    CClient(const CClient& other);
    CClient& operator=(const CClient& other);
    ~CClient() override;

    /// Connects the socket to the resolved address and the port (taken as 16 bits).
    /// Returns 0 when connected, -1 otherwise (an empty address text included).
    virtual int Connect();

protected:
    char m_address[kAddressBytes];   // dotted IPv4 address; empty when the host did not resolve
    char m_hostName[kHostNameBytes]; // the host as given
    int m_port;
};
