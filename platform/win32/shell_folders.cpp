// Generic Windows code only: paths of the shell's special folders.
// Nothing here knows about the game.
#include <windows.h>

#include <shlobj.h>

#include <cstring>

#include "base/bounded_text.h"
#include "platform/platform.h"

namespace platform {

bool specialFolderPath(int csidl, char* buffer, size_t capacity) {
    char path[MAX_PATH] = {};
    if (capacity > 0) std::memset(buffer, 0, capacity);
    bool found = SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE) != FALSE;
    path[MAX_PATH - 1] = '\0';
    // A cut folder path would send every path built on it elsewhere: a path
    // that does not fit is refused and leaves the buffer empty.
    if (!copyText(buffer, capacity, path)) {
        if (capacity > 0) buffer[0] = '\0';
        return false;
    }
    return found;
}

}  // namespace platform
