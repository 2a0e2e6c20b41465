#include <QSerialPortInfo>

#include "platform/port_list.h"

// Qt finds the ports in the system's device registry without opening any.

namespace platform {
namespace {

std::string HexId(bool known, quint16 id) {
  return known ? QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0')).toStdString() : std::string();
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPorts() {
  std::vector<SerialPortInfo> ports;
  for (const QSerialPortInfo& found : QSerialPortInfo::availablePorts()) {
    ports.push_back({
        .name = found.portName().toStdString(),
        .device = found.systemLocation().toStdString(),
        .stableName = {},
        .usbVendorId = HexId(found.hasVendorIdentifier(), found.vendorIdentifier()),
        .usbProductId = HexId(found.hasProductIdentifier(), found.productIdentifier()),
        .manufacturer = found.manufacturer().toStdString(),
        .product = found.description().toStdString(),
        .serialNumber = found.serialNumber().toStdString(),
    });
  }
  return ports;
}

}  // namespace platform
