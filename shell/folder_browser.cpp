// The folder browser over the shell's folder-selection dialog. The chosen
// path is built in a working buffer and reaches the caller's buffer only
// whole: a cancelled, virtual or oversized choice leaves it as it was.
#include "shell/folder_browser.h"

#include <cstring>

#include "base/bounded_text.h"
#include "engine/setup_engine.h"

FolderBrowser folderBrowser;

namespace {

const char* const browseTitle = "フォルダを選択してください";

// The dialog's flags and messages.
constexpr unsigned kValidate = 0x20;
constexpr unsigned kEditBox = 0x10;
constexpr unsigned kStatusText = 0x04;
constexpr unsigned kInitialized = 1;
constexpr unsigned kValidateFailed = 3;
constexpr unsigned kSetSelection = 0x466;
constexpr unsigned kOkOnly = 0;

unsigned flagsOfMode(int mode) {
    switch (mode) {
    case 0: return kValidate;
    case 1: return kValidate | kEditBox;
    case 2: return kValidate | kEditBox | kStatusText;
    default: return 0;
    }
}

bool isDriveRoot(const char* path) {
    return std::strlen(path) == 3 && path[1] == ':' && path[2] == '\\';
}

}  // namespace

void FolderBrowser::attach(platform::ModuleHandle module, platform::WindowHandle owner) {
    instance = module;
    ownerWindow = owner;
}

bool FolderBrowser::browse(char* path, size_t capacity, int mode, bool appendBackslash) {
    platform::ShellItem item = platform::browseForFolder(
        ownerWindow, browseTitle, flagsOfMode(mode), browseCallback,
        reinterpret_cast<intptr_t>(path));
    if (item == nullptr) return false;
    char chosen[kTextCapacity] = {};
    const bool hasPath = platform::shellItemPath(item, chosen, sizeof chosen);
    if (!platform::freeShellItem(item)) {
        platform::messageBox(ownerWindow, "SHGetMalloc Error", "Error", kOkOnly);
        return false;
    }
    // A folder with no file-system path (the network, say) is no choice.
    if (!hasPath || chosen[0] == '\0') return false;
    if (appendBackslash && trailingBackslash(chosen) == nullptr &&
        !appendText(chosen, sizeof chosen, "\\")) {
        return false;
    }
    if (std::strlen(chosen) >= capacity) return false;
    return copyText(path, capacity, chosen);
}

int FolderBrowser::browseCallback(platform::WindowHandle dialog, unsigned message,
                                  intptr_t, intptr_t data) {
    if (message == kInitialized) {
        platform::sendWindowMessage(dialog, kSetSelection, 1, data);
    } else if (message == kValidateFailed) {
        platform::messageBox(dialog, "不正なフォルダです", "Error", kOkOnly);
        return 1;  // the dialog stays open for another choice
    }
    return 0;
}

void chooseInstallBase(FolderBrowser& browser, SetupEngine& engine) {
    browser.browse(engine.installBase, sizeof engine.installBase, 0, false);
    if (isDriveRoot(engine.installBase)) engine.installBase[2] = '\0';
}
