// The install and uninstall flows: runInstall and runUninstall, the
// folders they make and the files they remove.
#include <cstring>

#include "base/bounded_text.h"
#include "base/paths.h"
#include "engine/product_config.h"
#include "engine/setup_engine.h"
#include "transfer/same_file.h"
#include "transfer/reserved_names.h"
#include "transfer/update_folders.h"

namespace {

const char* const kConfirmCaption = "確認";
const char* const kFinishedCaption = "終了";
const char* const kInstalledText = "インストールが完了しました。";

// Messages are formatted into buffers of this size. Their texts take fields
// of at most 259 bytes each (or an install folder composed from three such
// fields), so they always fit; a text that did not would be cut at the
// buffer, never written past it.
constexpr size_t kMessageCapacity = kTextCapacity;

void report(platform::WindowHandle owner, const char* text, const char* caption) {
    platform::messageBox(owner, text, caption, platform::kReportFlags);
}

void reportFolderNotCreated(platform::WindowHandle owner, const char* folder) {
    char text[kMessageCapacity];
    formatText(text, sizeof text, "%s フォルダを作成できませんでした。", folder);
    report(owner, text, kConfirmCaption);
}

void reportTooLittleSpace(const SetupEngine& engine) {
    char drive[4];
    copyText(drive, sizeof drive, engine.installDir);  // "C:\", by design cut
    char text[kMessageCapacity];
    formatText(text, sizeof text,
               "%s ドライブの空き容量が足りません。\n今現在のドライブの容量は %dMです。\n"
               "インストールするには 約%dMの容量が必要です。",
               drive, static_cast<int>(engine.freeMegabytes),
               static_cast<int>(engine.requiredMegabytes));
    report(engine.dialogWindow, text, kConfirmCaption);
}

// True when the file at path may be the install's source of that name:
// setup run from the folder it installs into. Deleting it would delete the
// package itself, so a file that cannot be told apart from it is kept.
bool isOwnSource(const char* sourceDir, const char* name, const char* path) {
    char source[kPathCapacity];
    return joinPath(source, sizeof source, sourceDir, name) &&
           compareFiles(source, path) != FileSameness::Different;
}

// Deletes one file of the folder; false when it is still there afterwards
// (the running game holds it, say). A file that is its own source is kept
// on purpose and does not count, nor does a name that is not plain.
bool deleteListedFile(const char* folder, const char* name, const char* sourceDir) {
    char path[kPathCapacity] = {};
    if (!isPlainName(name) || !joinPath(path, sizeof path, folder, name)) return true;
    if (platform::findPath(path) == platform::Presence::Missing) return true;
    if (isOwnSource(sourceDir, name, path)) return true;
    platform::setAttributesNormal(path);
    return platform::deleteFile(path) ||
           platform::findPath(path) == platform::Presence::Missing;
}

// Deletes the list's files from the folder; the first name still there, or
// left as it was when every file went.
void deleteListedFiles(FileList list, const char* folder, const char* sourceDir,
                       const char*& firstLeft) {
    if (list == nullptr) return;
    for (int index = 0; list[index][0] != '\0'; ++index) {
        if (!deleteListedFile(folder, list[index], sourceDir) && firstLeft == nullptr) {
            firstLeft = list[index];
        }
    }
}

// True when the folder's last component is exactly name.
bool isNamed(const char* folder, const char* name) {
    char parent[kPathCapacity];
    if (!copyText(parent, sizeof parent, folder) || !cutAtLastBackslash(parent)) return false;
    return std::strcmp(folder + std::strlen(parent) + 1, name) == 0;
}

// Removes an empty folder that is a folder of its own: a junction or a link
// stands for another folder, which is not the install's to remove.
bool removeOwnEmptyFolder(const char* folder) {
    uint32_t attributes = 0;
    return platform::fileAttributes(folder, attributes) &&
           (attributes & platform::kAttributeReparsePoint) == 0 &&
           platform::removeDirectory(folder);
}

// After an uninstall, removes the game folder and then the maker's folder
// above it, each only when it is empty and carries the name the install gave
// it: a folder that holds anything (the player's saves, another game of the
// maker) stays, and so does a folder the record names otherwise.
void removeEmptyGameFolders(const SetupEngine& engine) {
    char folder[kPathCapacity];
    if (!copyText(folder, sizeof folder, engine.installDir) ||
        !isNamed(folder, engine.dataFolder)) {
        return;
    }
    // The process's current directory (left in the folder by the install's
    // folder walk) would keep it from being removed.
    char root[] = {folder[0], ':', '\\', '\0'};
    platform::changeDirectory(root);
    if (!removeOwnEmptyFolder(folder) || !cutAtLastBackslash(folder)) return;
    if (isNamed(folder, engine.makerName)) removeOwnEmptyFolder(folder);
}

// Joins installBase, the maker and the data folder into installDir; false,
// leaving installDir as it was, when the result does not fit.
bool composeInstallDir(SetupEngine& engine, char* composed, size_t capacity) {
    joinPath(composed, capacity, engine.installBase, engine.makerName, engine.dataFolder);
    if (std::strlen(composed) >= sizeof engine.installDir) return false;
    return copyText(engine.installDir, sizeof engine.installDir, composed);
}

}  // namespace

