// The main dialog's side of the install worker thread: starting it once at
// a time, asking it to stop, and waiting for it before the program closes.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/platform.h"

// The running (or last) install worker; 0 and null when its start failed.
extern uint32_t installThreadId;
extern platform::ThreadHandle installThread;

// True while the install worker thread has not ended.
bool installWorkerRunning();
// Starts installWorker; false (with installThreadId 0 and installThread
// null) when the thread could not be created.
bool startInstallWorker();
// Asks a running install copy to stop and disables the install button, so
// the request cannot be made twice. Does nothing when no copy runs or a
// stop is already under way.
void requestInstallCancel(HWND dialog);
// Cancels the install as soon as its copy runs and waits for the worker to
// end, serving the dialog's messages meanwhile so that the worker's control
// changes and message boxes go through.
void finishInstallBeforeClose(HWND dialog);
