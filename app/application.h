// SPDX-License-Identifier: MIT
#pragma once

#include <exception>

// What start-up asks of the application object besides its window: message boxes, a request to end, a
// line on standard error, and the display of an error that nothing else caught.

// A modal box with the text, the caption and only an OK button, no icon; returns when it is closed.
// Tests put a recorder here.
extern void (*ShowMessageBox)(const char* text, const char* caption);

// Asks the application to end. Returns at once; the message loop ends when it next runs, and if it
// has not run yet, it does not start.
void Terminate();
bool TerminationRequested();
// The request, which the program never withdraws; tests, which build the window more than once, clear it in between.
extern bool Terminating;

// Writes one line on standard error, after the program's name; at start-up, and from the pulse output at a
// tick without a pulse.
void Report(const char* line);

// Shows an error that escaped the program's entry, for the user to read before the program ends.
void ShowException(const std::exception& error);
