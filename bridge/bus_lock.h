// Holds the cross-process bus mutex for one register operation or one discovery.
#pragma once

namespace kalendo {

class BusLock {
  public:
    BusLock();  // waits at most the library's time-out for another process to let go
    ~BusLock();
    BusLock(const BusLock&) = delete;
    BusLock& operator=(const BusLock&) = delete;

    // False when another process held the bus for the whole time-out. Without a mutex (its
    // creation failed) the bus is used unlocked, and this is true.
    bool Usable() const { return usable_; }

  private:
    void* held_ = nullptr;
    bool usable_ = true;
};

}  // namespace kalendo
