// Generic Windows code only: drive kinds, volume labels and free space.
// Nothing here knows about the game.
#include <windows.h>

#include "base/bounded_text.h"
#include "platform/platform.h"

namespace platform {

unsigned driveType(const char* root) { return GetDriveTypeA(root); }

bool volumeLabel(const char* root, char* label, size_t capacity) {
    char name[256] = {};
    char fileSystem[256];
    // An empty removable or CD-ROM drive must fail quietly, not ask the user
    // to insert a disk.
    const UINT errorMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    const BOOL read = GetVolumeInformationA(root, name, sizeof name, nullptr, nullptr,
                                            nullptr, fileSystem, sizeof fileSystem);
    SetErrorMode(errorMode);
    if (!read) return false;
    name[sizeof name - 1] = '\0';
    // A label is at most 32 characters; the caller's buffer bounds the copy.
    copyText(label, capacity, name);
    return true;
}

bool diskFreeBytes(const char* folder, uint64_t& freeBytes) {
    ULARGE_INTEGER availableToCaller, total, totalFree;
    if (!GetDiskFreeSpaceExA(folder, &availableToCaller, &total, &totalFree)) {
        return false;
    }
    freeBytes = totalFree.QuadPart;
    return true;
}

}  // namespace platform
