// SPDX-License-Identifier: MIT
#include "platform/port_name.h"

namespace platform {

// Up to three digits without a leading zero: Windows numbers its ports up to COM256, and Linux has far fewer.
unsigned ComPortNumber(const char* name) {
  constexpr int kMostDigits = 3;
  for (const char* prefix = "COM"; *prefix != '\0'; ++prefix, ++name) {
    if ((*name & ~0x20) != *prefix) return 0;  // the letters in either case
  }
  if (*name == '0') return 0;
  unsigned number = 0;
  int digits = 0;
  for (; *name >= '0' && *name <= '9' && digits < kMostDigits; ++name, ++digits) number = number * 10 + (*name - '0');
  return digits > 0 && *name == '\0' ? number : 0;
}

}  // namespace platform
