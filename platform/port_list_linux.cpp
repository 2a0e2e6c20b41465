// SPDX-License-Identifier: MIT
#include <libudev.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/port_list.h"

// The devices come from udev's view of sysfs. A port list that opens each port to see whether a UART answers
// there would raise DTR and RTS on the clocks wired to them, and would open the console of a machine whose
// first port is one; so the UARTs are told from the empty places the kernel keeps for them by sysfs alone.

namespace platform {
namespace {

struct Unref {
  void operator()(udev* context) const { udev_unref(context); }
  void operator()(udev_enumerate* enumeration) const { udev_enumerate_unref(enumeration); }
  void operator()(udev_device* device) const { udev_device_unref(device); }
};
template <typename T>
using Owned = std::unique_ptr<T, Unref>;

std::string Text(const char* value) { return value != nullptr ? value : ""; }

// A terminal with hardware behind it; of the serial core's ports, which all say what UART they have, only
// those that have one (type 0 is none: a place kept for a port that was never found).
bool IsSerialPort(udev_device* tty) {
  if (udev_device_get_parent(tty) == nullptr || udev_device_get_devnode(tty) == nullptr) return false;
  const char* uartType = udev_device_get_sysattr_value(tty, "type");
  return uartType == nullptr || std::strcmp(uartType, "0") != 0;
}

SerialPortInfo Describe(udev_device* tty) {
  SerialPortInfo port;
  port.device = udev_device_get_devnode(tty);
  unsigned number = 0;
  char rest = 0;
  port.name = std::sscanf(port.device.c_str(), "/dev/ttyS%u%c", &number, &rest) == 1
                  ? "COM" + std::to_string(number + 1)
                  : port.device;
  for (udev_list_entry* link = udev_device_get_devlinks_list_entry(tty); link != nullptr;
       link = udev_list_entry_get_next(link)) {
    const std::string name = udev_list_entry_get_name(link);
    if (name.starts_with("/dev/serial/by-id/")) port.stableName = name;
  }
  if (udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device")) {
    port.usbVendorId = Text(udev_device_get_sysattr_value(usb, "idVendor"));
    port.usbProductId = Text(udev_device_get_sysattr_value(usb, "idProduct"));
    port.manufacturer = Text(udev_device_get_sysattr_value(usb, "manufacturer"));
    port.product = Text(udev_device_get_sysattr_value(usb, "product"));
    port.serialNumber = Text(udev_device_get_sysattr_value(usb, "serial"));
  }
  return port;
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPorts() {
  std::vector<SerialPortInfo> ports;
  const Owned<udev> context(udev_new());
  if (!context) return ports;
  const Owned<udev_enumerate> enumeration(udev_enumerate_new(context.get()));
  if (!enumeration) return ports;
  udev_enumerate_add_match_subsystem(enumeration.get(), "tty");
  udev_enumerate_scan_devices(enumeration.get());
  for (udev_list_entry* entry = udev_enumerate_get_list_entry(enumeration.get()); entry != nullptr;
       entry = udev_list_entry_get_next(entry)) {
    const Owned<udev_device> tty(udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
    if (tty && IsSerialPort(tty.get())) ports.push_back(Describe(tty.get()));
  }
  return ports;
}

}  // namespace platform
