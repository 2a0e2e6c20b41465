#pragma once

#include <string>
#include <vector>

// A stand-in for the serial port that records what is asked of it, one line per call: "open COM1", "clear DTR",
// "set RTS", "close". Calls on anything but the port it handed out are recorded as "stray …".

namespace recording_port {

extern std::vector<std::string> Calls;
extern bool Missing;  // opening fails, as for a port that is absent or held by someone else

}  // namespace recording_port
