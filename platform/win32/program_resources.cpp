// Generic Windows code only: the running program's own resources. Nothing
// here knows about the game.
#include <windows.h>

#include "platform/platform.h"

namespace platform {

bool programResource(int id, const void*& data, size_t& size) {
    data = nullptr;
    size = 0;
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));  // RT_RCDATA
    if (found == nullptr) return false;
    HGLOBAL loaded = LoadResource(nullptr, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes != nullptr) {
        data = bytes;
        size = SizeofResource(nullptr, found);
    }
    return true;
}

}  // namespace platform
