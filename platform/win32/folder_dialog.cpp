// Generic Windows code only: the shell's folder-selection dialog and the
// item lists it returns. Nothing here knows about the game.
#include <windows.h>

#include <shlobj.h>

#include "base/bounded_text.h"
#include "platform/platform.h"

namespace platform {
namespace {

// The caller's callback and data, carried through the dialog's own data.
struct BrowseForward {
    BrowseCallback callback;
    intptr_t data;
};

int CALLBACK forwardBrowseMessage(HWND dialog, UINT message, LPARAM parameter, LPARAM data) {
    const BrowseForward* forward = reinterpret_cast<const BrowseForward*>(data);
    return forward->callback(dialog, message, parameter, forward->data);
}

}  // namespace

ShellItem browseForFolder(WindowHandle owner, const char* title, unsigned flags,
                          BrowseCallback callback, intptr_t data) {
    // Some shells write the display name even when the user cancels, and
    // then not a name at all: it gets a buffer of its own.
    char displayName[MAX_PATH] = {};
    BrowseForward forward{callback, data};
    BROWSEINFOA info{};
    info.hwndOwner = static_cast<HWND>(owner);
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = title;
    info.ulFlags = flags;
    info.lpfn = forwardBrowseMessage;
    info.lParam = reinterpret_cast<LPARAM>(&forward);
    info.iImage = 0;
    return SHBrowseForFolderA(&info);
}

bool shellItemPath(ShellItem item, char* buffer, size_t capacity) {
    char path[MAX_PATH] = {};
    if (!SHGetPathFromIDListA(static_cast<PCIDLIST_ABSOLUTE>(item), path)) return false;
    path[MAX_PATH - 1] = '\0';
    return copyText(buffer, capacity, path);
}

bool freeShellItem(ShellItem item) {
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator))) return false;
    allocator->Free(item);
    allocator->Release();
    return true;
}

}  // namespace platform
