// Generic Windows code only: keeping the system's error of a failed call
// for its thread, as lastError reports it. For the Win32 files of platform/.
#pragma once

#include <cstdint>

namespace platform {

// Keeps code as the calling thread's last error; returns false, for a
// failed call's return.
bool keepError(uint32_t code);
// Keeps GetLastError's code; returns false.
bool keepSystemError();
// Keeps the C runtime's system error of a failed stream call (_doserrno);
// returns false.
bool keepRuntimeError();

}  // namespace platform
