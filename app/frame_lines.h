// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>

// --frames: each minute sent, as one line on standard output once its last second has begun: the minute the frame
// names, its seconds as sent, and what a receiver reads from them.

// At start-up: whether the lines are written, and where.
void StartFrameLines(std::FILE* out);

// After the tick that began a new second, once its pulse is under way: records what the second carries, and
// at the minute's last second writes the line.
void RecordSecond();
