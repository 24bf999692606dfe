// Ctrl-C (and on Linux SIGTERM) during a long run: asks it to stop and report what it has,
// instead of ending the process and losing the run. Held only while the run lasts; outside it
// Ctrl-C ends the program as usual.
#pragma once

namespace kalendo::cli {

class InterruptRequest {
  public:
    InterruptRequest();   // from now on Ctrl-C (SIGINT; SIGTERM on Linux) only sets the request
    ~InterruptRequest();  // Ctrl-C ends the program again
    InterruptRequest(const InterruptRequest&) = delete;
    InterruptRequest& operator=(const InterruptRequest&) = delete;

    bool Requested() const;
};

}  // namespace kalendo::cli
