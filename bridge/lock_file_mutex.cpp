#include "bridge/lock_file_mutex.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalendo {

struct LockFileMutex {
    std::string path;
    int fd = -1;
    int handles = 0;                  // opens of this name not closed yet
    std::recursive_timed_mutex owner;  // the owning thread, as a Win32 mutex has one
    int depth = 0;                    // the owner's waits not released yet
    std::thread::id ownerId;          // while depth > 0
};

namespace {

constexpr uint32_t kWaitForever = 0xFFFFFFFFu;
constexpr mode_t kLockFileMode = 0664;  // any user may open it to lock; the group may write
// A lock held elsewhere is tried again this often: short against a transaction's few ms.
constexpr auto kRetryInterval = std::chrono::milliseconds(1);

// One entry per name for the whole process: flock() locks belong to an open file, so two opens
// of one name in one process would shut each other out.
std::mutex registryLock;
std::map<std::string, LockFileMutex*>& Registry() {
    static auto* registry = new std::map<std::string, LockFileMutex*>;
    return *registry;
}

bool UsableFolder(const std::string& folder) {
    struct stat st {};
    return !folder.empty() && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(folder.c_str(), W_OK | X_OK) == 0;
}

// Opens the file without O_CREAT first: in a sticky world-writable folder (/tmp, /run/lock)
// the kernel refuses O_CREAT on another user's file (fs.protected_regular), though opening it
// is allowed. Read-only is enough for flock().
int OpenLockFile(const std::string& path) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd >= 0 || errno != ENOENT) return fd;
        fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                    kLockFileMode);
        if (fd >= 0) {
            ::fchmod(fd, kLockFileMode);  // past the creator's umask
            return fd;
        }
        if (errno != EEXIST) return -1;  // else another process made it just now: open that
    }
    return -1;
}

}  // namespace

std::string LockFileFolder(const std::string& preferred) {
    if (!preferred.empty()) return preferred;
    return UsableFolder("/run/lock") ? "/run/lock" : "/tmp";
}

LockFileMutex* OpenLockFileMutex(const std::string& folder, const char* name) {
    if (!name || !*name || std::strchr(name, '/') || name[0] == '.') return nullptr;
    const std::string path = folder + "/" + name + ".lock";
    std::lock_guard<std::mutex> guard(registryLock);
    auto found = Registry().find(path);
    if (found != Registry().end()) {
        ++found->second->handles;
        return found->second;
    }
    const int fd = OpenLockFile(path);
    if (fd < 0) return nullptr;
    auto* mutex = new LockFileMutex;
    mutex->path = path;
    mutex->fd = fd;
    mutex->handles = 1;
    Registry()[path] = mutex;
    return mutex;
}

MutexWait WaitLockFileMutex(LockFileMutex* mutex, uint32_t timeoutMs) {
    if (!mutex) return MutexWait::Failed;
    using Clock = std::chrono::steady_clock;
    const bool forever = timeoutMs == kWaitForever;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    if (forever) {
        mutex->owner.lock();
    } else if (!mutex->owner.try_lock_until(deadline)) {
        return MutexWait::TimedOut;  // another thread of this process holds it
    }
    if (mutex->depth > 0) {
        ++mutex->depth;  // the owner again: a Win32 mutex counts, and so does this
        return MutexWait::Acquired;
    }
    for (;;) {
        if (::flock(mutex->fd, LOCK_EX | LOCK_NB) == 0) {
            mutex->depth = 1;
            mutex->ownerId = std::this_thread::get_id();
            return MutexWait::Acquired;
        }
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) {
            mutex->owner.unlock();
            return MutexWait::Failed;
        }
        const Clock::time_point now = Clock::now();
        if (!forever && now >= deadline) {
            mutex->owner.unlock();
            return MutexWait::TimedOut;
        }
        std::this_thread::sleep_for(
            forever ? kRetryInterval
                    : std::min<Clock::duration>(kRetryInterval, deadline - now));
    }
}

void ReleaseLockFileMutex(LockFileMutex* mutex) {
    // Only the owner lets go, as ReleaseMutex refuses any other thread.
    if (!mutex || mutex->depth == 0 || mutex->ownerId != std::this_thread::get_id()) return;
    if (--mutex->depth == 0) {
        mutex->ownerId = std::thread::id();
        ::flock(mutex->fd, LOCK_UN);
    }
    mutex->owner.unlock();
}

void CloseLockFileMutex(LockFileMutex* mutex) {
    if (!mutex) return;
    std::lock_guard<std::mutex> guard(registryLock);
    if (--mutex->handles > 0) return;
    Registry().erase(mutex->path);
    if (mutex->depth > 0 && mutex->ownerId != std::this_thread::get_id()) {
        // Another thread still holds it: it stays until the process ends rather than vanish
        // under its owner.
        return;
    }
    while (mutex->depth > 0) ReleaseLockFileMutex(mutex);
    // Closing the file lets go of its lock, as the process's exit would.
    ::close(mutex->fd);
    delete mutex;
}

}  // namespace kalendo
