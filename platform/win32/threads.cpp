// Generic Windows code only: threads, the multimedia clock and yielding.
// Nothing here knows about the game.
#include <windows.h>

#include <mmsystem.h>

#include <new>

#include "platform/platform.h"

namespace platform {
namespace {

// What the new thread needs to call the platform's plain ThreadProc; made on
// the heap by the starting thread and freed by the new one.
struct ThreadStart {
    ThreadProc proc;
    void* argument;
};

DWORD WINAPI runThread(LPVOID parameter) {
    ThreadStart start = *static_cast<ThreadStart*>(parameter);
    delete static_cast<ThreadStart*>(parameter);
    start.proc(start.argument);
    return 0;
}

}  // namespace

bool startThread(ThreadProc proc, void* argument, uint32_t& threadId,
                 ThreadHandle& handle) {
    threadId = 0;
    handle = nullptr;
    ThreadStart* start = new (std::nothrow) ThreadStart{proc, argument};
    if (start == nullptr) return false;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, runThread, start, 0, &id);
    if (thread == nullptr) {
        delete start;
        return false;
    }
    threadId = id;
    handle = thread;
    return true;
}

void waitThread(ThreadHandle handle) {
    if (handle != nullptr) WaitForSingleObject(handle, INFINITE);
}

void closeThread(ThreadHandle handle) {
    if (handle != nullptr) CloseHandle(handle);
}

uint32_t milliseconds() { return timeGetTime(); }

void yieldThread() { Sleep(0); }

}  // namespace platform
