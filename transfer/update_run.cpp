// runUpdate: the program's main job. Copies every file of both lists from
// the data folder beside the program into the installed game folder, with
// normal attributes and the source's three times, and tells the user the
// outcome. Each new file is written beside its target first and takes the
// old one's place only when whole, so that a game file is never left half
// written by a full disk, a bad read or an update that was ended.
#include <cctype>
#include <cstring>

#include "base/bounded_text.h"
#include "engine/setup_engine.h"
#include "transfer/copy_phases.h"
#include "transfer/same_file.h"
#include "transfer/reserved_names.h"

namespace {

const char kCompleted[] = "アップデートが完了しました。";
const char kFileFailed[] = "%s\nを更新できませんでした。\nアップデートは完了していません。";
const char kFolderInvalid[] =
    "インストール先のフォルダが正しくありません。\nアップデートは行われませんでした。";
const char kFolderMissing[] =
    "インストール先のフォルダ\n%s\nが見つかりません。\nアップデートは行われませんでした。";
const char kUpdateFilesUnknown[] =
    "アップデートするファイルの場所がわかりません。\nアップデートは行われませんでした。";
const char kReportCaption[] = "確認";
const char kCompletedCaption[] = "終了";

// Stranded: the old file is gone and the new one could not take its place;
// it stays as the temporary file, which the next name would overwrite, so
// the run ends there.
enum class FileOutcome { Updated, SourceMissing, Failed, Stranded };

void report(SetupEngine& engine, const char* text, const char* caption) {
    platform::messageBox(engine.dialogWindow, text, caption, platform::kReportFlags);
}

// A warning whose text names one item (a file or a folder).
void reportNaming(SetupEngine& engine, const char* format, const char* item) {
    char text[kTextCapacity];
    formatText(text, sizeof text, format, item);
    report(engine, text, kReportCaption);
}

bool isPathSeparator(char c) { return c == '\\'; }

// "X:" or "X:\..." (a drive root is kept as two characters), or
// "\\server\share...". Anything else would be resolved against the current
// drive or folder.
bool isAbsoluteFolder(const char* folder) {
    if (std::isalpha(static_cast<unsigned char>(folder[0])) && folder[1] == ':') {
        return folder[2] == '\0' || isPathSeparator(folder[2]);
    }
    if (!isPathSeparator(folder[0]) || !isPathSeparator(folder[1])) return false;
    const char* server = folder + 2;
    const char* at = server;
    while (*at != '\0' && !isPathSeparator(*at)) ++at;
    return at != server && isPathSeparator(*at) && at[1] != '\0' && !isPathSeparator(at[1]);
}

// Points sourceDir at the folder of the running program.
bool useProgramFolder(SetupEngine& engine) {
    return platform::moduleFileName(engine.sourceDir, sizeof engine.sourceDir) &&
           cutAtLastBackslash(engine.sourceDir);
}

// Carries the source's creation, access and write times over to the target.
bool copyTimes(const char* target, const char* source) {
    platform::FileHandle from = platform::openTimeSource(source);
    if (from == nullptr) return false;
    platform::FileHandle to = platform::openTimeTarget(target);
    if (to == nullptr) {
        platform::closeFile(from);
        return false;
    }
    platform::FileTimes times;
    bool copied = platform::readFileTimes(from, times) && platform::writeFileTimes(to, times);
    platform::closeFile(from);
    platform::closeFile(to);
    return copied;
}

// The temporary file beside target; false when target has no folder or the
// path does not fit.
bool composeTemporary(char* temporary, size_t capacity, const char* target) {
    char folder[kTextCapacity];
    return copyText(folder, sizeof folder, target) && cutAtLastBackslash(folder) &&
           formatText(temporary, capacity, "%s\\%s", folder, kUpdateTemporaryName);
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when target is the temporary file itself. Both paths share the
// folder, byte for byte; the system ignores letter case and trailing dots
// and blanks in the name. A CP932 lead byte never equals an ASCII letter, so
// folding ASCII letters alone cannot join two different names.
bool isTemporaryFile(const char* target, const char* temporary) {
    size_t length = std::strlen(target);
    while (length > 0 && (target[length - 1] == '.' || target[length - 1] == ' ')) --length;
    if (length != std::strlen(temporary)) return false;
    for (size_t at = 0; at < length; ++at) {
        if (asciiLower(target[at]) != asciiLower(temporary[at])) return false;
    }
    return true;
}

// Removes the temporary file, whatever a killed earlier run or the system's
// copy (which carries a read-only source's attribute) left it as.
void removeTemporary(const char* temporary) {
    platform::setAttributesNormal(temporary);
    platform::deleteFile(temporary);
}

enum class Placement { Placed, Refused, Stranded };

// Replaces target with the finished temporary file. A read-only target
// refuses the replace; only then is its attribute cleared, and when the
// replace still fails (the file is held open) it gets its attributes back,
// so that it keeps them as well as its contents.
bool replaceTarget(const char* temporary, const char* target) {
    if (platform::replaceFile(temporary, target)) return true;
    uint32_t attributes = 0;
    if (!platform::fileAttributes(target, attributes) ||
        (attributes & platform::kAttributeReadOnly) == 0) {
        return false;
    }
    if (platform::setAttributesNormal(target) && platform::replaceFile(temporary, target)) {
        return true;
    }
    platform::setFileAttributes(target, attributes);
    return false;
}

// Puts the finished temporary file in target's place. Some file systems
// do not replace in one step and may have removed the old file before
// failing: the temporary file is then the only copy of the game file, so it
// goes into the empty place, or stays where it is.
Placement placeNewFile(const char* temporary, const char* target) {
    if (replaceTarget(temporary, target)) return Placement::Placed;
    if (platform::findPath(target) != platform::Presence::Missing) return Placement::Refused;
    return platform::replaceFile(temporary, target) ? Placement::Placed : Placement::Stranded;
}

// Copies source into the temporary file and puts it in target's place when
// that copy is whole. Unless the outcome is Stranded, target is either new
// or as it was, and no temporary file is left.
FileOutcome copyIntoPlace(SetupEngine& engine, const char* target, const char* temporary,
                          const char* source) {
    removeTemporary(temporary);
    Placement placement = engine.copyFile(temporary, source)
                              ? placeNewFile(temporary, target)
                              : Placement::Refused;
    markCopyPhase(CopyPhase::Replace);
    if (placement == Placement::Placed) return FileOutcome::Updated;
    if (placement == Placement::Stranded) return FileOutcome::Stranded;
    removeTemporary(temporary);
    return FileOutcome::Failed;
}

// Only a source that is not there is skipped: one that is there but cannot
// be read, or that the system could not search for, fails. The search is
// made only once the copy has failed, so that a file that is there costs no
// call of its own.
FileOutcome unlessMissing(const char* source, FileOutcome outcome) {
    bool missing = platform::findPath(source) == platform::Presence::Missing;
    return missing ? FileOutcome::SourceMissing : outcome;
}

// One name: replaced contents, normal attributes, the source's times. A
// target whose contents were not replaced keeps its own contents and times.
// When the data folder is the game folder, each file found is its own new
// version.
FileOutcome updateFile(SetupEngine& engine, const char* name, bool dataIsGameFolder) {
    char source[kTextCapacity];
    char target[kTextCapacity];
    char temporary[kTextCapacity];
    if (!formatText(source, sizeof source, "%s\\%s\\%s", engine.sourceDir, engine.dataFolder,
                    name) ||
        !formatText(target, sizeof target, "%s\\%s", engine.installDir, name) ||
        !composeTemporary(temporary, sizeof temporary, target) ||
        isTemporaryFile(target, temporary)) {
        return FileOutcome::Failed;
    }
    markCopyPhase(CopyPhase::SourceChecks);
    if (dataIsGameFolder) return unlessMissing(source, FileOutcome::Updated);

    FileOutcome placed = copyIntoPlace(engine, target, temporary, source);
    if (placed == FileOutcome::Failed) return unlessMissing(source, FileOutcome::Failed);
    if (placed != FileOutcome::Updated) return placed;
    // The system's fallback copy carries the source's attributes over.
    platform::setAttributesNormal(target);
    bool timed = copyTimes(target, source);
    markCopyPhase(CopyPhase::AttributesAndTimes);
    return timed ? FileOutcome::Updated : FileOutcome::Failed;
}

// True when name stands in list before the entry end (in the whole list when
// end is null).
bool listedBefore(FileList list, char** end, const char* name) {
    if (list == nullptr) return false;
    for (char** entry = list; entry != end && (*entry)[0] != '\0'; ++entry) {
        if (std::strcmp(*entry, name) == 0) return true;
    }
    return false;
}

// What one run knows across its names.
struct RunState {
    bool dataIsGameFolder;
    const char* firstFailure;  // the first name that failed, if any
};

// The data folder beside the program, which must be there: a program run
// from inside a downloaded archive, or copied without its data, would
// otherwise find every file missing and report an update of nothing.
bool findDataFolder(const SetupEngine& engine, char* dataFolder, size_t capacity) {
    return formatText(dataFolder, capacity, "%s\\%s", engine.sourceDir, engine.dataFolder) &&
           platform::findPath(dataFolder) == platform::Presence::Folder;
}

// Walks a list up to its empty name; a name already met in this run (in an
// earlier list or earlier in this one) is not copied again: its first
// outcome stands. False when the run must end at a stranded file.
bool updateList(SetupEngine& engine, FileList list, FileList earlier, RunState& run) {
    if (list == nullptr) return true;
    for (char** entry = list; (*entry)[0] != '\0'; ++entry) {
        if (listedBefore(earlier, nullptr, *entry) || listedBefore(list, entry, *entry)) continue;
        FileOutcome outcome = updateFile(engine, *entry, run.dataIsGameFolder);
        bool failed = outcome == FileOutcome::Failed || outcome == FileOutcome::Stranded;
        if (failed && run.firstFailure == nullptr) run.firstFailure = *entry;
        if (outcome == FileOutcome::Stranded) return false;
    }
    return true;
}

// The install folder must be a complete path of a folder that exists; the
// update never creates it. Entering it is the test that it exists (as the
// install does).
bool checkInstallFolder(SetupEngine& engine) {
    if (!isAbsoluteFolder(engine.installDir)) {
        report(engine, kFolderInvalid, kReportCaption);
        return false;
    }
    if (!platform::changeDirectory(engine.installDir)) {
        reportNaming(engine, kFolderMissing, engine.installDir);
        return false;
    }
    return true;
}

}  // namespace

bool SetupEngine::runUpdate() {
    // A cancel left over from an install in the same window must not cut
    // the update's copies short.
    cancelState = kCancelNone;
    char dataPath[kTextCapacity];
    if (!useProgramFolder(*this) || !findDataFolder(*this, dataPath, sizeof dataPath)) {
        report(*this, kUpdateFilesUnknown, kReportCaption);
        return false;
    }
    if (!checkInstallFolder(*this)) return false;

    // When the data folder is the game folder itself (the update unpacked
    // into the maker's folder; another letter case or a short name still
    // names it), every file found is already its own new version. Elsewhere
    // a file linked into both folders is harmless: its copy replaces the
    // target, never the source.
    RunState run{isSameFile(dataPath, installDir), nullptr};
    if (updateList(*this, installFiles, nullptr, run)) {
        updateList(*this, updateFiles, installFiles, run);
    }
    if (run.firstFailure != nullptr) {
        reportNaming(*this, kFileFailed, run.firstFailure);
        return false;
    }
    report(*this, kCompleted, kCompletedCaption);
    return true;
}
