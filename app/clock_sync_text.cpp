// SPDX-License-Identifier: MIT
#include "app/clock_sync_text.h"

#include <cstdint>
#include <cstdio>

namespace {

using platform::ClockSync;

// In tenths of a millisecond, rounded, as shown: the error estimate moves far less often than once a second, and only
// in the tenths shown.
std::string Milliseconds(std::chrono::microseconds error) {
  char text[32];
  const std::int64_t tenths = (error.count() + 50) / 100;
  std::snprintf(text, sizeof text, "%lld.%lld", static_cast<long long>(tenths / 10),
                static_cast<long long>(tenths % 10));
  return text;
}

}  // namespace

std::string ClockSyncText(const platform::ClockSyncState& state, bool holding) {
  switch (state.sync) {
    case ClockSync::Synchronised:
      return "PC clock synchronised, estimated error " + Milliseconds(state.estimatedError) + " ms" +
             (holding ? ": sending from the next minute mark" : "");
    case ClockSync::Unsynchronised:
      return holding ? "PC clock not synchronised: nothing is sent"
                     : "PC clock not synchronised: the time sent may be wrong";
    case ClockSync::Unknown: break;
  }
  return holding ? "PC clock synchronisation unknown: nothing is sent" : "PC clock synchronisation unknown";
}

std::string ClockSyncReport(const platform::ClockSyncState& state, bool holding) {
  std::string text = ClockSyncText(state, holding);
  if (state.sync == ClockSync::Synchronised) text += ", maximum error " + Milliseconds(state.maximumError) + " ms";
  return text;
}
