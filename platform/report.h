// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include "platform/port_error.h"

// The program's reports, one line each, where whoever runs it reads them: standard error, with the line's
// severity in front when standard error is the journal (a systemd service); the event log when the program runs as a
// Windows service.

namespace platform {

// As syslog numbers them, which the journal takes in front of a line.
enum class Severity { Error = 3, Warning = 4, Notice = 5, Info = 6 };

// Writes the line, which has no line break, in one piece.
void Report(Severity severity, const char* line);

// Reports as an error that `step` failed, with the system's own words for `error` and then `after`: "arming the tick
// timer failed: <reason>; the time code stops".
void ReportFailure(const char* step, SystemError error, const char* after = "");

// Where a part of the program sends its reports: Report in the program, a recorder in tests.
using Reporter = std::function<void(Severity severity, const char* line)>;

#ifdef _WIN32
// Windows only: from now on each line goes to the event log instead, under the source Velkorin, its severity the
// event's type: a service has no standard error. The installer registers the source with the program's own message
// table, through which the Event Viewer shows each line as it was written.
void ReportToEventLog();
#endif

}  // namespace platform
