// Writes every I2C transaction decoded from the pins as one line, from START to STOP:
//   0000012.345678 START 0x32 W ACK 0x0F ACK RESTART 0x32 R ACK 0x1A NACK STOP
// The time stamp is the wire time of the START in seconds. A trace shared by several processes
// (each with a board of its own, as two programs on one real board) starts each line with the
// process and the wall-clock times, in microseconds from the Unix epoch, of its START and STOP:
//   pid 4242 wall 1765432100123456 1765432100124012 0000012.345678 START 0x32 W ACK ... STOP
// so that transactions of different processes can be put in one order and their overlaps seen.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "sim/bus/i2c_bus.h"

namespace kalendo::sim {

class TransactionTrace : public BusObserver {
  public:
    // Lines go to out (not owned); each is flushed as it is finished.
    explicit TransactionTrace(std::FILE* out) : out_(out) {}
    // Lines start with this process id and wall-clock times from now on.
    void StampProcess(long processId) { processId_ = processId; }
    ~TransactionTrace() override { Flush(); }

    void OnStart(int64_t ps, bool repeated) override;
    void OnAddress(int64_t ps, uint8_t address, bool read, bool ack) override;
    void OnByte(int64_t ps, uint8_t value, bool read, bool ack) override;
    void OnStop(int64_t ps) override;
    // Writes an unfinished transaction as it stands (the board is going away).
    void Flush();
    // A line of its own at once (a timing violation, before the transaction it belongs to).
    void WriteLine(const std::string& text);

  private:
    std::FILE* out_;
    std::string line_;
    long processId_ = 0;  // 0: no process stamps
    int64_t wallStartUs_ = 0;
    int64_t wallStopUs_ = 0;
};

}  // namespace kalendo::sim
