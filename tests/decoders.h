// SPDX-License-Identifier: MIT
#pragma once

// The project's strict decoders (tests/end_to_end/harness.py for DCF77, codes.py for the others), fed whole minutes
// sent on the simulated clock; each must exit 0 when it ends: every minute read right, or, where refusals are allowed,
// every minute refused or read right.

#include <cstdio>
#include <string>

#include "tests/simulated_clock.h"

namespace simulated {

class Decoders {
 public:
  Decoders() = default;
  Decoders(const Decoders&) = delete;
  Decoders& operator=(const Decoders&) = delete;
  ~Decoders() {
    for (FILE* decoder : pipes_) {
      if (decoder != nullptr) {
        EXPECT_EQ(pclose(decoder), 0);
      }
    }
  }

  // One minute of the code's, begun at `begun` in `zone`; with `refusable`, the decoder may refuse it.
  void Minute(const timecode::TimeCode& code, const char* zone, sys_seconds begun,
              const std::vector<std::string>& seconds, bool refusable = false) {
    const bool dcf77 = &code == &timecode::kDcf77;
    FILE*& decoder = pipes_[dcf77 * 2 + refusable];
    const std::string command = std::string("python3 -B ") + (dcf77 ? FRAME_DECODER : CODES_DECODER);
    if (decoder == nullptr) decoder = popen((command + (refusable ? " --refused-ok" : "")).c_str(), "w");
    std::fprintf(decoder, "%s %s %lld", dcf77 ? "" : code.Name, zone,
                 static_cast<long long>(begun.time_since_epoch().count()));
    for (const std::string& second : seconds) {
      if (dcf77) {
        std::fprintf(decoder, " %d", PulseLengths({second})[0]);
      } else {
        std::fprintf(decoder, " %s", second.c_str());
      }
    }
    std::fputc('\n', decoder);
  }

  // Every whole minute sent, each read right; after trouble, any but the last may be refused, as a receiver waits for
  // the next, but any read must name the right minute.
  void Minutes(const timecode::TimeCode& code, const char* zone, const std::vector<TickRecord>& ticks,
               bool afterTrouble = false) {
    const std::vector<SentMinute> minutes = SentMinutes(ticks);
    EXPECT_FALSE(minutes.empty());
    for (const auto& [begun, seconds] : minutes)
      Minute(code, zone, begun, seconds, afterTrouble && &begun != &minutes.back().begun);
  }

 private:
  FILE* pipes_[4] = {};  // the others' and DCF77's, each strict and allowing refusals
};

}  // namespace simulated
