// SPDX-License-Identifier: MIT
#pragma once

#include "app/settings.h"

// --no-window: the transmitter without any window or display, until told to stop, as a service runs it. Its
// reports go where platform::Report puts them; a second copy ends at once with status 1, and a port that cannot be
// opened is tried again every second. Needs a QCoreApplication; returns the exit status.
int RunWithoutWindow(const Settings& settings);
