// The install copy's status display, kept by the waiting loop of
// runInstallCopy: status line 0 shows the name of the file being copied with
// a rotating mark behind it, status line 1 the time elapsed since the copy
// thread started. Its state lives for the whole process and is not reset
// between runs, so a second run shows the last name of the first until it
// records its own.
#pragma once

#include <cstddef>

#include "engine/setup_engine.h"

// Capacity of the recorded file name, NUL included.
constexpr size_t kCurrentFileCapacity = 1024;

// Records the name of the file the copy thread is about to copy (bounded to
// kCurrentFileCapacity). Called on the copy thread.
void recordCurrentFileName(const char* name);

// Starts the elapsed-time clock from 0:00:00 at the present time. Called on
// the copy thread as it starts.
void restartClock();

// One turn of the status display of the engine's dialog, called by the
// waiting loop. Does nothing while no name is recorded. Otherwise rewrites
// line 0 on one call in 131,072, turning the mark each time, and advances
// the clock by one second on each call that finds more than a second not
// yet counted, showing it on line 1 (so a loop that fell behind catches up
// one second per call).
void statusTicker(const SetupEngine& engine);
