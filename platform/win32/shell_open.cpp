// Generic Windows code only: COM for the calling thread, long path names and
// opening a file with its associated program. Nothing here knows about the
// game.
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include "platform/platform.h"

namespace platform {

bool startCom(bool& mustEnd) {
    const HRESULT started = CoInitialize(nullptr);
    // Only a successful CoInitialize is ours to undo: after a failed one
    // (RPC_E_CHANGED_MODE, on a thread already in another apartment) the
    // CoUninitialize would end the caller's own COM use.
    mustEnd = SUCCEEDED(started);
    // After these COM cannot be used at all.
    return started != E_UNEXPECTED && started != E_OUTOFMEMORY && started != E_INVALIDARG;
}

void endCom() { CoUninitialize(); }

bool longPathName(const char* path, char* buffer, size_t capacity) {
    const DWORD length = GetLongPathNameA(path, buffer, static_cast<DWORD>(capacity));
    return length != 0 && length < capacity;
}

bool shellOpenFile(const char* path, const char* parameters) {
    // ShellExecuteA answers with a value above 32 when it started something.
    const HINSTANCE result = ShellExecuteA(nullptr, "open", path, parameters, "", SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace platform
