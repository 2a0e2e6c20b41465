// SPDX-License-Identifier: MIT
#include "app/port_listing.h"

#include <string>
#include <vector>

#include "platform/port_list.h"
#include "platform/report.h"

namespace {

std::string Described(const platform::SerialPortInfo& port) {
  std::string line = port.name;
  if (port.device != port.name) line += " (" + port.device + ")";
  if (!port.usbVendorId.empty()) {
    line += ": USB " + port.usbVendorId + ":" + port.usbProductId;
    for (const std::string* known : {&port.manufacturer, &port.product}) {
      if (!known->empty()) line += " " + *known;
    }
    if (!port.serialNumber.empty()) line += ", serial number " + port.serialNumber;
  }
  if (!port.stableName.empty()) line += "; stable name " + port.stableName;
  return line;
}

}  // namespace

void PrintPortList(std::FILE* out) {
  const std::vector<platform::SerialPortInfo> ports = platform::ListSerialPorts();
  for (const platform::SerialPortInfo& port : ports) std::fprintf(out, "%s\n", Described(port).c_str());
  if (ports.empty()) platform::Report(platform::Severity::Notice, "found no serial port");
}
