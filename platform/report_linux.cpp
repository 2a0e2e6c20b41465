// SPDX-License-Identifier: MIT
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "platform/report.h"

namespace platform {

namespace {

// systemd names the journal stream it gave a service as JOURNAL_STREAM=device:inode. A program whose standard error
// is that stream (not redirected elsewhere since) may begin each line with its severity as <N>; the journal names
// the program itself, so the program's name is left out there.
bool ErrorsGoToTheJournal() {
  const char* stream = std::getenv("JOURNAL_STREAM");
  unsigned long long device = 0, inode = 0;
  struct stat errors {};
  return stream != nullptr && std::sscanf(stream, "%llu:%llu", &device, &inode) == 2 && ::fstat(2, &errors) == 0 &&
         errors.st_dev == device && errors.st_ino == inode;
}

}  // namespace

void Report(Severity severity, const char* line) {
  static const bool toTheJournal = ErrorsGoToTheJournal();
  if (toTheJournal) {
    std::fprintf(stderr, "<%d>%s\n", static_cast<int>(severity), line);
  } else {
    std::fprintf(stderr, "velkorin: %s\n", line);
  }
}

}  // namespace platform
