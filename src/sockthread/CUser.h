#pragma once
// A socket thread on a socket it is given, with a lock shared with its owner.

#include "CSockThread.h"
#include "SockThreadExport.h"

#include <mutex>

/// A CSockThread on an existing socket (typically an accepted connection). The owner, the two
/// values and the lock are for the derived class and its owner; the family never reads them.
class PALAVERLY_SOCKTHREAD_EXPORT CUser : public CSockThread {
public:
    /// Creates the suspended worker on `socket` and stores `owner`, `firstValue` and
    /// `secondValue`.
    CUser(CUser* owner, int firstValue, CLog* log, unsigned int socket, int secondValue);
    CUser(const CUser&) = delete;
    CUser& operator=(const CUser&) = delete;
    /// Waits for a body still running (see CSockThread) before the lock goes.
    ~CUser() override;

    /// Enters the lock; the thread holding it may enter again (one Unlock per Lock).
    void Lock();
    /// Leaves the lock.
    void Unlock();

protected:
    int m_secondValue;
    int m_reserved = 0; // for derived classes; zeroed so that it is never read unset
    CUser* m_owner;
    int m_firstValue;
    std::recursive_mutex m_lock;
};
