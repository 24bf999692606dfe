// A lock on one file, held across processes while the mark store is read and written again:
// a named mutex on Windows (released by the system when its owner dies), an flock on a lock
// file beside it elsewhere (likewise).
#pragma once

#include <string>

namespace kalendo::marks {

class StoreLock {
  public:
    // Waits at most timeoutMs for the lock on `path`.
    StoreLock(const std::string& path, int timeoutMs);
    ~StoreLock();
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

    bool Held() const { return held_; }

  private:
    bool held_ = false;
#if defined(_WIN32)
    void* mutex_ = nullptr;
#else
    int fd_ = -1;
#endif
};

}  // namespace kalendo::marks