bool SetupEngine::ensureFolder(const char* folder) {
    return platform::changeDirectory(folder) || platform::makeDirectory(folder);
}

bool SetupEngine::createFolderPath(const char* folder) {
    if (!platform::changeDirectory(folder)) {
        char question[kMessageCapacity];
        formatText(question, sizeof question, "%s\nフォルダを作成します。\nよろしいですか？", folder);
        if (platform::messageBox(dialogWindow, question, kConfirmCaption,
                                 platform::kQuestionFlags) == platform::kAnswerNo) {
            return false;
        }
    }
    // Each level in turn, "C:\", "C:\Games\", ...; only real backslashes
    // count, not the second byte of a double-byte character.
    char prefix[kPathCapacity] = {};
    for (size_t length = 1; folder[length - 1] != '\0'; ++length) {
        if (folder[length - 1] != '\\') continue;
        if (length >= sizeof prefix) return false;
        std::memcpy(prefix, folder, length);
        prefix[length] = '\0';
        if (trailingBackslash(prefix) == nullptr) continue;
        if (!ensureFolder(prefix)) return false;
    }
    return ensureFolder(folder);
}

const char* SetupEngine::deleteInstalledFiles(const char* folder) {
    if (!isFolderBelowRoot(folder)) return nullptr;
    const char* firstLeft = nullptr;
    deleteListedFiles(installFiles, folder, sourceDir, firstLeft);
    deleteListedFiles(updateFiles, folder, sourceDir, firstLeft);
    // An update that was ended may have left its temporary file (earlier
    // versions), its staged and old files and its record.
    if (!deleteListedFile(folder, kUpdateTemporaryName, sourceDir) && firstLeft == nullptr) {
        firstLeft = kUpdateTemporaryName;
    }
    removeLeftovers(folder, installFiles, updateFiles);
    return firstLeft;
}

bool SetupEngine::runInstall() {
    // Without a source every name would be looked for on the current
    // drive's root, found missing and skipped: an install of nothing.
    if (sourceDir[0] == '\0') {
        report(dialogWindow,
               "インストールするファイルの場所がわかりません。\nインストールは行われませんでした。",
               kConfirmCaption);
        return false;
    }
    if (char* last = trailingBackslash(installBase)) *last = '\0';
    char composed[kTextCapacity];
    if (!composeInstallDir(*this, composed, sizeof composed)) {
        reportFolderNotCreated(dialogWindow, composed);
        return false;
    }
    // An update ended in its replace step in this folder (the game held a
    // file when it was to be put back) is put back first: its record would
    // otherwise undo the install at the next start.
    if (!putBackEndedUpdate()) return false;
    freeMegabytes = getFreeMegabytes(installBase);
    if (requiredMegabytes > freeMegabytes) {
        reportTooLittleSpace(*this);
        return false;
    }
    if (!createFolderPath(installDir)) {
        reportFolderNotCreated(dialogWindow, installDir);
        return false;
    }
    if (!runInstallCopy()) {
        deleteInstalledFiles(installDir);
        return false;
    }
    showStatus("レジストリにゲーム情報を書き込んでいます。");
    if (!writeRecord()) {
        deleteInstalledFiles(installDir);
        deleteKey(ProductConfig::registryKeyPath);
        return false;
    }
    showStatus("スタートメニューに登録しています。");
    if (!createShortcutGroup(1)) return false;
    showStatus(kInstalledText);
    report(dialogWindow, kInstalledText, kFinishedCaption);
    showStatus("");
    installState = 1;
    return true;
}

bool SetupEngine::runUninstall() {
    // A record whose folder is not an absolute game folder is refused before
    // anything is asked or touched.
    if (!isFolderBelowRoot(installDir)) {
        report(dialogWindow,
               "インストール先のフォルダが正しくありません。\nアンインストールは行われませんでした。",
               kConfirmCaption);
        return false;
    }
    char question[kMessageCapacity];
    formatText(question, sizeof question,
               "%s のアンインストールを開始します。\n開始してもよろしいですか？", productName);
    if (platform::messageBox(dialogWindow, question, kConfirmCaption,
                             platform::kQuestionFlags) == platform::kAnswerNo) {
        return false;
    }
    // A file that could not be deleted (the game is running) leaves the
    // record and the Start-menu group in place, so that the uninstall can
    // be run again once the game has ended.
    if (const char* left = deleteInstalledFiles(installDir)) {
        char text[kMessageCapacity];
        formatText(text, sizeof text,
                   "%s\nを削除できませんでした。\nゲームを終了してから、もう一度アンインストールしてください。",
                   left);
        report(dialogWindow, text, kConfirmCaption);
        return false;
    }
    removeShortcutGroup();
    if (!deleteKey(ProductConfig::registryKeyPath)) return false;
    removeEmptyGameFolders(*this);
    report(dialogWindow, "アンインストールが完了しました。", kFinishedCaption);
    installState = 0;
    return true;
}
