// SPDX-License-Identifier: MIT
#include "app/unattended.h"

#include <QCoreApplication>

#include "app/runner.h"

namespace {

// No one is there to read a box: what keeps the program from starting is only reported, and a request to stop ends it.
class Unattended : public Host {
 public:
  void TellStartFailure(const std::string&, const std::string&) override {}
  void StopRequested() override { QCoreApplication::quit(); }
};

}  // namespace

int RunWithoutWindow(const Settings& settings) {
  Unattended host;
  Runner runner(settings, false);
  // Nothing is shown: what is sent goes to the service manager's status once a minute, never a line a second.
  if (!runner.Start(host, nullptr)) return runner.ExitStatus();
  QCoreApplication::exec();
  runner.CleanUp();
  return 0;
}
