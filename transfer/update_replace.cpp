// The replace step of an update, and putting it back.
//
// Before the step, the record (~UPDATE.LOG) lists each file it will
// replace, "+" for one whose old game file goes into the backup folder and
// "-" for one that had no game file, and is written through to the disk.
// Then each old file is renamed into the backup folder and its staged file
// into its place. Deleting the record is the step's commit; until then any
// start can put every game file back: an old file from the backup folder,
// and a new file that had no old one back into the staging folder. Putting
// back is always the choice after a killed run: the staged data was never
// flushed, so after a power cut the new files may not be whole, while the
// old ones were only renamed.
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

// Puts one file back as it was before the replace step: its old file, from
// the backup folder, over whatever stands in its place (a rename in one
// step), or, for a file that had none, the new file back into the staging
// folder. A file the step never reached is left alone.
bool putBack(const char* gameFolder, const UpdateFile& file) {
    FilePaths paths;
    if (!composePaths(paths, gameFolder, file.name)) return false;
    if (file.hadOld) {
        return !isThere(paths.old) || platform::replaceFile(paths.old, paths.game);
    }
    if (isThere(paths.staged) || !isThere(paths.game)) return true;
    return platform::replaceFile(paths.game, paths.staged);
}

// Puts back the first count files, the last first (a file the update does
// not bring was never touched); the first that could not be put back, or
// null.
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

// Reads the record's files from its text; false when it is not a whole
// record, which means the step never began: it begins only once the record
// is on the disk.
bool parseRecord(const std::string& text, UpdateFiles& files) {
    size_t line = 0;
    for (size_t begin = 0; begin < text.size(); ++line) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) return false;
        std::string entry = text.substr(begin, end - begin);
        begin = end + 1;
        if (!entry.empty() && entry.back() == '\r') entry.pop_back();
        if (line == 0) {
            if (entry != kRecordHeading) return false;
            continue;
        }
        if (entry == kRecordEnd) return true;
        UpdateFile file{};
        if (entry.empty() || (entry[0] != '+' && entry[0] != '-') ||
            !copyText(file.name, sizeof file.name, entry.c_str() + 1) ||
            !isPlainName(file.name) || isReservedName(file.name)) {
            return false;
        }
        file.present = true;
        file.hadOld = entry[0] == '+';
        files.push_back(file);
    }
    return false;
}

// Puts back the files of a record that a killed run left; the first that
// could not be put back (the record itself when it cannot be read), or null.
const char* putBackRecorded(const char* gameFolder, const char* record, UpdateFiles& files) {
    platform::Presence presence = platform::findPath(record);
    if (presence == platform::Presence::Missing) return nullptr;
    std::string text;
    if (presence != platform::Presence::File || !readSmallFile(record, text)) {
        return kUpdateJournalName;
    }
    if (!parseRecord(text, files)) return nullptr;
    return putBackFiles(gameFolder, files, files.size());
}

// Removes the kept file of each listed name from a folder of the game
// folder, then the folder when it is empty.
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
// its staged file into its place.
bool replaceFile(const char* gameFolder, const UpdateFile& file) {
    FilePaths paths;
    if (!composePaths(paths, gameFolder, file.name)) return false;
    if (file.hadOld && !platform::replaceFile(paths.game, paths.old)) return false;
    return platform::replaceFile(paths.staged, paths.game);
}

// Which files have an old game file; false, naming it, when a file's place
// holds a folder or cannot be searched.
bool findOldFiles(const char* gameFolder, UpdateFiles& files, const char*& at) {
    for (UpdateFile& file : files) {
        char game[kTextCapacity];
        if (!file.present) continue;
        at = file.name;
        if (!gameFilePath(game, sizeof game, gameFolder, file.name)) return false;
        platform::Presence presence = platform::findPath(game);
        if (presence != platform::Presence::File && presence != platform::Presence::Missing) {
            return false;
        }
        file.hadOld = presence == platform::Presence::File;
    }
    return true;
}

bool makeBackupFolder(const char* gameFolder) {
    char folder[kTextCapacity];
    return gameFilePath(folder, sizeof folder, gameFolder, kBackupFolderName) &&
           (platform::makeDirectory(folder) ||
            platform::findPath(folder) == platform::Presence::Folder);
}

// Puts back the first count files after a failed rename; Mixed, naming the
// file, when one could not be put back.
ReplaceOutcome undoReplace(const char* gameFolder, UpdateFiles& files, size_t count,
                           const char*& at) {
    if (const char* notPutBack = putBackFiles(gameFolder, files, count)) {
        at = notPutBack;
        return ReplaceOutcome::Mixed;
    }
    return ReplaceOutcome::RolledBack;
}

}  // namespace

bool gameFilePath(char* path, size_t capacity, const char* folder, const char* name) {
    return formatText(path, capacity, "%s\\%s", folder, name);
}

bool keptFilePath(char* path, size_t capacity, const char* folder, const char* kept,
                  const char* name) {
    return formatText(path, capacity, "%s\\%s\\%s", folder, kept, name);
}

ReplaceOutcome replaceGameFiles(const char* gameFolder, UpdateFiles& files, const char*& at) {
    char record[kTextCapacity];
    if (!findOldFiles(gameFolder, files, at)) return ReplaceOutcome::RolledBack;
    at = kUpdateJournalName;
    if (!gameFilePath(record, sizeof record, gameFolder, kUpdateJournalName)) {
        return ReplaceOutcome::RolledBack;
    }
    if (!makeBackupFolder(gameFolder) || !writeRecord(record, files)) {
        return ReplaceOutcome::RolledBack;
    }
    for (size_t index = 0; index < files.size(); ++index) {
        if (!files[index].present || replaceFile(gameFolder, files[index])) continue;
        at = files[index].name;
        return undoReplace(gameFolder, files, index + 1, at);
    }
    // The commit. A record that stayed would have the next start put the
    // old files back, so the update would be undone after it was reported.
    if (!platform::deleteFile(record)) {
        return undoReplace(gameFolder, files, files.size(), at);
    }
    return ReplaceOutcome::Replaced;
}

bool recoverGameFiles(const char* gameFolder, FileList installFiles, FileList updateFiles,
                      char* at) {
    char record[kTextCapacity];
    if (!gameFilePath(record, sizeof record, gameFolder, kUpdateJournalName)) return true;
    UpdateFiles files;
    if (const char* notPutBack = putBackRecorded(gameFolder, record, files)) {
        copyText(at, kNameCapacity, notPutBack);
        return false;
    }
    removeUpdateLeftovers(gameFolder, installFiles, updateFiles);
    return true;
}

void removeUpdateLeftovers(const char* gameFolder, FileList installFiles, FileList updateFiles) {
    removeKeptFolder(gameFolder, kStagingFolderName, installFiles, updateFiles);
    removeKeptFolder(gameFolder, kBackupFolderName, installFiles, updateFiles);
    char path[kTextCapacity];
    if (gameFilePath(path, sizeof path, gameFolder, kUpdateJournalName)) {
        platform::deleteFile(path);
    }
    // The temporary file of earlier versions, which may have taken a
    // read-only source's attribute.
    if (gameFilePath(path, sizeof path, gameFolder, kUpdateTemporaryName)) {
        platform::setAttributesNormal(path);
        platform::deleteFile(path);
    }
}
