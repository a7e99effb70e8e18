// What only the replace step does: moving every staged file into its game
// file's place in one short run of renames, keeping each old file in the
// backup folder until all are in place, and putting every file back when a
// rename fails, or at the next start when the run was ended in the step.
//
// Before the first rename the backup folder is emptied of every listed
// name, so that whatever it holds afterwards is this run's own, and the
// record (transfer/update_record.h) is on the disk. Deleting the record is
// the commit; until then any start can put every game file back: an old
// file from the backup folder, and a new file that had no old one removed.
// After the commit the game folder's entries are flushed to the disk before
// the old files go.
#include "transfer/update_replace.h"

#include "base/bounded_text.h"
#include "base/paths.h"
#include "transfer/reserved_names.h"
#include "transfer/update_folders.h"
#include "transfer/update_record.h"

namespace {

// Undoes what the step did to one file: its old file back from the backup
// folder over whatever stands in its place (a rename in one step), or, for
// a file that had none, its new file removed.
bool putBack(const char* gameFolder, const UpdateFile& file) {
    UpdatePaths paths;
    if (!composeUpdatePaths(paths, gameFolder, file.name)) return false;
    if (file.movedOld) return platform::replaceFile(paths.old, paths.game);
    if (file.placed) return platform::deleteFile(paths.game) || !isThere(paths.game);
    return true;
}

// Puts back the first count files, the last first; the first that could not
// be put back, or null.
const char* putBackFiles(const char* gameFolder, const UpdateFiles& files, size_t count) {
    const char* notPutBack = nullptr;
    while (count > 0) {
        const UpdateFile& file = files[--count];
        if (file.present && !putBack(gameFolder, file)) notPutBack = file.name;
    }
    return notPutBack;
}

// Puts back the first count files after a failed rename; NotPutBack, naming
// the file, when one could not be put back, else what the system said of
// the rename: Denied, or Held (the game holds the file, or another cause).
ReplaceOutcome putBackReplaced(const char* gameFolder, UpdateFiles& files, size_t count,
                               char* at) {
    bool denied = platform::errorKindOf(platform::lastError()) == platform::ErrorKind::Denied;
    if (const char* notPutBack = putBackFiles(gameFolder, files, count)) {
        copyText(at, kTextCapacity, notPutBack);
        return ReplaceOutcome::NotPutBack;
    }
    return denied ? ReplaceOutcome::Denied : ReplaceOutcome::Held;
}

// How far an ended run got with one recorded file, read off the disk: its
// old file is in the backup folder (which held none before the run), or
// its new file has left the staging folder for its place.
void findProgress(const char* gameFolder, UpdateFile& file) {
    UpdatePaths paths;
    if (!composeUpdatePaths(paths, gameFolder, file.name)) return;
    file.movedOld = file.hadOld && isThere(paths.old);
    file.placed = !file.hadOld && !isThere(paths.staged) && isThere(paths.game);
}

// Moves one file: its old game file, if any, into the backup folder, then
// its staged file into its place, noting each move made.
bool moveIntoPlace(const char* gameFolder, UpdateFile& file) {
    UpdatePaths paths;
    if (!composeUpdatePaths(paths, gameFolder, file.name)) return false;
    if (file.hadOld) {
        if (!platform::replaceFile(paths.game, paths.old)) return false;
        file.movedOld = true;
    }
    if (!platform::replaceFile(paths.staged, paths.game)) return false;
    file.placed = true;
    return true;
}

// Which files have an old game file; otherwise what stands in a file's
// place, named in at.
ReplaceOutcome findOldFiles(const char* gameFolder, UpdateFiles& files, char* at) {
    for (UpdateFile& file : files) {
        char game[kTextCapacity];
        if (!file.present) continue;
        copyText(at, kTextCapacity, file.name);
        if (!joinPath(game, sizeof game, gameFolder, file.name)) {
            return ReplaceOutcome::NotSearchable;
        }
        platform::Presence presence = platform::findPath(game);
        if (presence == platform::Presence::Folder) return ReplaceOutcome::FolderInPlace;
        if (presence == platform::Presence::Unknown) return ReplaceOutcome::NotSearchable;
        file.hadOld = presence == platform::Presence::File;
        file.movedOld = false;
        file.placed = false;
    }
    return ReplaceOutcome::Replaced;
}

// Removes from the backup folder every file an earlier run left there under
// a name of this update: a file the step finds there must be one it moved.
// False, naming it in at, when one stays.
bool emptyBackupFolder(const char* gameFolder, const UpdateFiles& files, char* at) {
    for (const UpdateFile& file : files) {
        UpdatePaths paths;
        if (!file.present || !composeUpdatePaths(paths, gameFolder, file.name)) continue;
        if (!isThere(paths.old)) continue;
        platform::setAttributesNormal(paths.old);
        if (!platform::deleteFile(paths.old) && isThere(paths.old)) {
            joinPath(at, kTextCapacity, kBackupFolderName, file.name);
            return false;
        }
    }
    return true;
}

// Everything before the first rename: the old files found, an empty backup
// folder, the record on the disk.
ReplaceOutcome prepareReplace(const char* gameFolder, UpdateFiles& files, char* at) {
    ReplaceOutcome found = findOldFiles(gameFolder, files, at);
    if (found != ReplaceOutcome::Replaced) return found;
    copyText(at, kTextCapacity, kBackupFolderName);
    if (!makeUpdateFolder(gameFolder, kBackupFolderName)) return ReplaceOutcome::NotMade;
    if (!emptyBackupFolder(gameFolder, files, at)) return ReplaceOutcome::NotEmptied;
    copyText(at, kTextCapacity, kUpdateRecordName);
    if (!writeUpdateRecord(gameFolder, files)) return ReplaceOutcome::NotMade;
    return ReplaceOutcome::Replaced;
}

}  // namespace

