// Generic Windows code only: writing and reading shell link files through the
// shell's link object over COM. Nothing here knows about the game.
#include <windows.h>

#include <objbase.h>
#include <objidl.h>
#include <shlguid.h>
#include <shobjidl.h>

#include <cstring>

#include "base/bounded_text.h"
#include "platform/platform.h"

namespace platform {
namespace {

// The link file's path as UTF-16 for IPersistFile; false when the path is
// not valid text or does not fit the 260 wide characters.
bool toWidePath(const char* path, wchar_t (&wide)[MAX_PATH]) {
    return MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, path, -1, wide, MAX_PATH) != 0;
}

// Runs step(link, file) on a new link object and its persist-file interface
// between CoInitialize and CoUninitialize; false when COM or the object
// could not be had, else step's result.
template <typename Step>
bool withShellLink(Step step) {
    bool mustEndCom = false;
    if (!startCom(mustEndCom)) return false;
    bool done = false;
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IShellLinkA, reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile,
                                           reinterpret_cast<void**>(&file)))) {
            done = step(*link, *file);
            link->Release();
            file->Release();
        } else {
            link->Release();
        }
    }
    if (mustEndCom) endCom();
    return done;
}

}  // namespace

bool saveShellLink(const char* linkFile, const char* target,
                   const char* workingDirectory) {
    return withShellLink([&](IShellLinkA& link, IPersistFile& file) {
        link.SetPath(target);
        link.SetWorkingDirectory(workingDirectory);
        link.SetIconLocation(nullptr, 0);
        link.SetHotkey(0);
        link.SetDescription("");
        link.SetShowCmd(SW_SHOW);
        wchar_t wide[MAX_PATH];
        if (!toWidePath(linkFile, wide)) return false;
        return SUCCEEDED(file.Save(wide, TRUE));
    });
}

bool loadShellLinkWorkingDirectory(const char* linkFile, char* buffer,
                                   size_t capacity) {
    return withShellLink([&](IShellLinkA& link, IPersistFile& file) {
        wchar_t wide[MAX_PATH];
        if (!toWidePath(linkFile, wide)) return false;
        if (FAILED(file.Load(wide, STGM_READ))) return false;
        char directory[MAX_PATH] = {};
        link.GetWorkingDirectory(directory, MAX_PATH);
        directory[MAX_PATH - 1] = '\0';
        // Refused rather than cut, so that the caller's buffer is untouched.
        if (std::strlen(directory) >= capacity) return false;
        return copyText(buffer, capacity, directory);
    });
}

}  // namespace platform
