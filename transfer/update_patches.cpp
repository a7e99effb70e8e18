// Choosing the patches of a patch release: for each file the release
// ships as patches, the earlier version that the player's game file is,
// found by its size and then its SHA-256. The release knows the versions it
// can come from; a game file of any other (another version, or a file the
// player changed) is no state the patch can start from.
#include <cstring>
#include <string>

#include "base/paths.h"

#include "transfer/release_manifest.h"
#include "transfer/update_patches.h"

namespace {

bool sameSha256(const unsigned char* a, const unsigned char* b) {
    return std::memcmp(a, b, platform::kSha256Bytes) == 0;
}

// The SHA-256 of a whole file; false when it cannot be read.
bool readSha256(const char* path, unsigned char* sha256) {
    Checksums checksums;
    checksums.sha256Wanted = true;
    if (!fileChecksums(path, checksums)) return false;
    std::memcpy(sha256, checksums.sha256, platform::kSha256Bytes);
    return true;
}

bool anyOfSize(const ManifestFile& entry, uint64_t size) {
    if (entry.size == size) return true;
    for (const ManifestPatch& patch : entry.patches) {
        if (patch.oldSize == size) return true;
    }
    return false;
}

// The patch for a game file of this size and SHA-256, or null.
const ManifestPatch* patchFor(const ManifestFile& entry, uint64_t size,
                              const unsigned char* sha256) {
    for (const ManifestPatch& patch : entry.patches) {
        if (patch.oldSize == size && sameSha256(patch.oldSha256, sha256)) return &patch;
    }
    return nullptr;
}

// Whether folder\name is a file of this size and SHA-256.
bool fileIs(const char* folder, const std::string& name, uint64_t expectedSize,
            const unsigned char* expectedSha256) {
    char path[kTextCapacity];
    uint64_t size = 0;
    unsigned char sha256[platform::kSha256Bytes];
    return joinPath(path, sizeof path, folder, name.c_str()) &&
           platform::findPath(path, &size) == platform::Presence::File && size == expectedSize &&
           readSha256(path, sha256) && sameSha256(sha256, expectedSha256);
}

// A release that patches any file; a full release copies every file whole,
// whatever the game holds.
bool isPatchRelease(const ReleaseManifest& manifest) {
    for (const ManifestFile& entry : manifest.files) {
        if (!entry.whole) return true;
    }
    return false;
}

PatchChoice choosePatch(const char* gameFolder, const char* dataPath, const ManifestFile& entry,
                        UpdateFile& file, const char*& at) {
    char game[kTextCapacity];
    uint64_t size = 0;
    at = file.name;
    if (!joinPath(game, sizeof game, gameFolder, file.name)) return PatchChoice::Failed;
    platform::Presence presence = platform::findPath(game, &size);
    if (presence == platform::Presence::Folder) return PatchChoice::FolderInPlace;
    if (presence == platform::Presence::Unknown) return PatchChoice::Failed;
    if (presence == platform::Presence::Missing || !anyOfSize(entry, size)) {
        return PatchChoice::NotThisVersion;
    }
    unsigned char sha256[platform::kSha256Bytes];
    if (!readSha256(game, sha256)) return PatchChoice::Failed;
    file.present = false;
    if (size == entry.size && sameSha256(sha256, entry.sha256)) return PatchChoice::Chosen;
    file.patch = patchFor(entry, size, sha256);
    if (file.patch == nullptr) return PatchChoice::NotThisVersion;
    at = file.patch->patchName.c_str();
    // The data folder must hold the patch as the manifest gives it.
    if (!fileIs(dataPath, file.patch->patchName, file.patch->patchSize, file.patch->patchSha256)) {
        return PatchChoice::Damaged;
    }
    file.present = true;
    file.size = entry.size;
    return PatchChoice::Chosen;
}

}  // namespace

PatchChoice choosePatches(const char* gameFolder, const char* dataPath,
                          const ReleaseManifest& manifest, UpdateFiles& files, const char*& at) {
    if (!isPatchRelease(manifest)) return PatchChoice::Chosen;
    for (UpdateFile& file : files) {
        const ManifestFile* entry = findManifestFile(manifest, file.name);
        if (entry == nullptr) continue;
        if (entry->whole) {
            // In a patch release, a file it ships whole that the game holds
            // already is not copied again.
            if (fileIs(gameFolder, entry->name, entry->size, entry->sha256)) file.present = false;
            continue;
        }
        PatchChoice choice = choosePatch(gameFolder, dataPath, *entry, file, at);
        if (choice != PatchChoice::Chosen) return choice;
    }
    return PatchChoice::Chosen;
}
