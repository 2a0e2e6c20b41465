// SPDX-License-Identifier: MIT
#include "app/clock_sync_status.h"

#include <QString>
#include <cstdint>
#include <optional>

#include "output/serial_lines.h"
#include "platform/local_clock.h"
#include "platform/report.h"
#include "timecode/tick_engine.h"

platform::ClockSyncState (*ReadClockSync)() = platform::ReadClockSync;

namespace {

using platform::ClockSync;

bool RequireSync = false;
void (*ShowText)(const QString& text) = nullptr;
QString ChosenStartLine;  // the first line of the tooltip when a chosen time is sent, else empty

// What the tooltip says, to compose it again only when that changes: the error estimate moves far less
// often than once a second, and only in the tenths of a millisecond shown.
struct Shown {
  ClockSync sync = ClockSync::Unknown;
  std::int64_t estimatedErrorTenthsOfMs = 0;
  bool holding = false;
  bool operator==(const Shown&) const = default;
};
std::optional<Shown> LastShown;

std::int64_t TenthsOfMs(std::chrono::microseconds error) { return (error.count() + 50) / 100; }

QString Milliseconds(std::int64_t tenths) { return QString::number(static_cast<double>(tenths) / 10, 'f', 1); }

QString ClockSyncText(const Shown& shown) {
  switch (shown.sync) {
    case ClockSync::Synchronised:
      return QStringLiteral("PC clock synchronised, estimated error %1 ms%2")
          .arg(Milliseconds(shown.estimatedErrorTenthsOfMs),
               shown.holding ? QStringLiteral(": sending from the next minute mark") : QString());
    case ClockSync::Unsynchronised:
      return shown.holding ? QStringLiteral("PC clock not synchronised: nothing is sent")
                           : QStringLiteral("PC clock not synchronised: the time sent may be wrong");
    case ClockSync::Unknown: break;
  }
  return shown.holding ? QStringLiteral("PC clock synchronisation unknown: nothing is sent")
                       : QStringLiteral("PC clock synchronisation unknown");
}

}  // namespace

void StartClockSyncStatus(const Settings& settings, void (*showText)(const QString& text)) {
  RequireSync = settings.RequireSync;
  ShowText = showText;
  LastShown.reset();
  ChosenStartLine.clear();
  if (!settings.Start) return;
  const timecode::LocalTime start = platform::LocalClockAt(settings.Start->time_since_epoch().count()).Now;
  ChosenStartLine = QString::asprintf("Sending a chosen time, started at %04d-%02d-%02d %02d:%02d:%02d (%s)\n",
                                      start.Year, start.Month, start.Day, start.Hour, start.Minute, start.Second,
                                      start.SummerTime ? "summer time" : "standard time");
}

void ShowClockSync() {
  const platform::ClockSyncState state = ReadClockSync();
  if (RequireSync) output::GateSending(state.sync == ClockSync::Synchronised, timecode::CurrentTime.Second);
  const Shown shown{state.sync, TenthsOfMs(state.estimatedError), output::HoldingPulses};
  if (shown == LastShown) return;
  const bool syncChanged = !LastShown || LastShown->sync != shown.sync;
  LastShown = shown;

  const QString text = ClockSyncText(shown);
  ShowText(ChosenStartLine + text);
  if (!syncChanged) return;
  const QString maximum =
      state.sync == ClockSync::Synchronised
          ? QStringLiteral(", maximum error %1 ms").arg(Milliseconds(TenthsOfMs(state.maximumError)))
          : QString();
  platform::Report(state.sync == ClockSync::Synchronised ? platform::Severity::Info : platform::Severity::Warning,
                   qPrintable(text + maximum));
}

platform::ClockSync LastClockSync() { return LastShown ? LastShown->sync : ClockSync::Unknown; }
