// SPDX-License-Identifier: MIT
#include <windows.h>
// After windows.h, which they need:
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <cctype>
#include <cwchar>
#include <cwctype>
#include <iterator>
#include <string>

#include "platform/port_list.h"
#include "platform/port_name.h"

// The ports of the Ports device class, read from the system's device registry without opening any: the name each
// is given (PortName), who made it and what it is, and for a USB adapter its identifiers, found in its hardware
// and instance identifiers ("USB\VID_0403&PID_6001\A50285BI"; some drivers' own bus writes "VID_0403+PID_6001").
// Then the ports that only the serial device map names: those of drivers outside the Ports class, and Wine's.

namespace platform {
namespace {

std::string Utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string converted(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, converted.data(), size, nullptr, nullptr);
  converted.pop_back();  // the terminating zero
  return converted;
}

std::wstring DeviceProperty(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property) {
  wchar_t value[512] = {};
  if (!SetupDiGetDeviceRegistryPropertyW(devices, &device, property, nullptr, reinterpret_cast<BYTE*>(value),
                                         sizeof value - sizeof(wchar_t), nullptr)) {
    return {};
  }
  return value;  // the first string of a list (hardware identifiers) is the most specific
}

std::wstring PortName(HDEVINFO devices, SP_DEVINFO_DATA& device) {
  const HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
  if (key == INVALID_HANDLE_VALUE) return {};
  wchar_t name[64] = {};
  DWORD size = sizeof name - sizeof(wchar_t);
  DWORD type = 0;
  const bool read =
      RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size) == ERROR_SUCCESS &&
      type == REG_SZ;
  RegCloseKey(key);
  return read ? name : std::wstring();
}

// The four hexadecimal digits after key ("VID_") in an identifier, if there are.
std::string IdAfter(const std::wstring& identifier, const wchar_t* key) {
  const std::size_t at = identifier.find(key);
  if (at == std::wstring::npos) return {};
  const std::wstring digits = identifier.substr(at + std::wcslen(key), 4);
  if (digits.size() != 4 ||
      !std::all_of(digits.begin(), digits.end(), [](wchar_t c) { return std::iswxdigit(c) != 0; }))
    return {};
  std::string id = Utf8(digits.c_str());
  std::transform(id.begin(), id.end(), id.begin(), [](unsigned char c) { return std::tolower(c); });
  return id;
}

// A USB device's instance identifier ends in its serial number, or in a position on the hub ("5&2c4a1f&0&2",
// with ampersands) when it has none.
std::string UsbSerialNumber(HDEVINFO devices, SP_DEVINFO_DATA& device) {
  wchar_t instance[256] = {};
  if (!SetupDiGetDeviceInstanceIdW(devices, &device, instance, std::size(instance), nullptr)) return {};
  const std::wstring id = instance;
  if (id.rfind(L"USB\\", 0) != 0) return {};
  const std::wstring last = id.substr(id.rfind(L'\\') + 1);
  return last.find(L'&') == std::wstring::npos ? Utf8(last.c_str()) : std::string();
}

void AddPortsOfTheDeviceMap(std::vector<SerialPortInfo>& ports) {
  HKEY map = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &map) !=
      ERROR_SUCCESS) {
    return;
  }
  for (DWORD index = 0;; ++index) {
    wchar_t device[256], name[64] = {};
    DWORD deviceSize = std::size(device), nameSize = sizeof name - sizeof(wchar_t), type = 0;
    const LSTATUS read =
        RegEnumValueW(map, index, device, &deviceSize, nullptr, &type, reinterpret_cast<BYTE*>(name), &nameSize);
    if (read == ERROR_MORE_DATA) continue;
    if (read != ERROR_SUCCESS) break;
    SerialPortInfo port;
    port.name = Utf8(name);
    char path[kDevicePathSize];
    const bool listed =
        std::any_of(ports.begin(), ports.end(), [&](const SerialPortInfo& p) { return p.name == port.name; });
    if (type != REG_SZ || listed || !DevicePathFor(port.name.c_str(), path)) continue;
    port.device = path;
    ports.push_back(std::move(port));
  }
  RegCloseKey(map);
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPorts() {
  std::vector<SerialPortInfo> ports;
  const HDEVINFO devices = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; devices != INVALID_HANDLE_VALUE && SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
    const std::string name = Utf8(PortName(devices, device).c_str());
    char path[kDevicePathSize];
    if (!DevicePathFor(name.c_str(), path)) continue;  // a printer port, or a port under a name of its own
    const std::wstring hardware = DeviceProperty(devices, device, SPDRP_HARDWAREID);
    SerialPortInfo port;
    port.name = name;
    port.device = path;
    port.usbVendorId = IdAfter(hardware, L"VID_");
    port.usbProductId = IdAfter(hardware, L"PID_");
    if (!port.usbVendorId.empty()) {
      port.manufacturer = Utf8(DeviceProperty(devices, device, SPDRP_MFG).c_str());
      port.product = Utf8(DeviceProperty(devices, device, SPDRP_DEVICEDESC).c_str());
      port.serialNumber = UsbSerialNumber(devices, device);
    }
    ports.push_back(std::move(port));
  }
  if (devices != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(devices);
  AddPortsOfTheDeviceMap(ports);
  std::sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
    return ComPortNumber(a.name.c_str()) < ComPortNumber(b.name.c_str());
  });
  return ports;
}

}  // namespace platform
