#include "tests/e2e/shortcut_file.h"

#include <windows.h>

#include <shlobj.h>
#include <shobjidl.h>

#include "tests/e2e/game_files.h"

namespace e2e {

namespace {

constexpr size_t kShowCommandOffset = 0x3C;

int showCommandFromBytes(const std::string& bytes) {
    if (bytes.size() < kShowCommandOffset + 4) return -1;
    const unsigned char* field =
        reinterpret_cast<const unsigned char*>(bytes.data()) + kShowCommandOffset;
    return field[0] | (field[1] << 8) | (field[2] << 16) | (field[3] << 24);
}

bool loadLink(IShellLinkA* link, const std::string& path) {
    IPersistFile* file = nullptr;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))))
        return false;
    wchar_t widePath[MAX_PATH] = {};
    bool ok = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH) != 0 &&
              SUCCEEDED(file->Load(widePath, STGM_READ));
    file->Release();
    return ok;
}

void readProperties(IShellLinkA* link, ShortcutFile& shortcut) {
    char text[1024] = {};
    if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH))) shortcut.target = text;
    text[0] = '\0';
    if (SUCCEEDED(link->GetWorkingDirectory(text, sizeof text)))
        shortcut.workingDirectory = text;
    text[0] = '\0';
    if (SUCCEEDED(link->GetArguments(text, sizeof text))) shortcut.arguments = text;
    text[0] = '\0';
    if (SUCCEEDED(link->GetDescription(text, sizeof text))) shortcut.description = text;
}

}  // namespace

ShortcutFile readShortcut(const std::string& path) {
    ShortcutFile shortcut;
    if (!fileExists(path)) return shortcut;
    shortcut.showCommand = showCommandFromBytes(readWholeFile(path));
    const HRESULT started = CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IShellLinkA, reinterpret_cast<void**>(&link)))) {
        shortcut.loaded = loadLink(link, path);
        if (shortcut.loaded) readProperties(link, shortcut);
        link->Release();
    }
    if (SUCCEEDED(started)) CoUninitialize();
    return shortcut;
}

std::string commonProgramsFolder() {
    char path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, path, CSIDL_COMMON_PROGRAMS, FALSE)) return "";
    return path;
}

}  // namespace e2e
