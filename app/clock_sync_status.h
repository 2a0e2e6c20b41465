// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include "app/command_line.h"
#include "platform/clock_sync.h"

// The PC clock's synchronisation, read once a second: shown by the host (the window as the tooltip of the time, the
// date and the lamp), reported when it changes, and with --require-sync the gate of the pulse output.

// Where the state is read; tests put any state here.
extern platform::ClockSyncState (*ReadClockSync)();

// At start-up, before the first tick; showText is given the text whenever it changes.
void StartClockSyncStatus(const Settings& settings, void (*showText)(const QString& text));

// Once a second, after the new second's pulse has begun, so that reading the state never delays a pulse.
void ShowClockSync();

// The state as last read, Unknown before the first.
platform::ClockSync LastClockSync();
