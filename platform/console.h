// SPDX-License-Identifier: MIT
#pragma once

// Where the program's printed output goes when it is started from a command prompt.

namespace platform {

// On Windows a program with a window gets no console of its own, so without this its help, its list of ports and
// its reports would vanish; they go to the console of the prompt it was started from, unless redirected. Elsewhere
// a program started from a terminal writes to that terminal anyway, and this does nothing.
void UseTheStartingConsole();

}  // namespace platform
