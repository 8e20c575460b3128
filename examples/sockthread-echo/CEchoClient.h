#pragma once
// A client of libpalaverly-sockthread: sends lines to an echo peer and prints what comes back.

#include "CClient.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

/// Sends each of its lines to the peer and reads the answer back, on the worker thread. The
/// body's result is the number of lines that came back unchanged, or -1 when the connection
/// broke off.
class CEchoClient : public CClient {
public:
    CEchoClient(char* host, int port, std::vector<std::string> lines);
    /// Ends a body still running before the lines it works on go.
    ~CEchoClient() override;

    /// Blocks until the worker is done with the body; LastStatus() then holds its result.
    void WaitForBody();

protected:
    int ThreadBody() override;

private:
    std::vector<std::string> m_lines;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_entered = false;
    bool m_returned = false;
};
