// SPDX-License-Identifier: MIT
#include "app/unattended.h"

#include <QCoreApplication>

#include "app/application.h"
#include "app/transmitter.h"
#include "platform/instance_guard.h"
#include "platform/report.h"
#include "platform/service.h"
#include "platform/stop_request.h"
#include "platform/tick_timer.h"
#include "timecode/tick_engine.h"

namespace {

// The check boxes, which no one can change without a window.
BoxStates Switches;

bool ToneChecked() { return Switches.Tone; }
bool InvertOutputChecked() { return Switches.InvertOutput; }
bool ParityInverted(timecode::ParityBit parity) { return ParityInvertedBy(Switches, parity); }

}  // namespace

int RunWithoutWindow(const Settings& settings) {
  const platform::InstanceGuard guard = platform::CreateInstanceGuard(kInstanceGuardName);
  if (guard.alreadyExisted) {
    platform::Report(platform::Severity::Error, "Application already running");
    return 1;
  }
  Switches = settings.Boxes;
  // Nothing is shown: what is sent goes to the service manager's status once a minute, never a line a second.
  StartTransmitter(settings, {.ShowTime = [](const timecode::TimeSample&) {},
                              .ShowLamp = [](bool) {},
                              .ToneChecked = ToneChecked,
                              .InvertOutputChecked = InvertOutputChecked,
                              .ParityInverted = ParityInverted,
                              .ShowClockSync = [](const QString&) {},
                              .SecondShown = [] {}});
  OpenPorts(settings, true);
  platform::TickTimer timer(timecode::kTickPeriod);
  QObject::connect(&timer, &platform::TickTimer::timeout, TransmitterTick);
  platform::CallOnStopRequest(&timer, [] {
    platform::TellStopping();
    QCoreApplication::quit();
  });
  platform::TellReady();
  QCoreApplication::exec();
  StopTransmitter();
  platform::ReleaseInstanceGuard(guard.handle);
  return 0;
}
