#include "marks/store_lock.h"

#include <chrono>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace kalendo::marks {

#if defined(_WIN32)

namespace {

// A mutex name of the path: backslashes are not allowed in one; case does not matter to paths.
std::string MutexName(const std::string& path) {
    std::string name = "Local\\KalendoMarkStore-";
    for (char c : path) {
        if (c == '\\' || c == '/' || c == ':') c = '_';
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        name += c;
    }
    return name.size() > MAX_PATH ? name.substr(0, MAX_PATH) : name;
}

}  // namespace

StoreLock::StoreLock(const std::string& path, int timeoutMs) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, MutexName(path).c_str());
    if (mutex == nullptr) return;
    mutex_ = mutex;
    const DWORD waited = WaitForSingleObject(mutex, static_cast<DWORD>(timeoutMs));
    // An owner that died holding it left the store as it was: renames are whole.
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

StoreLock::~StoreLock() {
    if (held_) ReleaseMutex(static_cast<HANDLE>(mutex_));
    if (mutex_) CloseHandle(static_cast<HANDLE>(mutex_));
}

#else

StoreLock::StoreLock(const std::string& path, int timeoutMs) {
    fd_ = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!(held_ = flock(fd_, LOCK_EX | LOCK_NB) == 0)) {
        if (std::chrono::steady_clock::now() >= deadline) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

StoreLock::~StoreLock() {
    if (fd_ >= 0) close(fd_);  // lets go of the lock
}

#endif

}  // namespace kalendo::marks
