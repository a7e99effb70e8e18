// Staging: every new file of an update written whole into the game
// folder's staging folder, with normal attributes and its source's times,
// before any game file is touched; checked against the release's checksums
// of it as it is copied, and written through to the disk.
#include <cstring>

#include "base/bounded_text.h"
#include "transfer/copy_phases.h"
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

// Writes one staged file; false when it is not whole, its checksums could
// not be computed, or it has not the source's times.
bool stageFile(SetupEngine& engine, const char* dataPath, const char* staging,
               UpdateFile& file) {
    char source[kTextCapacity];
    char staged[kTextCapacity];
    if (!gameFilePath(source, sizeof source, dataPath, file.name) ||
        !gameFilePath(staged, sizeof staged, staging, file.name)) {
        return false;
    }
    markCopyPhase(CopyPhase::SourceChecks);
    file.staged = CopyDigest{};
    file.staged.crc32Wanted = file.crc32Known;
    file.staged.sha256Wanted = file.sha256Known;
    if (!engine.copyFile(staged, source, &file.staged)) return false;
    if (file.staged.wanted() && !file.staged.known) return false;
    // The system's fallback copy carries the source's attributes over.
    platform::setAttributesNormal(staged);
    bool timed = copyTimes(staged, source);
    markCopyPhase(CopyPhase::AttributesAndTimes);
    return timed;
}

bool isDamaged(const UpdateFile& file) {
    if (!file.present) return false;
    if (file.crc32Known && file.staged.crc32 != file.expectedCrc32) return true;
    return file.sha256Known &&
           std::memcmp(file.staged.sha256, file.expectedSha256, sizeof file.expectedSha256) != 0;
}

// The first file whose source is not what the release says, or null.
const char* firstDamaged(const UpdateFiles& files) {
    for (const UpdateFile& file : files) {
        if (isDamaged(file)) return file.name;
    }
    return nullptr;
}

// Has every staged file written through to the disk, as the last step
// before the record: after a power cut the record then never names a new
// file that is not whole. The first that could not be, or null.
const char* flushStagedFiles(const char* staging, const UpdateFiles& files) {
    for (const UpdateFile& file : files) {
        char staged[kTextCapacity];
        if (!file.present) continue;
        if (!gameFilePath(staged, sizeof staged, staging, file.name) ||
            !platform::flushFileToDisk(staged)) {
            return file.name;
        }
    }
    return nullptr;
}

// An empty staging folder of the game folder (one left by a killed run is
// taken as it is: its files are written anew).
bool makeStagingFolder(const char* staging) {
    return platform::makeDirectory(staging) ||
           platform::findPath(staging) == platform::Presence::Folder;
}

// Stages every present file; the first that failed, or null.
const char* stageEach(SetupEngine& engine, const char* dataPath, const char* staging,
                      UpdateFiles& files) {
    for (UpdateFile& file : files) {
        if (file.present && !stageFile(engine, dataPath, staging, file)) return file.name;
    }
    return nullptr;
}

}  // namespace

StagingOutcome stageUpdateFiles(SetupEngine& engine, const char* dataPath, UpdateFiles& files,
                                const char*& at) {
    char staging[kTextCapacity];
    at = kStagingFolderName;
    if (!gameFilePath(staging, sizeof staging, engine.installDir, kStagingFolderName) ||
        !makeStagingFolder(staging)) {
        return StagingOutcome::FolderNotMade;
    }
    StagingOutcome outcome = StagingOutcome::Failed;
    at = stageEach(engine, dataPath, staging, files);
    if (at == nullptr) {
        outcome = StagingOutcome::Damaged;
        at = firstDamaged(files);
    }
    if (at == nullptr) {
        outcome = StagingOutcome::Failed;
        at = flushStagedFiles(staging, files);
    }
    if (at == nullptr) return StagingOutcome::Staged;
    removeUpdateLeftovers(engine.installDir, engine.installFiles, engine.updateFiles);
    return outcome;
}
