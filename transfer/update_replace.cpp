// The replace step of an update, and putting it back.
//
// Before the step, the backup folder is emptied of every listed name, so
// that whatever it holds afterwards is this run's own, and the record
// (~UPDATE.LOG) lists each file the step will replace, "+" for one whose old
// game file goes into the backup folder and "-" for one that had no game
// file; the record is written through to the disk. Then each old file is
// renamed into the backup folder and its staged file into its place.
// Deleting the record is the step's commit; until then any start can put
// every game file back: an old file from the backup folder, and a new file
// that had no old one removed. After the commit the
// game folder's entries are flushed to the disk before the old files go.
//
// The record's text, CRLF line ends:
//
//   record = "update record 1" EOL { ( "+" | "-" ) NAME EOL } "." EOL
//
// NAME is a name of the program's lists; a record cut short was written
// before the step began, and one naming other files is not this program's.
#include <cstring>
#include <string>

#include "base/bounded_text.h"
#include "transfer/file_names.h"
#include "transfer/reserved_names.h"
#include "transfer/small_file.h"
#include "transfer/update_files.h"

namespace {

const char kRecordHeading[] = "update record 1";
const char kRecordEnd[] = ".";

// The three places of one file of the update.
struct FilePaths {
    char game[kTextCapacity];
    char staged[kTextCapacity];
    char old[kTextCapacity];
};

bool composePaths(FilePaths& paths, const char* gameFolder, const char* name) {
    return gameFilePath(paths.game, sizeof paths.game, gameFolder, name) &&
           keptFilePath(paths.staged, sizeof paths.staged, gameFolder, kStagingFolderName, name) &&
           keptFilePath(paths.old, sizeof paths.old, gameFolder, kBackupFolderName, name);
}

bool isThere(const char* path) {
    return platform::findPath(path) != platform::Presence::Missing;
}

// Undoes what the step did to one file: its old file back from the backup
// folder over whatever stands in its place (a rename in one step), or, for
// a file that had none, its new file removed.
bool putBack(const char* gameFolder, const UpdateFile& file) {
    FilePaths paths;
    if (!composePaths(paths, gameFolder, file.name)) return false;
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

// The record of the files that the step replaces (a plain name holds no
// line end); false when it cannot be written.
bool writeRecord(const char* record, const UpdateFiles& files) {
    std::string text = std::string(kRecordHeading) + "\r\n";
    for (const UpdateFile& file : files) {
        if (!file.present) continue;
        text += file.hadOld ? '+' : '-';
        text += file.name;
        text += "\r\n";
    }
    text += std::string(kRecordEnd) + "\r\n";
    return platform::writeFileToDisk(record, text.data(), text.size());
}

bool isInList(FileList list, const std::string& name) {
    for (int index = 0; list != nullptr && list[index][0] != '\0'; ++index) {
        if (name == list[index]) return true;
    }
    return false;
}

enum class RecordState { Whole, NotWhole, Foreign };

// One line of the record's body: "+name" or "-name" of a listed name.
RecordState parseEntry(const std::string& entry, FileList installFiles, FileList updateFiles,
                       UpdateFile& file) {
    if (entry.empty() || (entry[0] != '+' && entry[0] != '-')) return RecordState::NotWhole;
    // A listed name holds no NUL, so a line with one names no listed file.
    std::string name = entry.substr(1);
    copyText(file.name, sizeof file.name, name.c_str());
    if (!isInList(installFiles, name) && !isInList(updateFiles, name)) {
        return RecordState::Foreign;
    }
    file.present = true;
    file.hadOld = entry[0] == '+';
    return RecordState::Whole;
}

// Reads the record's files from its text. NotWhole means the step never
// began (it begins only once the whole record is on the disk); Foreign
// names, in foreign, a line that no list of this program holds.
RecordState parseRecord(const std::string& text, FileList installFiles, FileList updateFiles,
                        UpdateFiles& files, UpdateFile& foreign) {
    size_t line = 0;
    for (size_t begin = 0; begin < text.size(); ++line) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) return RecordState::NotWhole;
        std::string entry = text.substr(begin, end - begin);
        begin = end + 1;
        if (!entry.empty() && entry.back() == '\r') entry.pop_back();
        if (line == 0) {
            if (entry != kRecordHeading) return RecordState::NotWhole;
            continue;
        }
        if (entry == kRecordEnd) return RecordState::Whole;
        UpdateFile file{};
        RecordState state = parseEntry(entry, installFiles, updateFiles, file);
        if (state == RecordState::Foreign) foreign = file;
        if (state != RecordState::Whole) return state;
        files.push_back(file);
    }
    return RecordState::NotWhole;
}

