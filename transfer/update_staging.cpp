// Staging: every new file of an update written whole into the game
// folder's staging folder, with normal attributes and its source's times,
// before any game file is touched, and checked against the release's
// checksum of it as it is copied.
#include "base/bounded_text.h"
#include "transfer/copy_phases.h"
#include "transfer/file_checksum.h"
#include "transfer/reserved_names.h"
#include "transfer/update_files.h"

namespace {

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

// The checksum of what was staged: the copy's own, or, where the system's
// copy redid the file, one read from the staged file.
void keepChecksum(const SetupEngine& engine, const char* staged, UpdateFile& file) {
    file.checksum = engine.copyChecksum;
    file.checksummed = engine.copyChecksumKnown || fileChecksum(staged, file.checksum);
}

// Writes one staged file; false when it is not whole, or has not the
// source's times.
bool stageFile(SetupEngine& engine, const char* dataPath, const char* staging,
               UpdateFile& file) {
    char source[kTextCapacity];
    char staged[kTextCapacity];
    if (!gameFilePath(source, sizeof source, dataPath, file.name) ||
        !gameFilePath(staged, sizeof staged, staging, file.name)) {
        return false;
    }
    markCopyPhase(CopyPhase::SourceChecks);
    engine.checksumCopies = file.checksumKnown;
    bool copied = engine.copyFile(staged, source);
    engine.checksumCopies = false;
    if (!copied) return false;
    if (file.checksumKnown) keepChecksum(engine, staged, file);
    // The system's fallback copy carries the source's attributes over.
    platform::setAttributesNormal(staged);
    bool timed = copyTimes(staged, source);
    markCopyPhase(CopyPhase::AttributesAndTimes);
    return timed;
}

// The first file whose source is not what the checksum file says, or null.
const char* firstDamaged(const UpdateFiles& files) {
    for (const UpdateFile& file : files) {
        bool damaged = !file.checksummed || file.checksum != file.expected;
        if (file.present && file.checksumKnown && damaged) return file.name;
    }
    return nullptr;
}

// An empty staging folder of the game folder (one left by a killed run is
// taken as it is: its files are written anew).
bool makeStagingFolder(const char* staging) {
    return platform::makeDirectory(staging) ||
           platform::findPath(staging) == platform::Presence::Folder;
}

}  // namespace

StagingOutcome stageUpdateFiles(SetupEngine& engine, const char* dataPath, UpdateFiles& files,
                                const char*& at) {
    char staging[kTextCapacity];
    at = kStagingFolderName;
    if (!gameFilePath(staging, sizeof staging, engine.installDir, kStagingFolderName) ||
        !makeStagingFolder(staging)) {
        return StagingOutcome::Failed;
    }
    at = nullptr;
    for (UpdateFile& file : files) {
        if (file.present && !stageFile(engine, dataPath, staging, file)) {
            at = file.name;
            break;
        }
    }
    if (at != nullptr) {
        removeUpdateLeftovers(engine.installDir, engine.installFiles, engine.updateFiles);
        return StagingOutcome::Failed;
    }
    at = firstDamaged(files);
    if (at == nullptr) return StagingOutcome::Staged;
    removeUpdateLeftovers(engine.installDir, engine.installFiles, engine.updateFiles);
    return StagingOutcome::Damaged;
}
