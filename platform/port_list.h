// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

// The serial ports present, found from what the system knows of its devices: no port is opened to find them.

namespace platform {

// What is known of a port; empty where nothing is.
struct SerialPortInfo {
  std::string name;        // as the program takes it: COMn for the numbered ports, a device path for others
  std::string device;      // the device the name stands for
  std::string stableName;  // a name that stays with the adapter whichever socket it is plugged into
  std::string usbVendorId, usbProductId;  // four hexadecimal digits each, for a USB adapter
  std::string manufacturer, product, serialNumber;
};

std::vector<SerialPortInfo> ListSerialPorts();

}  // namespace platform
