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

// A pseudo-terminal has no modem lines, so the changes may fail, but not as for a device gone, save that Wine
// denies access as some drivers do for a device pulled out; the port must still close, and then open again.
TEST(SerialPortWindows, ClosesAfterLineChangesAndOpensAgain) {
  const PortHandle port = platform::OpenSerialPort(kPort).handle;
  ASSERT_NE(port, kNoPort);
  for (LineChange change : {LineChange::SetRts, LineChange::ClearRts, LineChange::SetDtr, LineChange::ClearDtr}) {
    const platform::SystemError error = platform::ChangeLine(port, change);
    EXPECT_EQ(platform::MeansPortGone(error), RunningUnderWine() && error == ERROR_ACCESS_DENIED) << error;
  }
  platform::CloseSerialPort(port);
  DWORD flags = 0;
  EXPECT_FALSE(::GetHandleInformation(reinterpret_cast<HANDLE>(port), &flags)) << "the handle outlived the close";
  const PortHandle again = platform::OpenSerialPort(kPort).handle;
  EXPECT_NE(again, kNoPort);
  if (again != kNoPort) platform::CloseSerialPort(again);
}

TEST(SerialPortWindows, SecondOpenFailsWhileTheFirstHoldsThePort) {
  if (RunningUnderWine()) GTEST_SKIP() << "Wine keeps no share modes for devices, only for files";
  const PortHandle port = platform::OpenSerialPort(kPort).handle;
  ASSERT_NE(port, kNoPort);
  const PortHandle second = platform::OpenSerialPort(kPort).handle;
  EXPECT_EQ(second, kNoPort);
  if (second != kNoPort) platform::CloseSerialPort(second);
  platform::CloseSerialPort(port);
}

// Names that no machine maps to a device: an absent higher port might be a real one elsewhere.
TEST(SerialPortWindows, MissingPortsDoNotOpenAndSaySo) {
  for (const char* name : {"COM0", "NOSUCHPORT", "/dev/ttyS0", "COM255"}) {
    SCOPED_TRACE(name);
    const platform::PortOpening opening = platform::OpenSerialPort(name);
    EXPECT_EQ(opening.handle, kNoPort);
    EXPECT_EQ(opening.error, static_cast<platform::SystemError>(ERROR_FILE_NOT_FOUND));
  }
}

}  // namespace
