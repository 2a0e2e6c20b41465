// SPDX-License-Identifier: MIT
#include <windows.h>

#include <cstdio>

#include "platform/port_error.h"
#include "platform/report.h"

namespace platform {

namespace {

// The event log's handle once ReportToEventLog has opened it; until then, and where it cannot, standard error.
HANDLE EventLog = nullptr;  // NOLINT(cppcoreguidelines-avoid-non-const-global-variables): the process's, as stderr is

// The message table's one message, "%1", which the Event Viewer fills with the line (packaging/velkorin_messages.mc).
constexpr DWORD kReportMessage = 1;

WORD EventType(Severity severity) {
  switch (severity) {
    case Severity::Error: return EVENTLOG_ERROR_TYPE;
    case Severity::Warning: return EVENTLOG_WARNING_TYPE;
    case Severity::Notice:
    case Severity::Info: return EVENTLOG_INFORMATION_TYPE;
  }
  return EVENTLOG_INFORMATION_TYPE;
}

}  // namespace

void ReportToEventLog() {
  EventLog = ::RegisterEventSourceW(nullptr, L"Velkorin");
  if (EventLog != nullptr) return;
  char reason[256], line[384];
  DescribeSystemError(::GetLastError(), reason, sizeof reason);
  std::snprintf(line, sizeof line, "cannot open the event log for the source Velkorin: %s", reason);
  Report(Severity::Error, line);
}

// The lines are in the system's ANSI code page, as the system's own words for an error come (FormatMessageA), and
// the ANSI call reads them so.
void Report(Severity severity, const char* line) {
  if (EventLog != nullptr &&
      ::ReportEventA(EventLog, EventType(severity), 0, kReportMessage, nullptr, 1, 0, &line, nullptr)) {
    return;
  }
  std::fprintf(stderr, "velkorin: %s\n", line);
}

}  // namespace platform
