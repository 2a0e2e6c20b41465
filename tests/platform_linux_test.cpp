// SPDX-License-Identifier: MIT
// The Linux serial port, instance guard and tick timer (its seam) on real system calls; run masked (scripts/masked).

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

#include "platform/audio_device.h"
#include "platform/instance_guard.h"
#include "platform/serial_port.h"
#include "platform/steady_clock.h"
#include "platform/tick_timer.h"
#include "platform/tick_timer_linux.h"

TEST(SerialPortTest, OnlyAHungUpTerminalHasGoneAndAFailedOpenSaysWhereAndWhy) {
  const int other = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_TRUE(other >= 0 && ::unlockpt(other) == 0);
  const platform::PortHandle port = platform::OpenSerialPort(::ptsname(other)).handle;
  ASSERT_NE(port, platform::kNoPort);
  const platform::SystemError live = platform::ChangeLine(port, platform::LineChange::SetDtr);  // no modem lines
  EXPECT_EQ(std::pair(live, platform::MeansPortGone(live)), std::pair(platform::SystemError{ENOTTY}, false));
  ::close(other);  // hangs the terminal up, as the kernel does to a USB adapter's when it is pulled out
  EXPECT_TRUE(platform::MeansPortGone(platform::ChangeLine(port, platform::LineChange::ClearDtr)));
  platform::CloseSerialPort(port);

  const std::string missing = QTemporaryDir().filePath("ttyS9").toStdString();  // not "COM10": it may be there
  const platform::PortOpening failed = platform::OpenSerialPort(missing.c_str());
  EXPECT_EQ(std::tuple(failed.handle, std::string(failed.failedStep), failed.error, std::string(failed.device)),
            std::tuple(platform::kNoPort, std::string("open"), platform::SystemError{ENOENT}, missing));
}

// The advice given with a port that cannot be opened: a console is no port to claim, a UART slot without hardware is
// no port at all.
TEST(SerialPortTest, OpenErrorsSayWhatToDo) {
  const QTemporaryDir directory;
  const std::string console = directory.filePath("tty1").toStdString(),
                    port = directory.filePath("ttyS0").toStdString();
  for (const auto& [path, group] : {std::pair(console, "tty"), std::pair(port, "dialout")}) {
    ::close(::open(path.c_str(), O_CREAT | O_WRONLY, 0620));
    ASSERT_EQ(::chown(path.c_str(), 0, ::getgrnam(group)->gr_gid), 0) << group;
  }
  const std::tuple<int, const std::string&, const char*> kCases[] = {
      {EACCES, console, "Permission denied: the port is a terminal in use as a console, not a free serial port"},
      {EACCES, port,
       "Permission denied: the port is for the group dialout; join it with sudo adduser \"$USER\" "
       "dialout and log in again"},
      {EIO, port, "Input/output error: there is no serial port at that name"},
      {EBUSY, port, "Device or resource busy: another program holds the port"},
  };
  for (const auto& [error, path, expected] : kCases) {
    char text[256];
    platform::DescribeOpenError(error, path.c_str(), text, sizeof text);
    EXPECT_STREQ(text, expected);
  }
}

