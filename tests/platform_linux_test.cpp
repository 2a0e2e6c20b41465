// The Linux serial port and single-instance guard on the real system calls. The port tests open
// "COM1", so this program runs only with /dev/ttyS0 masked by a pseudo-terminal (scripts/masked) and
// refuses to start otherwise.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "platform/instance_guard.h"
#include "platform/serial_port.h"

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

}  // namespace

int main(int argc, char** argv) {
  if (!SerialPortIsMasked()) {
    std::fputs("platform_linux_test: /dev/ttyS0 is not a pseudo-terminal stand-in; run it through scripts/masked\n",
               stderr);
    return 2;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