// How far a killed run got with one recorded file, read off the disk: its
// old file is in the backup folder (which held none before the run), or
// its new file has left the staging folder for its place.
void findProgress(const char* gameFolder, UpdateFile& file) {
    FilePaths paths;
    if (!composePaths(paths, gameFolder, file.name)) return;
    file.movedOld = file.hadOld && isThere(paths.old);
    file.placed = !file.hadOld && !isThere(paths.staged) && isThere(paths.game);
}

// Removes the kept file of each listed name from a folder of the game
// folder.
void removeKeptFiles(const char* gameFolder, const char* kept, FileList list) {
    char path[kTextCapacity];
    for (int index = 0; list != nullptr && list[index][0] != '\0'; ++index) {
        if (!keptFilePath(path, sizeof path, gameFolder, kept, list[index])) continue;
        platform::setAttributesNormal(path);
        platform::deleteFile(path);
    }
}

void removeKeptFolder(const char* gameFolder, const char* kept, FileList installFiles,
                      FileList updateFiles) {
    char folder[kTextCapacity];
    if (!gameFilePath(folder, sizeof folder, gameFolder, kept) ||
        platform::findPath(folder) != platform::Presence::Folder) {
        return;
    }
    removeKeptFiles(gameFolder, kept, installFiles);
    removeKeptFiles(gameFolder, kept, updateFiles);
    platform::removeDirectory(folder);
}

