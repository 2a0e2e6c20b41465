// SPDX-License-Identifier: MIT
#include "platform/report.h"

#include <cstdio>

namespace platform {

void ReportFailure(const char* step, SystemError error, const char* after) {
  char reason[256], line[512];
  DescribeSystemError(error, reason, sizeof reason);
  std::snprintf(line, sizeof line, "%s failed: %s%s", step, reason, after);
  Report(Severity::Error, line);
}

}  // namespace platform
