// The Windows back-ends under Wine, with COM1 masked (scripts/windows-check): the port opens only by its name and
// again once closed, a missing one says why, and the guard is found by a second creation.

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/instance_guard.h"
#include "platform/serial_port.h"

TEST(PlatformWindows, PortAndGuard) {
  const platform::PortHandle port = platform::OpenSerialPort("COM1").handle;
  ASSERT_NE(port, platform::kNoPort);
  platform::CloseSerialPort(port);
  EXPECT_NE(platform::OpenSerialPort("COM1").handle, platform::kNoPort);
  const platform::PortOpening missing = platform::OpenSerialPort("NOSUCHPORT");
  EXPECT_EQ(std::pair(missing.handle, missing.error),
            std::pair(platform::kNoPort, platform::SystemError{ERROR_FILE_NOT_FOUND}));
  EXPECT_FALSE(platform::CreateInstanceGuard("velkorin-windows-test").alreadyExisted);
  EXPECT_TRUE(platform::CreateInstanceGuard("velkorin-windows-test").alreadyExisted);
}

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
