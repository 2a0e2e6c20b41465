// SPDX-License-Identifier: MIT
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/port_error.h"

namespace platform {

void DescribeSystemError(SystemError error, char* text, std::size_t size) {
  const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                        text, static_cast<DWORD>(size), nullptr);
  // The system's words end in a full stop and a line break; a report goes on after them.
  DWORD end = length;
  while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n' || text[end - 1] == '.')) --end;
  if (end == 0) {
    std::snprintf(text, size, "error %lu", error);
  } else {
    text[end] = '\0';
  }
}

// Windows tells an opener of a port that another program holds that access is denied.
void DescribeOpenError(SystemError error, const char*, char* text, std::size_t size) {
  DescribeSystemError(error, text, size);
  if (error != ERROR_ACCESS_DENIED) return;
  const std::size_t used = std::strlen(text);
  std::snprintf(text + used, size - used, ": another program holds the port");
}

}  // namespace platform
