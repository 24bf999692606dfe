// The bus mutex where the system has no named mutexes (Linux): an exclusive lock (flock) on a
// file named after the mutex. Processes that open the same name take turns; the kernel lets go
// of a lock when its holder exits or is killed, so a dead holder never blocks the next. Within
// one process it behaves as a Win32 mutex: owned by a thread, taken again by its owner without
// waiting, shared by every handle of the same name.
#pragma once

#include <cstdint>
#include <string>

#include "bridge/os_seam.h"

namespace kalendo {

struct LockFileMutex;

// The folder of the lock files: `preferred` when not empty (a test's own), else /run/lock, the
// system's folder for locks that all users share, else /tmp.
std::string LockFileFolder(const std::string& preferred);

// Opens (creating it when missing) "<folder>/<name>.lock", readable by every user so that the
// plugdev group's members share it. Null when the name is unusable or the file cannot be opened.
LockFileMutex* OpenLockFileMutex(const std::string& folder, const char* name);
// timeoutMs 0xFFFFFFFF waits as long as it takes, as on Windows.
MutexWait WaitLockFileMutex(LockFileMutex* mutex, uint32_t timeoutMs);
void ReleaseLockFileMutex(LockFileMutex* mutex);
void CloseLockFileMutex(LockFileMutex* mutex);

}  // namespace kalendo