// ALSA's null device, which every system has: listed, opened at the rate asked, told when its frames leave (now on the
// steady clock, as it plays nothing), written to; and a device that is not there refused with the reason.
TEST(AudioDeviceTest, TheNullDeviceTakesFramesAndAMissingOneIsRefused) {
  const auto devices = platform::ListAudioDevices();
  EXPECT_TRUE(std::any_of(devices.begin(), devices.end(), [](const auto& device) { return device.name == "null"; }));
  const platform::AudioOpening opening = platform::OpenAudio("null", 48'000);
  ASSERT_NE(opening.device, nullptr);
  EXPECT_EQ(opening.rate, 48'000);
  const std::vector<std::int16_t> frames(4800);
  platform::SystemError error = 0;
  std::int64_t leaves = 0;
  EXPECT_EQ(platform::WriteAudio(opening.device, frames.data(), 4800, error), platform::AudioResult::Done);
  EXPECT_EQ(platform::NextFrameTime(opening.device, leaves, error), platform::AudioResult::Done);
  EXPECT_LT(std::abs(leaves - platform::SteadyNanos()), 2'000'000'000) << "on the steady clock";
  platform::CloseAudio(opening.device);
  EXPECT_EQ(platform::OpenAudio("hw:CARD=Nowhere", 48'000).device, nullptr);
}

// The tick timer's clock and kernel made up: each arming taken is recorded and expires 1 ms later.
constexpr std::int64_t kSecond = 1'000'000'000, kStart = 1'700'000'000 * kSecond + 3'000'000, kHour = 3600 * kSecond;
struct FakeSystem {
  const char* name;
  std::int64_t clock, setWhenArmed, setBeforeRead;  // the clock set by these as the timer is armed and read
  bool refuseCancelOnSet;
  std::vector<std::pair<int, std::int64_t>> expected, armed = {};  // flags and expiry (ns): by the first tick, so far
} Fake;

TEST(TickTimerTest, KeepsToTheWallClocksGridHoweverTheClockIsSetAndWhateverTheKernelRefuses) {
  static constexpr platform::TimerCalls kFakeCalls = {
      [](clockid_t, timespec* now) {
        return *now = {Fake.clock / kSecond, Fake.clock % kSecond}, 0;
      },
      [](int fd, int flags, const itimerspec* expiry, itimerspec*) {
        Fake.clock += std::exchange(Fake.setWhenArmed, 0);  // between reading the clock and arming
        if (Fake.refuseCancelOnSet && (flags & TFD_TIMER_CANCEL_ON_SET)) return errno = EINVAL, -1;
        Fake.armed.emplace_back(flags, expiry->it_value.tv_sec * kSecond + expiry->it_value.tv_nsec);
        const itimerspec soon{expiry->it_interval, {0, 1'000'000}};
        return ::timerfd_settime(fd, 0, &soon, nullptr);
      },
      [](int fd, void* buffer, size_t size) {  // a clock set while ticking is told as a cancellation
        const ssize_t result = ::read(fd, buffer, size);
        Fake.clock += Fake.setBeforeRead;
        return std::exchange(Fake.setBeforeRead, 0) ? errno = ECANCELED, -1 : result;
      },
  };
  constexpr std::int64_t kGrid = kStart + 7'000'000, kCancelled = TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET;
  const FakeSystem kCases[] = {
      {"set back as it is armed", kStart, -kHour, 0, false, {{kCancelled, kGrid}, {kCancelled, kGrid - kHour}}},
      {"set while it ticks", kStart, 0, kHour, false, {{kCancelled, kGrid}, {kCancelled, kGrid + kHour}}},
      {"refused: armed each tick", kStart, 0, 0, true, {{0, kGrid - kStart}, {0, kGrid - kStart}}},
  };
  for (const FakeSystem& fake : kCases) {
    Fake = fake;
    testing::internal::CaptureStderr();
    std::atomic<int> ticks{0};
    {
      platform::TickTimer timer(std::chrono::milliseconds{10}, kFakeCalls);
      QObject::connect(
          &timer, &platform::TickTimer::timeout, &timer, [&ticks] { ++ticks; }, Qt::DirectConnection);
      for (int waited = 0; ticks == 0 && waited < 200; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds{10});
    }  // stopped: the armings by the first tick are all there, and a few after it
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_GT(ticks, 0) << fake.name;
    Fake.armed.resize(std::min(Fake.armed.size(), fake.expected.size()));
    EXPECT_EQ(Fake.armed, fake.expected) << fake.name;
    EXPECT_EQ(said.find(std::strerror(EINVAL)) != said.npos, fake.refuseCancelOnSet) << fake.name << ": " << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), fake.refuseCancelOnSet) << fake.name << ", once: " << said;
  }
}

// Another user, "nobody", prepares the guard's places first: the runtime directory named is its own, with a lock
// held there, and the guard's directory in the temporary one is a link to one of root's.
TEST(InstanceGuardTest, NothingAnotherUserPreparesStopsOrFoolsIt) {
  if (::getuid() != 0) GTEST_SKIP() << "needs root, to act as nobody (65534)";
  const QTemporaryDir temporary, rootsOwn;
  const std::string othersRuntime = temporary.filePath("nobody").toStdString(),
                    guardDirectory = temporary.filePath("velkorin-0").toStdString(), lock = "/test.lock";
  ::chmod(temporary.path().toLocal8Bit().constData(), 01777);
  const QByteArray formerTemporary = qgetenv("TMPDIR");
  ::setenv("TMPDIR", temporary.path().toLocal8Bit().constData(), 1);
  ::setenv("XDG_RUNTIME_DIR", othersRuntime.c_str(), 1);
  const pid_t child = ::fork();
  if (child == 0)
    ::_exit(::setuid(65534) || ::mkdir(othersRuntime.c_str(), 0700) ||
            ::symlink(rootsOwn.path().toLocal8Bit().constData(), guardDirectory.c_str()) ||
            ::close(::open((othersRuntime + lock).c_str(), O_RDONLY | O_CREAT, 0600)));
  int status = -1;
  ASSERT_EQ((::waitpid(child, &status, 0), status), 0) << "nobody could not prepare";
  ASSERT_EQ(::flock(::open((othersRuntime + lock).c_str(), O_RDONLY), LOCK_EX), 0);  // as by a copy nobody runs

  const platform::InstanceGuard refused = platform::CreateInstanceGuard("test");
  EXPECT_EQ(std::pair(refused.handle, refused.alreadyExisted), std::pair(platform::kNoGuard, false));
  ::unlink(guardDirectory.c_str());  // then the guard's directory is made anew, for root alone
  EXPECT_NE(platform::CreateInstanceGuard("test").handle, platform::kNoGuard);
  struct stat made {};
  ::lstat(guardDirectory.c_str(), &made);
  EXPECT_EQ(std::pair(made.st_uid, made.st_mode), std::pair(0U, S_IFDIR | 0700U));
  qputenv("TMPDIR", formerTemporary);  // not left naming a directory about to go
}

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);  // for the tick timer's events
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
