// runUpdate: the program's main job. Copies every file of both lists from
// the data folder beside the program into the installed game folder, with
// normal attributes and the source's three times, and tells the user the
// outcome.
#include <cctype>

#include "base/bounded_text.h"
#include "engine/setup_engine.h"

namespace {

const char kCompleted[] = "アップデートが完了しました。";
const char kFileFailed[] = "%s\nを更新できませんでした。\nアップデートは完了していません。";
const char kFolderInvalid[] =
    "インストール先のフォルダが正しくありません。\nアップデートは行われませんでした。";
const char kFolderMissing[] =
    "インストール先のフォルダ\n%s\nが見つかりません。\nアップデートは行われませんでした。";
const char kProgramFolderUnknown[] =
    "アップデートするファイルの場所がわかりません。\nアップデートは行われませんでした。";
const char kReportCaption[] = "確認";
const char kCompletedCaption[] = "終了";

enum class FileOutcome { Updated, SourceMissing, Failed };

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

// One name: replaced contents, normal attributes, the source's times. A
// target whose contents were not replaced keeps its own times.
FileOutcome updateFile(SetupEngine& engine, const char* name) {
    char source[kTextCapacity];
    char target[kTextCapacity];
    if (!formatText(source, sizeof source, "%s\\%s\\%s", engine.sourceDir, engine.dataFolder,
                    name) ||
        !formatText(target, sizeof target, "%s\\%s", engine.installDir, name)) {
        return FileOutcome::Failed;
    }
    if (!platform::canOpenForReading(source)) return FileOutcome::SourceMissing;

    // A read-only target is made writable first; afterwards again, since the
    // system's fallback copy carries the source's attributes over.
    platform::setAttributesNormal(target);
    if (!engine.copyFile(target, source)) return FileOutcome::Failed;
    platform::setAttributesNormal(target);
    return copyTimes(target, source) ? FileOutcome::Updated : FileOutcome::Failed;
}

// Walks a list up to its empty name; the first name that failed (if none
// failed before) is kept in firstFailure.
void updateList(SetupEngine& engine, FileList list, const char*& firstFailure) {
    if (list == nullptr) return;
    for (char** entry = list; (*entry)[0] != '\0'; ++entry) {
        if (updateFile(engine, *entry) == FileOutcome::Failed && firstFailure == nullptr) {
            firstFailure = *entry;
        }
    }
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
    if (!useProgramFolder(*this)) {
        report(*this, kProgramFolderUnknown, kReportCaption);
        return false;
    }
    if (!checkInstallFolder(*this)) return false;

    const char* firstFailure = nullptr;
    updateList(*this, installFiles, firstFailure);
    updateList(*this, updateFiles, firstFailure);
    if (firstFailure != nullptr) {
        reportNaming(*this, kFileFailed, firstFailure);
        return false;
    }
    report(*this, kCompleted, kCompletedCaption);
    return true;
}
