// The game's start-menu group: a maker folder holding a product folder with
// the game, readme and uninstall shortcuts. Every composed path must fit its
// buffer whole; a path that would not is refused, never cut.
#include "shell/shortcuts.h"

#include <cstring>

#include "base/bounded_text.h"
#include "base/paths.h"
#include "engine/setup_engine.h"

namespace {

constexpr int kGameEntry = 0;
constexpr int kReadmeEntry = 10;
constexpr int kUninstallerEntry = 11;
const char* const readmeLinkName = "README";
const char* const uninstallLinkName = "アンインストール";

// The CSIDL of a folder kind: 0 the common Start menu, 1 its Programs.
bool csidlOfFolderKind(int folderKind, int& csidl) {
    if (folderKind == 0) csidl = kCsidlCommonStartMenu;
    else if (folderKind == 1) csidl = kCsidlCommonPrograms;
    else return false;
    return true;
}

// Entry `index` of the list; null when the list ends before it.
const char* listEntry(FileList list, int index) {
    if (list == nullptr) return nullptr;
    for (int at = 0; at < index; ++at) {
        if (list[at][0] == '\0') return nullptr;
    }
    return list[index][0] == '\0' ? nullptr : list[index];
}

}  // namespace

bool getSpecialFolderPath(int csidl, char* buffer, size_t capacity) {
    char folder[kPathCapacity] = {};
    std::memset(buffer, 0, capacity);
    bool found = platform::specialFolderPath(csidl, folder, sizeof folder);
    if (copyText(buffer, capacity, folder)) return found;
    std::memset(buffer, 0, capacity);
    return false;
}

bool SetupEngine::createShortcut(const char* linkFolder, const char* targetFolder,
                                 const char* targetFile, const char* linkName) {
    char target[kPathCapacity];
    char linkFile[kPathCapacity];
    if (!joinPath(target, sizeof target, targetFolder, targetFile) ||
        !joinPath(linkFile, sizeof linkFile, linkFolder, linkName) ||
        !appendText(linkFile, sizeof linkFile, ".lnk")) {
        return false;
    }
    return platform::saveShellLink(linkFile, target, targetFolder);
}

bool SetupEngine::readLinkWorkingDirectory(const char* linkFile, char* output,
                                           size_t capacity) {
    if (std::strlen(linkFile) >= kPathCapacity) return false;
    return platform::loadShellLinkWorkingDirectory(linkFile, output, capacity);
}

// Folders that already exist are no error; the first shortcut that cannot
// be saved ends the group, leaving what was made before it.
bool SetupEngine::createShortcutGroup(int folderKind) {
    std::memset(shellFolder, 0, sizeof shellFolder);
    int csidl = 0;
    if (!csidlOfFolderKind(folderKind, csidl)) return false;
    if (!getSpecialFolderPath(csidl, shellFolder, sizeof shellFolder)) return false;
    const char* game = listEntry(installFiles, kGameEntry);
    const char* readme = listEntry(installFiles, kReadmeEntry);
    const char* uninstaller = listEntry(installFiles, kUninstallerEntry);
    if (game == nullptr || readme == nullptr || uninstaller == nullptr) return false;

    char makerFolder[kPathCapacity];
    char productFolder[kPathCapacity];
    if (!joinPath(makerFolder, sizeof makerFolder, shellFolder, makerName) ||
        !joinPath(productFolder, sizeof productFolder, makerFolder, productName)) {
        return false;
    }
    platform::makeDirectory(makerFolder);
    platform::makeDirectory(productFolder);
    return createShortcut(productFolder, installDir, game, productName) &&
           createShortcut(productFolder, installDir, readme, readmeLinkName) &&
           createShortcut(productFolder, installDir, uninstaller, uninstallLinkName);
}

bool SetupEngine::readShortcutWorkingDirectory(int folderKind, const char* relativeLink,
                                               char* output, size_t capacity) {
    char folder[kTextCapacity] = {};
    char linkFile[kTextCapacity] = {};
    int csidl = 0;
    if (!csidlOfFolderKind(folderKind, csidl)) return false;
    if (!getSpecialFolderPath(csidl, folder, sizeof folder)) return false;
    if (!joinPath(linkFile, sizeof linkFile, folder, relativeLink)) return false;
    return readLinkWorkingDirectory(linkFile, output, capacity);
}

// Removes the group below the common Programs folder, whichever folder it
// was made under. Only empty folders go, so a maker folder that holds
// another product's group stays. Nothing is reported.
void SetupEngine::removeShortcutGroup() {
    if (!getSpecialFolderPath(kCsidlCommonPrograms, shellFolder, sizeof shellFolder)) return;
    char group[kPathCapacity];
    char path[kPathCapacity];
    const char* const linkNames[] = {productName, readmeLinkName, uninstallLinkName};
    if (joinPath(group, sizeof group, shellFolder, makerName, productName)) {
        for (const char* linkName : linkNames) {
            if (joinPath(path, sizeof path, group, linkName) &&
                appendText(path, sizeof path, ".lnk")) {
                platform::deleteFile(path);
            }
        }
        platform::removeDirectory(group);
    }
    if (joinPath(path, sizeof path, shellFolder, makerName)) {
        platform::removeDirectory(path);
    }
}
