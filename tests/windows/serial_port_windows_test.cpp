#include <windows.h>

#include <gtest/gtest.h>

#include "platform/serial_port.h"

namespace {

using platform::kNoPort;
using platform::LineChange;
using platform::PortHandle;

// Under the check script Wine maps COM1 to /dev/ttyS0, which is masked by a pseudo-terminal.
constexpr char kPort[] = "COM1";

bool RunningUnderWine() { return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

// A pseudo-terminal has no modem lines, so the changes themselves may fail; the port must still close,
// handle and all, and then open again.
TEST(SerialPortWindows, ClosesAfterLineChangesAndOpensAgain) {
  const PortHandle port = platform::OpenSerialPort(kPort);
  ASSERT_NE(port, kNoPort);
  for (LineChange change : {LineChange::SetRts, LineChange::ClearRts, LineChange::SetDtr, LineChange::ClearDtr}) {
    platform::ChangeLine(port, change);
  }
  platform::CloseSerialPort(port);
  DWORD flags = 0;
  EXPECT_FALSE(::GetHandleInformation(reinterpret_cast<HANDLE>(port), &flags)) << "the handle outlived the close";
  const PortHandle again = platform::OpenSerialPort(kPort);
  EXPECT_NE(again, kNoPort);
  if (again != kNoPort) platform::CloseSerialPort(again);
}

TEST(SerialPortWindows, SecondOpenFailsWhileTheFirstHoldsThePort) {
  if (RunningUnderWine()) GTEST_SKIP() << "Wine keeps no share modes for devices, only for files";
  const PortHandle port = platform::OpenSerialPort(kPort);
  ASSERT_NE(port, kNoPort);
  const PortHandle second = platform::OpenSerialPort(kPort);
  EXPECT_EQ(second, kNoPort);
  if (second != kNoPort) platform::CloseSerialPort(second);
  platform::CloseSerialPort(port);
}

TEST(SerialPortWindows, MissingPortsDoNotOpen) {
  // Names that no machine maps to a device: an absent higher port might be a real one elsewhere.
  for (const char* name : {"COM0", "NOSUCHPORT"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(platform::OpenSerialPort(name), kNoPort);
  }
}

}  // namespace