// Moves one file: its old game file, if any, into the backup folder, then
// its staged file into its place, noting each move made.
bool replaceFile(const char* gameFolder, UpdateFile& file) {
    FilePaths paths;
    if (!composePaths(paths, gameFolder, file.name)) return false;
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
        if (!gameFilePath(game, sizeof game, gameFolder, file.name)) {
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

bool makeBackupFolder(const char* gameFolder) {
    char folder[kTextCapacity];
    return gameFilePath(folder, sizeof folder, gameFolder, kBackupFolderName) &&
           (platform::makeDirectory(folder) ||
            platform::findPath(folder) == platform::Presence::Folder);
}

// Removes from the backup folder every file an earlier run left there under
// a name of this update: a file the step finds there must be one it moved.
// False, naming it in at, when one stays.
bool emptyBackupFolder(const char* gameFolder, const UpdateFiles& files, char* at) {
    for (const UpdateFile& file : files) {
        FilePaths paths;
        if (!file.present || !composePaths(paths, gameFolder, file.name)) continue;
        if (!isThere(paths.old)) continue;
        platform::setAttributesNormal(paths.old);
        if (!platform::deleteFile(paths.old) && isThere(paths.old)) {
            formatText(at, kTextCapacity, "%s\\%s", kBackupFolderName, file.name);
            return false;
        }
    }
    return true;
}

// Puts back the first count files after a failed rename; NotPutBack, naming
// the file, when one could not be put back.
ReplaceOutcome undoReplace(const char* gameFolder, UpdateFiles& files, size_t count, char* at) {
    if (const char* notPutBack = putBackFiles(gameFolder, files, count)) {
        copyText(at, kTextCapacity, notPutBack);
        return ReplaceOutcome::NotPutBack;
    }
    return ReplaceOutcome::Held;
}

// Everything before the first rename: the old files found, an empty backup
// folder, the record on the disk.
ReplaceOutcome prepareReplace(const char* gameFolder, UpdateFiles& files, const char* record,
                              char* at) {
    ReplaceOutcome found = findOldFiles(gameFolder, files, at);
    if (found != ReplaceOutcome::Replaced) return found;
    copyText(at, kTextCapacity, kBackupFolderName);
    if (!makeBackupFolder(gameFolder)) return ReplaceOutcome::NotMade;
    if (!emptyBackupFolder(gameFolder, files, at)) return ReplaceOutcome::NotEmptied;
    copyText(at, kTextCapacity, kUpdateRecordName);
    if (!writeRecord(record, files)) return ReplaceOutcome::NotMade;
    return ReplaceOutcome::Replaced;
}

}  // namespace

bool gameFilePath(char* path, size_t capacity, const char* folder, const char* name) {
    return formatText(path, capacity, "%s\\%s", folder, name);
}

bool keptFilePath(char* path, size_t capacity, const char* folder, const char* kept,
                  const char* name) {
    return formatText(path, capacity, "%s\\%s\\%s", folder, kept, name);
}

ReplaceOutcome replaceGameFiles(const char* gameFolder, UpdateFiles& files, char* at) {
    char record[kTextCapacity];
    copyText(at, kTextCapacity, kUpdateRecordName);
    if (!gameFilePath(record, sizeof record, gameFolder, kUpdateRecordName)) {
        return ReplaceOutcome::NotMade;
    }
    ReplaceOutcome prepared = prepareReplace(gameFolder, files, record, at);
    if (prepared != ReplaceOutcome::Replaced) return prepared;
    for (size_t index = 0; index < files.size(); ++index) {
        if (!files[index].present || replaceFile(gameFolder, files[index])) continue;
        copyText(at, kTextCapacity, files[index].name);
        return undoReplace(gameFolder, files, index + 1, at);
    }
    // The commit. A record that stayed would have the next start put the
    // old files back, so the update would be undone after it was reported.
    if (!platform::deleteFile(record)) {
        copyText(at, kTextCapacity, kUpdateRecordName);
        return undoReplace(gameFolder, files, files.size(), at);
    }
    // The new names and the commit reach the disk before the old files go;
    // where the file system cannot flush a folder (NTFS journals renames
    // and deletes in order anyway), the order of the calls is all there is.
    platform::flushFolderToDisk(gameFolder);
    return ReplaceOutcome::Replaced;
}

RecoveryOutcome recoverGameFiles(const char* gameFolder, FileList installFiles,
                                 FileList updateFiles, char* at) {
    char record[kTextCapacity];
    if (!gameFilePath(record, sizeof record, gameFolder, kUpdateRecordName)) {
        return RecoveryOutcome::Done;
    }
    platform::Presence presence = platform::findPath(record);
    if (presence != platform::Presence::Missing) {
        std::string text;
        copyText(at, kNameCapacity, kUpdateRecordName);
        if (presence != platform::Presence::File || !readSmallFile(record, text)) {
            return RecoveryOutcome::NotPutBack;
        }
        UpdateFiles files;
        UpdateFile foreign{};
        RecordState state = parseRecord(text, installFiles, updateFiles, files, foreign);
        if (state == RecordState::Foreign) {
            copyText(at, kNameCapacity, foreign.name);
            return RecoveryOutcome::Foreign;
        }
        if (state == RecordState::Whole) {
            for (UpdateFile& file : files) findProgress(gameFolder, file);
            if (const char* notPutBack = putBackFiles(gameFolder, files, files.size())) {
                copyText(at, kNameCapacity, notPutBack);
                return RecoveryOutcome::NotPutBack;
            }
        }
    }
    removeUpdateLeftovers(gameFolder, installFiles, updateFiles);
    return RecoveryOutcome::Done;
}

void removeUpdateLeftovers(const char* gameFolder, FileList installFiles, FileList updateFiles) {
    removeKeptFolder(gameFolder, kStagingFolderName, installFiles, updateFiles);
    removeKeptFolder(gameFolder, kBackupFolderName, installFiles, updateFiles);
    char path[kTextCapacity];
    if (gameFilePath(path, sizeof path, gameFolder, kUpdateRecordName)) {
        platform::deleteFile(path);
    }
    // The temporary file of earlier versions, which may have taken a
    // read-only source's attribute.
    if (gameFilePath(path, sizeof path, gameFolder, kUpdateTemporaryName)) {
        platform::setAttributesNormal(path);
        platform::deleteFile(path);
    }
}
