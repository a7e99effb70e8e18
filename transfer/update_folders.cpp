// The update's places in the game folder, and removing the leftovers of
// an ended update from them.
#include "transfer/update_folders.h"

#include "base/paths.h"
#include "transfer/reserved_names.h"

namespace {

// Removes the file of each listed name from a folder of the game folder.
void removeLeftoverFiles(const char* gameFolder, const char* folderName, FileList list) {
    char path[kTextCapacity];
    for (int index = 0; list != nullptr && list[index][0] != '\0'; ++index) {
        if (!joinPath(path, sizeof path, gameFolder, folderName, list[index])) continue;
        platform::setAttributesNormal(path);
        platform::deleteFile(path);
    }
}

// Removes the listed files of a folder of the game folder, then the folder
// when that left it empty.
void removeLeftoverFolder(const char* gameFolder, const char* folderName, FileList installFiles,
                          FileList updateFiles) {
    char folder[kTextCapacity];
    if (!joinPath(folder, sizeof folder, gameFolder, folderName) ||
        platform::findPath(folder) != platform::Presence::Folder) {
        return;
    }
    removeLeftoverFiles(gameFolder, folderName, installFiles);
    removeLeftoverFiles(gameFolder, folderName, updateFiles);
    platform::removeDirectory(folder);
}

}  // namespace

bool composeUpdatePaths(UpdatePaths& paths, const char* gameFolder, const char* name) {
    return joinPath(paths.game, sizeof paths.game, gameFolder, name) &&
           joinPath(paths.staged, sizeof paths.staged, gameFolder, kStagingFolderName, name) &&
           joinPath(paths.old, sizeof paths.old, gameFolder, kBackupFolderName, name);
}

bool makeUpdateFolder(const char* gameFolder, const char* folderName) {
    char folder[kTextCapacity];
    return joinPath(folder, sizeof folder, gameFolder, folderName) &&
           (platform::makeDirectory(folder) ||
            platform::findPath(folder) == platform::Presence::Folder);
}

bool isThere(const char* path) {
    return platform::findPath(path) != platform::Presence::Missing;
}

void removeLeftovers(const char* gameFolder, FileList installFiles, FileList updateFiles) {
    removeLeftoverFolder(gameFolder, kStagingFolderName, installFiles, updateFiles);
    removeLeftoverFolder(gameFolder, kBackupFolderName, installFiles, updateFiles);
    char path[kTextCapacity];
    if (joinPath(path, sizeof path, gameFolder, kUpdateRecordName)) platform::deleteFile(path);
    // The temporary file of earlier versions, which may have taken a
    // read-only source's attribute.
    if (joinPath(path, sizeof path, gameFolder, kUpdateTemporaryName)) {
        platform::setAttributesNormal(path);
        platform::deleteFile(path);
    }
}
