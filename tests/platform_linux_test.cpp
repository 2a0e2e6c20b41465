// The Linux serial port, single-instance guard and tick timer on the real system calls, the timer's
// behind a seam. The port tests open "COM1", so this program runs only with /dev/ttyS0 masked by a
// pseudo-terminal (scripts/masked) and refuses to start otherwise.

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "platform/instance_guard.h"
#include "platform/serial_port.h"
#include "platform/tick_timer.h"
#include "platform/tick_timer_linux.h"

namespace {

using platform::kNoPort;

constexpr unsigned kPseudoTerminalMajor = 136;

bool SerialPortIsMasked() {
  struct stat port;
  return ::stat("/dev/ttyS0", &port) == 0 && S_ISCHR(port.st_mode) && major(port.st_rdev) == kPseudoTerminalMajor;
}

bool SameSettings(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
         cfgetospeed(&a) == cfgetospeed(&b) && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

TEST(SerialPortTest, OpenedWriteOnlyAndExclusivelyAndLeftAsItWas) {
  const int observer = ::open("/dev/ttyS0", O_RDONLY | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(observer, 0);
  termios before{};
  ASSERT_EQ(::tcgetattr(observer, &before), 0);

  const platform::PortHandle port = platform::OpenSerialPort("COM1").handle;
  ASSERT_NE(port, kNoPort);
  const int fd = static_cast<int>(port);
  EXPECT_EQ(::fcntl(fd, F_GETFL) & O_ACCMODE, O_WRONLY);
  EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC);
  const platform::PortOpening second = platform::OpenSerialPort("COM1");
  EXPECT_EQ(second.handle, kNoPort) << "a second opener";
  EXPECT_EQ(second.error, EWOULDBLOCK);
  for (auto change : {platform::LineChange::SetDtr, platform::LineChange::ClearRts, platform::LineChange::ClearDtr,
                      platform::LineChange::SetRts})  // a pseudo-terminal has no modem lines, but has not gone
    EXPECT_FALSE(platform::MeansPortGone(platform::ChangeLine(port, change)));
  platform::CloseSerialPort(port);

  termios after{};
  ASSERT_EQ(::tcgetattr(observer, &after), 0);
  EXPECT_TRUE(SameSettings(before, after)) << "speed, framing or handshake changed";
  ::close(observer);

  const platform::PortHandle again = platform::OpenSerialPort("COM1").handle;
  EXPECT_NE(again, kNoPort) << "after the first was closed";
  platform::CloseSerialPort(again);
}

TEST(SerialPortTest, OnlyPortNamesOpen) {
  for (const char* name : {"COM0", "COM", "COM1x", "LPT1", "dev/ttyS0", ""}) {
    const platform::PortHandle port = platform::OpenSerialPort(name).handle;
    EXPECT_EQ(port, kNoPort) << '"' << name << '"';
    if (port != kNoPort) platform::CloseSerialPort(port);
  }
}

TEST(SerialPortTest, HungUpPortHasGone) {  // as the terminal of a USB adapter pulled out is
  const int other = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_TRUE(other >= 0 && ::unlockpt(other) == 0);
  const platform::PortHandle port = platform::OpenSerialPort(::ptsname(other)).handle;
  ASSERT_NE(port, kNoPort);
  ::close(other);
  EXPECT_TRUE(platform::MeansPortGone(platform::ChangeLine(port, platform::LineChange::SetDtr)));
  platform::CloseSerialPort(port);
}

// Another copy is a child process holding the guard; it ends by being killed, as a crashed copy would.
TEST(InstanceGuardTest, ExistsWhileAnotherProcessHoldsItAndGoesWithThatProcess) {
  const QTemporaryDir runtimeDirectory;
  ::setenv("XDG_RUNTIME_DIR", runtimeDirectory.path().toLocal8Bit().constData(), 1);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t other = ::fork();
  if (other == 0) {
    const bool created = !platform::CreateInstanceGuard("test").alreadyExisted;
    (void)!::write(ready[1], &created, 1);
    ::pause();
    ::_exit(0);
  }
  bool otherCreated = false;
  ASSERT_EQ(::read(ready[0], &otherCreated, 1), 1);
  EXPECT_TRUE(otherCreated);

  const platform::InstanceGuard second = platform::CreateInstanceGuard("test");
  EXPECT_TRUE(second.alreadyExisted);
  EXPECT_NE(second.handle, platform::kNoGuard);
  EXPECT_FALSE(platform::CreateInstanceGuard("another name").alreadyExisted);

  ::kill(other, SIGKILL);
  ::waitpid(other, nullptr, 0);
  const platform::InstanceGuard afterwards = platform::CreateInstanceGuard("test");
  EXPECT_FALSE(afterwards.alreadyExisted);
  EXPECT_TRUE(::fcntl(static_cast<int>(afterwards.handle), F_GETFD) & FD_CLOEXEC);
}

// Another user, "nobody", prepares the guard's places first: the runtime directory named is its own,
// with a lock held there, and the guard's directory in the temporary one is a link to one of root's.
TEST(InstanceGuardTest, NothingAnotherUserPreparesStopsOrFoolsIt) {
  if (::getuid() != 0) GTEST_SKIP() << "needs root, to act as nobody (65534)";
  const QTemporaryDir temporary, rootsOwn;
  const std::string othersRuntime = temporary.filePath("nobody").toStdString(),
                    guardDirectory = temporary.filePath("velkorin-0").toStdString(), lock = "/test.lock";
  ::chmod(temporary.path().toLocal8Bit().constData(), 01777);
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
}

// The tick timer's clock and kernel made up: each arming taken is recorded and expires 1 ms later.
constexpr std::int64_t kSecond = 1'000'000'000, kStart = 1'700'000'000 * kSecond + 3'000'000, kHour = 3600 * kSecond;
struct FakeSystem {
  std::int64_t clock = kStart, setWhenArmed = 0, setBeforeRead = 0;  // set by these as the timer is armed and read
  bool refuseCancelOnSet = false;
  std::vector<std::pair<int, std::int64_t>> armed = {};  // flags and expiry, in ns
} Fake;

TEST(TickTimerTest, KeepsToTheWallClocksGridHoweverTheClockIsSetAndWhateverTheKernelRefuses) {
  platform::TickTimerCalls = {
      [](clockid_t, timespec* now) {
        return *now = {Fake.clock / kSecond, Fake.clock % kSecond}, 0;
      },
      [](int fd, int flags, const itimerspec* expiry, itimerspec*) {
        Fake.clock += std::exchange(Fake.setWhenArmed, 0);
        if (Fake.refuseCancelOnSet && (flags & TFD_TIMER_CANCEL_ON_SET)) return errno = EINVAL, -1;
        Fake.armed.emplace_back(flags, expiry->it_value.tv_sec * kSecond + expiry->it_value.tv_nsec);
        const itimerspec soon{expiry->it_interval, {0, 1'000'000}};
        return ::timerfd_settime(fd, 0, &soon, nullptr);
      },
      [](int fd, void* buffer, size_t size) {  // a set clock is told as a cancellation
        const ssize_t result = ::read(fd, buffer, size);
        Fake.clock += Fake.setBeforeRead;
        return std::exchange(Fake.setBeforeRead, 0) ? errno = ECANCELED, -1 : result;
      },
  };
  constexpr std::int64_t kGrid = kStart + 7'000'000, kCancelled = TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET;
  const struct {
    const char* name;
    FakeSystem fake;
    std::vector<std::pair<int, std::int64_t>> armed;  // by the first tick
  } kCases[] = {
      {"set back as it is armed", {.setWhenArmed = -kHour}, {{kCancelled, kGrid}, {kCancelled, kGrid - kHour}}},
      {"set while it ticks", {.setBeforeRead = kHour}, {{kCancelled, kGrid}, {kCancelled, kGrid + kHour}}},
      {"refused: armed each tick", {.refuseCancelOnSet = true}, {{0, kGrid - kStart}, {0, kGrid - kStart}}},
  };
  for (const auto& [name, fake, armed] : kCases) {
    Fake = fake;
    testing::internal::CaptureStderr();
    platform::TickTimer timer(std::chrono::milliseconds{10});
    QSignalSpy ticks(&timer, &platform::TickTimer::timeout);
    EXPECT_TRUE(ticks.wait());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Fake.armed, armed) << name;
    EXPECT_EQ(said.find(std::strerror(EINVAL)) != said.npos, fake.refuseCancelOnSet) << name << ": " << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), fake.refuseCancelOnSet) << name << ", said once: " << said;
  }
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  if (!SerialPortIsMasked()) {
    std::fputs("platform_linux_test: /dev/ttyS0 is not a pseudo-terminal stand-in; run it through scripts/masked\n",
               stderr);
    return 2;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
