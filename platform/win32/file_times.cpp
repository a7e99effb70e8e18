// Generic Windows code only: opening files for their times and reading and
// setting those times. Nothing here knows about the game.
#include <windows.h>

#include "platform/platform.h"

namespace platform {
namespace {

FileHandle openExisting(const char* path, DWORD access, DWORD sharing) {
    HANDLE file = CreateFileA(path, access, sharing, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

uint64_t toValue(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME toFileTime(uint64_t value) {
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(value);
    time.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return time;
}

}  // namespace

FileHandle openTimeSource(const char* path) {
    return openExisting(path, GENERIC_READ, FILE_SHARE_READ);
}

FileHandle openTimeTarget(const char* path) {
    return openExisting(path, GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE);
}

bool readFileTimes(FileHandle file, FileTimes& times) {
    FILETIME creation, lastAccess, lastWrite;
    if (!GetFileTime(file, &creation, &lastAccess, &lastWrite)) return false;
    times.creation = toValue(creation);
    times.lastAccess = toValue(lastAccess);
    times.lastWrite = toValue(lastWrite);
    return true;
}

bool writeFileTimes(FileHandle file, const FileTimes& times) {
    FILETIME creation = toFileTime(times.creation);
    FILETIME lastAccess = toFileTime(times.lastAccess);
    FILETIME lastWrite = toFileTime(times.lastWrite);
    return SetFileTime(file, &creation, &lastAccess, &lastWrite) != 0;
}

void closeFile(FileHandle file) {
    if (file != nullptr) CloseHandle(file);
}

}  // namespace platform
