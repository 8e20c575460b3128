#pragma once
// What the desktop program does when it cannot tell whether another station runs.

#include "sys/CInstanceLock.h"

namespace palaverly {

/// The exit status of a refused start (255). When the lock file was unusable, the reason goes
/// to standard error and, where a display is there, into a message box with the caption "msg";
/// a lock held by another station ends the start silently.
int RefuseStart(const CInstanceLock& lock, char* programName);

} // namespace palaverly
