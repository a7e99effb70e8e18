// Staging: every new file of an update written whole into the game
// folder's staging folder, with normal attributes and its source's times,
// before any game file is touched; checked against the release's checksums
// of it as it is copied, and written through to the disk.
#include <cstring>

#include "base/bounded_text.h"
#include "base/paths.h"
#include "transfer/copy_phases.h"
#include "transfer/patch_apply.h"
#include "transfer/release_manifest.h"
#include "transfer/reserved_names.h"
#include "transfer/update_folders.h"
#include "transfer/update_staging.h"

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

// What the data folder ships of a file, which names it to the player: its
// patch, where a patch makes it.
const char* shippedName(const UpdateFile& file) {
    return file.patch != nullptr ? file.patch->patchName.c_str() : file.name;
}

// Writes one staged file: a copy of its source, or its game file with its
// patch applied. Failed when it is not whole, its checksums could not be
// computed, or it has not the source's (the patch's) times; Damaged when
// its patch does not decode.
StagingOutcome stageFile(SetupEngine& engine, const char* dataPath, const char* staging,
                         UpdateFile& file) {
    char source[kTextCapacity];
    char staged[kTextCapacity];
    char game[kTextCapacity];
    if (!joinPath(source, sizeof source, dataPath, shippedName(file)) ||
        !joinPath(staged, sizeof staged, staging, file.name) ||
        !joinPath(game, sizeof game, engine.installDir, file.name)) {
        return StagingOutcome::Failed;
    }
    markCopyPhase(CopyPhase::SourceChecks);
    file.staged = Checksums{};
    file.staged.crc32Wanted = file.crc32Known;
    file.staged.sha256Wanted = file.sha256Known;
    if (file.patch != nullptr) {
        PatchOutcome applied = applyPatch(game, source, staged, file.staged);
        if (applied != PatchOutcome::Applied) {
            return applied == PatchOutcome::Undecodable ? StagingOutcome::Damaged
                                                        : StagingOutcome::Failed;
        }
    } else if (!engine.copyFile(staged, source, &file.staged)) {
        return StagingOutcome::Failed;
    }
    if (file.staged.wanted() && !file.staged.known) return StagingOutcome::Failed;
    // The system's fallback copy carries the source's attributes over.
    platform::setAttributesNormal(staged);
    bool timed = copyTimes(staged, source);
    markCopyPhase(CopyPhase::AttributesAndTimes);
    return timed ? StagingOutcome::Staged : StagingOutcome::Failed;
}

// A failed write: a full disk, as the system said, or another failure.
StagingOutcome failureOf() {
    bool full = platform::errorKindOf(platform::lastError()) == platform::ErrorKind::DiskFull;
    return full ? StagingOutcome::DiskFull : StagingOutcome::Failed;
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
        if (isDamaged(file)) return shippedName(file);
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
        if (!joinPath(staged, sizeof staged, staging, file.name) ||
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

// Stages every present file; unless Staged, at names the one that was not.
StagingOutcome stageEach(SetupEngine& engine, const char* dataPath, const char* staging,
                         UpdateFiles& files, const char*& at) {
    for (UpdateFile& file : files) {
        if (!file.present) continue;
        StagingOutcome staged = stageFile(engine, dataPath, staging, file);
        if (staged == StagingOutcome::Staged) continue;
        at = staged == StagingOutcome::Damaged ? shippedName(file) : file.name;
        return staged == StagingOutcome::Failed ? failureOf() : staged;
    }
    return StagingOutcome::Staged;
}

}  // namespace

StagingOutcome stageUpdateFiles(SetupEngine& engine, const char* dataPath, UpdateFiles& files,
                                const char*& at) {
    char staging[kTextCapacity];
    at = kStagingFolderName;
    if (!joinPath(staging, sizeof staging, engine.installDir, kStagingFolderName) ||
        !makeStagingFolder(staging)) {
        return StagingOutcome::FolderNotMade;
    }
    StagingOutcome outcome = stageEach(engine, dataPath, staging, files, at);
    if (outcome == StagingOutcome::Staged && (at = firstDamaged(files)) != nullptr) {
        outcome = StagingOutcome::Damaged;
    }
    if (outcome == StagingOutcome::Staged && (at = flushStagedFiles(staging, files)) != nullptr) {
        outcome = failureOf();
    }
    if (outcome != StagingOutcome::Staged) {
        removeLeftovers(engine.installDir, engine.installFiles, engine.updateFiles);
    }
    return outcome;
}
