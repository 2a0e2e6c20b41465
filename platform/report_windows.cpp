// SPDX-License-Identifier: MIT
#include <cstdio>

#include "platform/report.h"

namespace platform {

void Report(Severity, const char* line) { std::fprintf(stderr, "velkorin: %s\n", line); }

}  // namespace platform
