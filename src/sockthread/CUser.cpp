#include "CUser.h"

CUser::CUser(CUser* owner, int firstValue, CLog* log, unsigned int socket, int secondValue)
    : CSockThread(log, socket), m_secondValue(secondValue), m_owner(owner),
      m_firstValue(firstValue) {}

// The body may be inside the lock; it must have returned before the lock is destroyed.
CUser::~CUser() {
    StopBody();
}

void CUser::Lock() {
    m_lock.lock();
}

void CUser::Unlock() {
    m_lock.unlock();
}
