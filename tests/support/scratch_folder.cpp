#include "tests/support/scratch_folder.h"

#include <windows.h>

#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstring>

ScratchFolder::ScratchFolder() {
    static int counter = 0;
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    char name[64];
    std::snprintf(name, sizeof name, "scratch_%lu_%d", GetCurrentProcessId(), ++counter);
    path_ = joinPath(temp, name);
    removeTree(path_);
    makeFolder(path_);
}

bool makeFolder(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) != FALSE || folderExists(path);
}

bool folderExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool fileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool removeTree(const std::string& path) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(joinPath(path, "*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name(entry.cFileName);
            if (name == "." || name == "..") continue;
            std::string child = joinPath(path, name);
            // A read-only file or folder would refuse to go.
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(child);
            } else {
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
    return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool writeWholeFile(const std::string& path, const std::string& contents) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written,
                        nullptr);
    CloseHandle(file);
    return ok && written == contents.size();
}

std::string readWholeFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string("<unreadable>");
    std::string contents;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        contents.append(chunk, got);
    CloseHandle(file);
    return contents;
}

ShortcutFile readShortcut(const std::string& path) {
    ShortcutFile shortcut;
    const std::string bytes = readWholeFile(path);
    if (bytes.size() >= 0x40) std::memcpy(&shortcut.showCommand, bytes.data() + 0x3C, 4);
    const HRESULT started = CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    wchar_t widePath[MAX_PATH] = {};
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IShellLinkA, reinterpret_cast<void**>(&link)))) {
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            shortcut.loaded =
                MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH) != 0 &&
                SUCCEEDED(file->Load(widePath, STGM_READ));
            file->Release();
        }
        char text[1024] = {};
        if (shortcut.loaded && SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH)))
            shortcut.target = text;
        if (shortcut.loaded && SUCCEEDED(link->GetWorkingDirectory(text, sizeof text)))
            shortcut.workingDirectory = text;
        if (shortcut.loaded && SUCCEEDED(link->GetArguments(text, sizeof text)))
            shortcut.arguments = text;
        if (shortcut.loaded && SUCCEEDED(link->GetDescription(text, sizeof text)))
            shortcut.description = text;
        link->Release();
    }
    if (SUCCEEDED(started)) CoUninitialize();
    return shortcut;
}
