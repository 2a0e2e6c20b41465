// SPDX-License-Identifier: MIT
#pragma once

#include <exception>

// What start-up asks of the application object besides its window: message boxes, a request to end, and the
// display of an error that nothing else caught.

// The single-instance guard's name.
inline constexpr char kInstanceGuardName[] = "test";

// A modal box with the text, the caption and only an OK button, no icon; returns when it is closed.
// Tests put a recorder here.
extern void (*ShowMessageBox)(const char* text, const char* caption);

// Asks the application to end. Returns at once; the message loop ends when it next runs, and if it
// has not run yet, it does not start.
void Terminate();
bool TerminationRequested();
// The request, which the program never withdraws; tests, which build the window more than once, clear it in between.
extern bool Terminating;

// Told by the system to end while start-up may still show its boxes: the box shown, if any, is closed, and no
// further one is shown. True if start-up was still showing one.
bool StopDuringStartUp();
bool StopRequested();

// Shows an error that escaped the program's entry, for the user to read before the program ends.
void ShowException(const std::exception& error);
