// The I2C master on the bridge's serial engine: channel discovery and set-up, and the two
// transaction primitives that assemble one command burst each.
#pragma once

#include <cstdint>

#include "bridge/bridge_state.h"

namespace kalendo {

// Engine status codes (0 = success; any other value is a library status passed through).
constexpr uint32_t kEngineOk = 0;
constexpr uint32_t kEngineAddressNack = 2;
// Fewer bytes moved than asked: the library's I/O error.
constexpr uint32_t kEngineShortTransfer = 4;
constexpr uint32_t kEngineNoMemory = 5;
constexpr uint32_t kEngineBadParameter = 6;
constexpr uint32_t kEngineDataNack = 10;
constexpr uint32_t kEngineNoChannel = 18;
// The whole answer came, but far later than a healthy board answers: beyond every library status.
constexpr uint32_t kEngineLateAnswer = 0x100;
// An answer slower than this (a healthy one takes the latency timer, a few milliseconds; a busy PC
// adds some hundreds at most) is a failing board.
constexpr uint64_t kLateAnswerMs = 2000;

// Where a timed read's value was taken, in the burst as built. The RTC takes its time registers
// at the START that begins a read (the repeated START of a combined burst), which keeps a
// multi-byte read consistent; the engine cannot clock faster than its bus rate, so that START
// came at least afterStartSeconds of wire time after the burst began, and the burst ended at
// least beforeEndSeconds after it (bits clocked at a whole period each, pin states taken as
// instant: both are lower bounds).
struct LatchTiming {
    double afterStartSeconds = 0;
    double beforeEndSeconds = 0;
};

// Transfer options of I2C_DeviceWrite.
constexpr uint32_t XFER_START = 0x01;
constexpr uint32_t XFER_STOP = 0x02;
constexpr uint32_t XFER_BURST = 0x10;
constexpr uint32_t XFER_NO_ADDRESS = 0x40;

bool IsI2cCapable(const FtDeviceListNode& record);

// openElsewhere, when given, gets the number of devices listed as open by another process.
uint32_t CountChannels(uint32_t* count, uint32_t* openElsewhere = nullptr);
uint32_t GetChannelInfo(uint32_t k, FtDeviceListNode* record);  // k counts from 1
uint32_t OpenChannel(uint32_t k);                               // k counts from 1
// Opens the board's channel by its identity (serial number and description recorded at
// discovery), wherever the list now has it. Status 1 with Bridge().boardChanged set when no
// listed device has that identity, or the one opened turns out to be another.
uint32_t OpenBoardChannel(const BoardEntry& board);
uint32_t ConfigureChannel(uint32_t clockRate, uint8_t latencyTimer, uint32_t options);
uint32_t SetChannelClock(uint32_t deviceType, uint32_t rate);
uint32_t SynchroniseEngine();
uint32_t DrainReceiveQueue();
// After a short or late answer: the rest drained, the engine resynchronised, the bus released
// with a STOP. Not 0 when the engine did not echo (the board still does not answer); it is
// tried again before the next burst.
uint32_t RecoverEngine();

uint32_t I2C_DeviceWrite(uint8_t address, uint32_t count, const uint8_t* bytes, uint32_t* sent,
                         uint32_t options);
uint32_t I2C_DeviceRead(FtHandle channel, uint8_t address, uint32_t count, uint8_t* buffer,
                        uint32_t* received);

// A combined write-then-read transaction in one burst: START, address and write, the bytes,
// repeated START, address and read, readCount bytes in (the last NACKed), STOP, and a
// send-immediate when the transfer asks for it. One USB round trip instead of two.
// latch, when given, gets where in the burst the chip takes the value (LatchTiming).
uint32_t I2C_DeviceWriteRead(FtHandle channel, uint8_t address, uint32_t writeCount,
                             const uint8_t* bytes, uint32_t readCount, uint8_t* buffer,
                             uint32_t* received, LatchTiming* latch = nullptr);

// The bytes of that burst as the transaction builds them. out: at least CombinedBurstSize bytes; *readStart (may be null) gets the offset of the repeated START.
// Returns the bytes used.
uint32_t CombinedBurstSize(const TimingRecord& t, uint32_t writeCount, uint32_t readCount,
                           bool sendImmediate);
uint32_t BuildCombinedBurst(uint8_t* out, const TimingRecord& t, uint8_t address,
                            const uint8_t* bytes, uint32_t writeCount, uint32_t readCount,
                            bool sendImmediate, uint32_t* readStart = nullptr);
// The least time the engine takes to run burst[from, to) at this bus clock: the bits it clocks
// out or in, each a whole bit period; pin states and other commands taken as instant.
double LeastWireSeconds(const uint8_t* burst, uint32_t from, uint32_t to, uint32_t clockRate);

// Timing records of configured channels.
const TimingRecord& TimingFor(FtHandle channel);  // the standard-mode row when none
void StoreTimingRecord(FtHandle channel, uint32_t clockRate);
void FreeTimingRecord(FtHandle channel);

}  // namespace kalendo
