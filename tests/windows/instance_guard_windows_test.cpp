#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/instance_guard.h"

namespace {

using platform::CreateInstanceGuard;
using platform::InstanceGuard;
using platform::kNoGuard;

// The test program is also the other process: started with this option and a name, it only creates
// that guard and tells what it found through its exit code, away from 0, 1 and crash codes.
constexpr char kProbeOption[] = "--probe-guard";
enum Probe : DWORD { kCreatedAnew = 40, kFoundExisting = 41, kNoGuardMade = 42 };

Probe ProbeHere(const char* name) {
  const InstanceGuard guard = CreateInstanceGuard(name);
  if (guard.handle == kNoGuard) return kNoGuardMade;
  return guard.alreadyExisted ? kFoundExisting : kCreatedAnew;
}

DWORD ProbeInOtherProcess(const std::string& name) {
  char self[MAX_PATH];
  ::GetModuleFileNameA(nullptr, self, sizeof self);
  std::string commandLine = std::string("\"") + self + "\" " + kProbeOption + " " + name;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  if (!::CreateProcessA(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child)) {
    ADD_FAILURE() << "cannot start " << commandLine << ": error " << ::GetLastError();
    return 0;
  }
  ::WaitForSingleObject(child.hProcess, INFINITE);
  DWORD exitCode = 0;
  ::GetExitCodeProcess(child.hProcess, &exitCode);
  ::CloseHandle(child.hThread);
  ::CloseHandle(child.hProcess);
  return exitCode;
}

// Names of this run alone, so that no other program or earlier run can hold them.
std::string UniqueName(const char* purpose) {
  return "velkorin-guard-test-" + std::to_string(::GetCurrentProcessId()) + "-" + purpose;
}

void CloseGuard(const InstanceGuard& guard) {
  platform::ReleaseInstanceGuard(guard.handle);
  ::CloseHandle(reinterpret_cast<HANDLE>(guard.handle));
}

TEST(InstanceGuardWindows, SecondCreateInTheSameProcessFindsTheFirst) {
  const std::string name = UniqueName("same-process");
  const InstanceGuard first = CreateInstanceGuard(name.c_str());
  ASSERT_NE(first.handle, kNoGuard);
  EXPECT_FALSE(first.alreadyExisted);
  const InstanceGuard second = CreateInstanceGuard(name.c_str());
  ASSERT_NE(second.handle, kNoGuard);
  EXPECT_TRUE(second.alreadyExisted);
  EXPECT_EQ(ProbeInOtherProcess(name), kFoundExisting);
  CloseGuard(second);
  CloseGuard(first);
  EXPECT_EQ(ProbeHere(name.c_str()), kCreatedAnew);  // leaves its handle open, to the end of the test program
}

TEST(InstanceGuardWindows, OtherProcessFindsItUntilItsLastHandleIsClosed) {
  const std::string name = UniqueName("other-process");
  EXPECT_EQ(ProbeInOtherProcess(name), kCreatedAnew);  // the child's guard went with the child
  const InstanceGuard guard = CreateInstanceGuard(name.c_str());
  ASSERT_NE(guard.handle, kNoGuard);
  EXPECT_EQ(ProbeInOtherProcess(name), kFoundExisting);
  platform::ReleaseInstanceGuard(guard.handle);
  EXPECT_EQ(ProbeInOtherProcess(name), kFoundExisting);  // released, but the handle keeps the name
  ::CloseHandle(reinterpret_cast<HANDLE>(guard.handle));
  EXPECT_EQ(ProbeInOtherProcess(name), kCreatedAnew);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], kProbeOption) == 0) return ProbeHere(argv[2]);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
