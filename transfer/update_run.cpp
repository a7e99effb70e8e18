// runUpdate: the program's main job. Brings every file of both lists from
// the data folder beside the program into the installed game folder, with
// normal attributes and the source's three times, and tells the user the
// outcome. The update is all or nothing (transfer/update_staging.h and
// transfer/update_replace.h): a damaged release, a full disk, a file the
// game holds or a run that is ended never leaves the game a mix of old and
// new files. What it says is transfer/update_texts.h's.
#include <cstring>
#include <string>

#include "base/bounded_text.h"
#include "base/paths.h"
#include "engine/setup_engine.h"
#include "transfer/checksum_file.h"
#include "transfer/copy_phases.h"
#include "transfer/release_manifest.h"
#include "transfer/reserved_names.h"
#include "transfer/same_file.h"
#include "transfer/text_file.h"
#include "transfer/update_folders.h"
#include "transfer/update_patches.h"
#include "transfer/update_replace.h"
#include "transfer/update_staging.h"
#include "transfer/update_texts.h"

namespace {

// Staged files take whole clusters of the game folder's volume.
constexpr uint64_t kClusterBytes = 4096;
constexpr uint64_t kMegabyte = 1 << 20;

void report(SetupEngine& engine, const char* text, const char* caption) {
    platform::messageBox(engine.dialogWindow, text, caption, platform::kReportFlags);
}

// A warning whose text names one item (a file or a folder).
void reportNaming(SetupEngine& engine, const char* format, const char* item) {
    char text[kTextCapacity];
    formatText(text, sizeof text, format, item);
    report(engine, text, kReportCaption);
}

// Points sourceDir at the folder of the running program.
bool useProgramFolder(SetupEngine& engine) {
    return platform::moduleFileName(engine.sourceDir, sizeof engine.sourceDir) &&
           cutAtLastBackslash(engine.sourceDir);
}

// The data folder beside the program, which must be there: a program run
// from inside a downloaded archive, or copied without its data, would
// otherwise find every file missing and report an update of nothing.
bool findDataFolder(const SetupEngine& engine, char* dataFolder, size_t capacity) {
    return joinPath(dataFolder, capacity, engine.sourceDir, engine.dataFolder) &&
           platform::findPath(dataFolder) == platform::Presence::Folder;
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

bool isListed(const UpdateFiles& files, const char* name) {
    for (const UpdateFile& file : files) {
        if (std::strcmp(file.name, name) == 0) return true;
    }
    return false;
}

// Adds each name of the list not met before in this run; false, naming it,
// at a name that would write outside the game folder or over one of the
// program's own files.
bool collectNames(FileList list, UpdateFiles& files, const char*& refused) {
    for (int index = 0; list != nullptr && list[index][0] != '\0'; ++index) {
        const char* name = list[index];
        if (isListed(files, name)) continue;
        if (!isPlainName(name) || isReservedName(name)) {
            refused = name;
            return false;
        }
        UpdateFile file{};
        copyText(file.name, sizeof file.name, name);
        files.push_back(file);
    }
    return true;
}

// Finds each file in the data folder with its size; false, naming it, when
// the system could not search for one (it is then no missing file).
bool findSources(const char* dataPath, UpdateFiles& files, const char*& unknown) {
    for (UpdateFile& file : files) {
        char source[kTextCapacity];
        unknown = file.name;
        if (!joinPath(source, sizeof source, dataPath, file.name)) return false;
        platform::Presence presence = platform::findPath(source, &file.size);
        if (presence == platform::Presence::Unknown || presence == platform::Presence::Folder) {
            return false;
        }
        file.present = presence == platform::Presence::File;
    }
    return true;
}

// With the release's checksum file in the data folder, every file must be
// there and have a checksum in it; false names the first that has not (or
// the checksum file itself when it cannot be read). Without one, a missing
// file is skipped.
bool readChecksumFile(const char* dataPath, UpdateFiles& files, const char*& damaged) {
    char path[kTextCapacity];
    damaged = kChecksumFileName;
    if (!joinPath(path, sizeof path, dataPath, kChecksumFileName)) return false;
    platform::Presence presence = platform::findPath(path);
    if (presence == platform::Presence::Missing) return true;
    std::string text;
    if (presence != platform::Presence::File || !readTextFile(path, text)) return false;
    for (UpdateFile& file : files) {
        damaged = file.name;
        file.crc32Known = findChecksum(text, file.name, file.expectedCrc32);
        if (!file.present || !file.crc32Known) return false;
    }
    return true;
}

// The program's own file name, for a manifest inside it that cannot be
// read.
void nameProgramFile(char* name, size_t capacity) {
    char path[kTextCapacity];
    if (!platform::moduleFileName(path, sizeof path)) path[0] = '\0';
    const char* last = path;
    for (const char* at = path; *at != '\0'; ++at) {
        if (*at == '\\') last = at + 1;
    }
    copyText(name, capacity, last);
}

// With the release's manifest in the program, every listed file it ships
// whole must be in the data folder with the size the manifest gives it, and
// the manifest must name exactly the listed files; each file's SHA-256 is
// then checked as it is staged. False names the first that is not so in
// damaged (kNameCapacity bytes), or the program's file when the manifest
// cannot be read.
bool matchManifest(const SetupEngine& engine, ReleaseManifest& manifest, UpdateFiles& files,
                   char* damaged) {
    if (!readReleaseManifest(engine, manifest)) {
        nameProgramFile(damaged, kNameCapacity);
        return false;
    }
    for (UpdateFile& file : files) {
        copyText(damaged, kNameCapacity, file.name);
        const ManifestFile* entry = findManifestFile(manifest, file.name);
        if (entry == nullptr) return false;
        file.sha256Known = true;
        std::memcpy(file.expectedSha256, entry->sha256, sizeof file.expectedSha256);
        if (entry->whole && (!file.present || file.size != entry->size)) return false;
    }
    for (const ManifestFile& entry : manifest.files) {
        copyText(damaged, kNameCapacity, entry.name.c_str());
        if (!isListed(files, entry.name.c_str())) return false;
    }
    return true;
}

// What the release says of its files: its manifest where the program
// carries one (the checksum file is then for players' tools only), else its
// checksum file where it has one.
bool readReleaseChecksums(const SetupEngine& engine, const char* dataPath,
                          ReleaseManifest& manifest, UpdateFiles& files, char* damaged) {
    if (engine.hasReleaseManifest) return matchManifest(engine, manifest, files, damaged);
    const char* at = nullptr;
    if (readChecksumFile(dataPath, files, at)) return true;
    copyText(damaged, kNameCapacity, at);
    return false;
}


bool anyPresent(const UpdateFiles& files) {
    for (const UpdateFile& file : files) {
        if (file.present) return true;
    }
    return false;
}

// Megabytes (rounded up) that staging needs on the game folder's volume,
// when it has not got them; 0 when it has, or cannot tell.
uint64_t missingRoom(const SetupEngine& engine, const UpdateFiles& files) {
    uint64_t needed = 0;
    for (const UpdateFile& file : files) {
        if (!file.present) continue;
        needed += (file.size + kClusterBytes - 1) / kClusterBytes * kClusterBytes;
    }
    uint64_t freeBytes = 0;
    if (!platform::diskFreeBytes(engine.installDir, freeBytes) || freeBytes >= needed) return 0;
    return (needed + kMegabyte - 1) / kMegabyte;
}

// Everything before anything is written: the names, the sources, the
// release's checksums and patches and, unless nothing is to be copied, the
// room. False when the run ends here, reported. Where the data folder is
// the game folder, the files it holds whole are in place already.
bool prepareFiles(SetupEngine& engine, const char* dataPath, bool copies,
                  ReleaseManifest& manifest, UpdateFiles& files) {
    const char* at = nullptr;
    if (!collectNames(engine.installFiles, files, at) ||
        !collectNames(engine.updateFiles, files, at) || !findSources(dataPath, files, at)) {
        reportNaming(engine, kFileFailed, at);
        return false;
    }
    markCopyPhase(CopyPhase::SourceChecks);
    char damaged[kNameCapacity];
    if (!readReleaseChecksums(engine, dataPath, manifest, files, damaged)) {
        reportNaming(engine, kReleaseDamaged, damaged);
        return false;
    }
    // Nothing of a list found: an archive extracted without its files, not
    // an update. An empty list is an update of nothing. With a manifest,
    // every file it ships whole was found.
    if (!engine.hasReleaseManifest && !files.empty() && !anyPresent(files)) {
        report(engine, kUpdateFilesUnknown, kReportCaption);
        return false;
    }
    for (UpdateFile& file : files) file.present = file.present && copies;
    if (engine.hasReleaseManifest) {
        PatchChoice choice = choosePatches(engine.installDir, dataPath, manifest, files, at);
        if (choice != PatchChoice::Chosen) {
            reportNaming(engine, patchChoiceText(choice), at);
            return false;
        }
    }
    if (uint64_t megabytes = missingRoom(engine, files)) {
        char text[kTextCapacity];
        formatText(text, sizeof text, kTooLittleSpace, static_cast<unsigned>(megabytes));
        report(engine, text, kReportCaption);
        return false;
    }
    return true;
}



// Stages the files, then puts them in place; false when the run ended,
// reported. A rename that failed leaves every game file as it was, except
// when a file could not even be put back: the record then stays, and the
// next start puts it back.
bool stageAndReplace(SetupEngine& engine, const char* dataPath, UpdateFiles& files) {
    const char* failed = nullptr;
    StagingOutcome staged = stageUpdateFiles(engine, dataPath, files, failed);
    if (staged != StagingOutcome::Staged) {
        reportNaming(engine, stagingText(staged), failed);
        return false;
    }
    char at[kTextCapacity];
    ReplaceOutcome replaced = replaceGameFiles(engine.installDir, files, at);
    markCopyPhase(CopyPhase::Replace);
    if (replaced != ReplaceOutcome::NotPutBack) {
        removeLeftovers(engine.installDir, engine.installFiles, engine.updateFiles);
    }
    if (replaced == ReplaceOutcome::Replaced) return true;
    reportNaming(engine, replaceText(replaced), at);
    return false;
}

}  // namespace

bool SetupEngine::putBackEndedUpdate() {
    if (!isAbsoluteFolder(installDir)) return true;
    char at[kNameCapacity];
    PutBackOutcome putBack = ::putBackEndedUpdate(installDir, installFiles, updateFiles, at);
    if (putBack == PutBackOutcome::Done) return true;
    reportNaming(*this, putBack == PutBackOutcome::Foreign ? kRecordForeign : kNotPutBack, at);
    return false;
}

bool SetupEngine::runUpdate() {
    // A cancel left over from an install in the same window must not cut
    // the update's copies short.
    cancelState = kCancelNone;
    char dataPath[kTextCapacity];
    if (!useProgramFolder(*this) || !findDataFolder(*this, dataPath, sizeof dataPath)) {
        report(*this, kUpdateFilesUnknown, kReportCaption);
        return false;
    }
    if (!checkInstallFolder(*this) || !putBackEndedUpdate()) return false;
    // When the data folder is the game folder itself (the update unpacked
    // into the maker's folder; another letter case or a short name still
    // names it), every file found is already its own new version. Where
    // that cannot be told, the staged copies leave every file whole anyway.
    bool copies = compareFiles(dataPath, installDir) != FileSameness::Same;
    ReleaseManifest manifest;
    UpdateFiles files;
    if (!prepareFiles(*this, dataPath, copies, manifest, files)) return false;
    // A game wholly at the new version is complete without a write.
    if (anyPresent(files) && !stageAndReplace(*this, dataPath, files)) return false;
    report(*this, kCompleted, kCompletedCaption);
    return true;
}
