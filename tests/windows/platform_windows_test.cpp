// SPDX-License-Identifier: MIT
// The Windows serial port under Wine, with COM1 masked (scripts/windows-check): it opens by its name, and again once
// closed, as when a port that went away is tried again. The guard and a missing port are checked on the program.

#include <gtest/gtest.h>

#include "platform/serial_port.h"

TEST(PlatformWindows, PortOpensAgainOnceClosed) {
  const platform::PortHandle port = platform::OpenSerialPort("COM1").handle;
  ASSERT_NE(port, platform::kNoPort);
  platform::CloseSerialPort(port);
  EXPECT_NE(platform::OpenSerialPort("COM1").handle, platform::kNoPort);
}
