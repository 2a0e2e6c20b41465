// SPDX-License-Identifier: MIT
// The Windows serial port and sound device under Wine, COM1 masked and a sound server's sink given (windows-check): the
// port opens by its name, and again once closed, as when a port that went away is tried again. The guard and a missing
// port are checked on the program.

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/audio_device.h"
#include "platform/serial_port.h"
#include "platform/steady_clock.h"

TEST(PlatformWindows, PortOpensAgainOnceClosed) {
  const platform::PortHandle port = platform::OpenSerialPort("COM1").handle;
  ASSERT_NE(port, platform::kNoPort);
  platform::CloseSerialPort(port);
  EXPECT_NE(platform::OpenSerialPort("COM1").handle, platform::kNoPort);
}

// Opened by the name the list gives, at no more than the rate asked; after a second written as it plays, its next frame
// leaves within the buffer's length of now on the steady clock; left to run dry, it says so. A made-up name opens none.
TEST(PlatformWindows, SoundEndpointTellsWhenTheNextFrameLeavesAndWhenItRanDry) {
  using namespace std::chrono_literals;
  const auto devices = platform::ListAudioDevices();
  ASSERT_GE(devices.size(), 2U) << "no sound endpoint: is windows-check's sound server running?";
  const platform::AudioOpening opening = platform::OpenAudio(devices.back().name.c_str(), 48'000);
  ASSERT_TRUE(opening.device != nullptr && opening.rate <= 48'000) << opening.error << " " << opening.rate;
  const std::vector<std::int16_t> second(static_cast<std::size_t>(opening.rate));
  platform::SystemError error = 0;
  std::int64_t leaves = 0;
  EXPECT_EQ(platform::WriteAudio(opening.device, second.data(), opening.rate, error), platform::AudioResult::Done);
  EXPECT_EQ(platform::NextFrameTime(opening.device, leaves, error), platform::AudioResult::Done);
  const auto ahead = std::chrono::nanoseconds(leaves - platform::SteadyNanos());
  EXPECT_TRUE(ahead > 0s && ahead < 500ms) << std::chrono::duration_cast<std::chrono::milliseconds>(ahead).count();
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(platform::NextFrameTime(opening.device, leaves, error), platform::AudioResult::Underrun);
  platform::CloseAudio(opening.device);
  EXPECT_EQ(platform::OpenAudio("No Such Speakers", 48'000).error, platform::SystemError{ERROR_BAD_UNIT});
}
