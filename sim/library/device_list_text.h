// The text form of a simulated USB device list (environment variable KALENDO_SIM_DEVICES):
// entries in list order separated by ';', each "type:location:description", for example
//   6:0x11:Dual RS232-HS A;6:0x12:Dual RS232-HS B;8:0x21:UM232H
// type and location are decimal or 0x-hexadecimal; the description is taken as written (up to
// 63 characters, no ';'). "none" is an empty list.
#pragma once

#include <string>
#include <vector>

#include "sim/library/simulated_library.h"

namespace kalendo::sim {

// False with a message naming the bad entry; *devices is then left unchanged.
bool ParseDeviceList(const std::string& text, std::vector<UsbDeviceEntry>* devices,
                     std::string* error);

}  // namespace kalendo::sim