ReplaceOutcome replaceGameFiles(const char* gameFolder, UpdateFiles& files, char* at) {
    ReplaceOutcome prepared = prepareReplace(gameFolder, files, at);
    if (prepared != ReplaceOutcome::Replaced) return prepared;
    for (size_t index = 0; index < files.size(); ++index) {
        if (!files[index].present || moveIntoPlace(gameFolder, files[index])) continue;
        copyText(at, kTextCapacity, files[index].name);
        return putBackReplaced(gameFolder, files, index + 1, at);
    }
    // The commit. A record that stayed would have the next start put the
    // old files back, so the update would be undone after it was reported.
    if (!deleteUpdateRecord(gameFolder)) {
        copyText(at, kTextCapacity, kUpdateRecordName);
        return putBackReplaced(gameFolder, files, files.size(), at);
    }
    // The new names and the commit reach the disk before the old files go;
    // where the file system cannot flush a folder (NTFS journals renames
    // and deletes in order anyway), the order of the calls is all there is.
    platform::flushFolderToDisk(gameFolder);
    return ReplaceOutcome::Replaced;
}

PutBackOutcome putBackEndedUpdate(const char* gameFolder, FileList installFiles,
                                  FileList updateFiles, char* at) {
    UpdateFiles files;
    RecordState state = readUpdateRecord(gameFolder, installFiles, updateFiles, files, at);
    if (state == RecordState::Foreign) return PutBackOutcome::Foreign;
    if (state == RecordState::Unreadable) {
        copyText(at, kNameCapacity, kUpdateRecordName);
        return PutBackOutcome::NotPutBack;
    }
    for (UpdateFile& file : files) findProgress(gameFolder, file);
    if (const char* notPutBack = putBackFiles(gameFolder, files, files.size())) {
        copyText(at, kNameCapacity, notPutBack);
        return PutBackOutcome::NotPutBack;
    }
    removeLeftovers(gameFolder, installFiles, updateFiles);
    return PutBackOutcome::Done;
}
