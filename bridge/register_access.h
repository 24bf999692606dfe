// Register access by register number and width, the device table and the output pin.
// Every failure travels as a result value or as the sticky BusStatus; nothing throws.
#pragma once

#include <cstdint>

#include "bridge/bridge_state.h"
#include "bridge/bus_lock.h"
#include "bridge/i2c_engine.h"

namespace kalendo {

// BusStatus codes. The bridge layer only ever sets a non-zero code; callers clear it.
constexpr int32_t kBusOk = 0;
constexpr int32_t kBusTransactionFailed = 1;  // also: SelectDevice given an invalid handle
constexpr int32_t kBusNoChannel = 3;
constexpr int32_t kBusInvalidSelection = 4;

bool IsValidHandle(DeviceHandle h);
DeviceEntry* EntryOf(DeviceHandle h);  // null when h is not valid

DeviceHandle FirstDeviceOfBoard(uint32_t boardIndex);
DeviceHandle FindDeviceByName(DeviceHandle board, const char* name);
DeviceHandle SelectDevice(DeviceHandle h);  // returns the previous ActiveDevice
int OpenSelectedDevice();
DeviceHandle AttachDevice(DeviceHandle h);
void BuildDeviceTable(uint32_t channelIndex);
void FillWidthMask();

uint32_t ReadRegisterChecked(uint8_t reg, uint32_t width);
void WriteRegisterChecked(uint8_t reg, uint32_t value, uint32_t width);
uint32_t ReadDeviceRegister(uint8_t reg, uint32_t width);
void WriteDeviceRegister(uint8_t reg, uint32_t value, uint32_t width);
void WriteDeviceRegister(uint8_t reg, uint32_t value, uint32_t width, WhenStopped stopped);

// How a port's answers come back: when the bridge's latency timer runs out (the pages), or one USB
// round trip after each burst, which ends with a send-immediate (the check's and drift's polls).
enum class AnswerTiming { LatencyTimer, Immediate };

// One register transaction on the named device, whatever was selected before: the device is
// selected for it, so no transaction can go to a device another one left selected. True when
// this transaction succeeded; a failure also reaches every live BusAction. An invalid handle
// sends nothing (status 4, the fallback value).
bool ReadRegisterOf(DeviceHandle device, uint8_t reg, uint32_t width, uint32_t* value,
                    AnswerTiming timing = AnswerTiming::LatencyTimer);
bool WriteRegisterOf(DeviceHandle device, uint8_t reg, uint32_t value, uint32_t width,
                     WhenStopped stopped = WhenStopped::Skip,
                     AnswerTiming timing = AnswerTiming::LatencyTimer);
// The same read as one combined burst (register written, repeated START, bytes read), for polls
// that are timed; the same bus, silence and resynchronisation rules as every transfer.
// *latch gets where in the burst the chip took the value (i2c_engine.h); zeros when the read
// failed.
bool ReadRegisterInOneBurstOf(DeviceHandle device, uint8_t reg, uint32_t width, uint32_t* value,
                              AnswerTiming timing, LatchTiming* latch);

int SetBridgeOutputPin(uint32_t level);

}  // namespace kalendo
