// Generic Windows code only: the calling thread's last system error of a
// failed platform call. Nothing here knows about the game.
#include "platform/win32/last_error.h"

#include <windows.h>

#include <cstdlib>

#include "platform/platform.h"

namespace platform {
namespace {

thread_local uint32_t lastFailure = 0;

}  // namespace

bool keepError(uint32_t code) {
    lastFailure = code;
    return false;
}

bool keepSystemError() { return keepError(GetLastError()); }

bool keepRuntimeError() { return keepError(static_cast<uint32_t>(_doserrno)); }

uint32_t lastError() { return lastFailure; }

}  // namespace platform
