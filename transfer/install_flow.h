// The install worker thread, started by the main dialog's install command.
#pragma once

// Disables the setup buttons, runs the install on setupEngine, reports a
// failure and restores the buttons by the outcome. The argument is unused.
void installWorker(void* unused);
