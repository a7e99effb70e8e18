// The files of one update and the steps that move them. An update is all or
// nothing: every new file is first staged whole in the game folder's
// staging folder (transfer/update_staging.cpp), checked against the
// release's manifest or checksum file where it has one, and written through
// to the disk; only then does one short step of renames put them in place,
// keeping each old file in the backup folder and putting every one back
// when a rename fails (transfer/update_replace.cpp). A record written
// through to the disk before that step lets the next start put back what a
// killed run left half done.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/setup_engine.h"
#include "transfer/copy_digest.h"

struct ManifestPatch;
struct ReleaseManifest;

// One distinct listed name of an update.
struct UpdateFile {
    char name[kNameCapacity];
    bool present;           // found in the data folder
    uint64_t size;          // its size there
    bool hadOld;            // a game file of this name stood before the replace step
    bool movedOld;          // the replace step moved that old file into the backup folder
    bool placed;            // the replace step put its staged file in its place
    bool crc32Known;        // the checksum file gives its CRC-32 ...
    uint32_t expectedCrc32; // ... this one
    bool sha256Known;       // the manifest gives its SHA-256 ...
    unsigned char expectedSha256[platform::kSha256Bytes];  // ... this one
    const ManifestPatch* patch;  // the patch that makes it of its game file, if any
    CopyDigest staged;      // the checksums of what was staged
};
using UpdateFiles = std::vector<UpdateFile>;

// "<folder>\<name>", and "<folder>\<kept>\<name>" for a file in the staging
// or the backup folder; false when the path does not fit.
bool gameFilePath(char* path, size_t capacity, const char* folder, const char* name);
bool keptFilePath(char* path, size_t capacity, const char* folder, const char* kept,
                  const char* name);

enum class PatchChoice {
    Chosen,          // every patched file is in place, or has its patch
    NotThisVersion,  // the game file at is of no version the release knows
    FolderInPlace,   // a folder stands where the game file at should be
    Damaged,         // the patch at is not in the data folder as the manifest says
    Failed,          // the game file at cannot be searched for or read
};
// For each file the manifest says is patched: which of its versions the
// game holds, read by size and then by SHA-256. A file already at the new
// version is left as it is (not present); one of an earlier version is to
// be staged from the game file by its patch, whose size and SHA-256 are
// checked here, before anything is written.
PatchChoice choosePatches(const char* gameFolder, const char* dataPath,
                          const ReleaseManifest& manifest, UpdateFiles& files, const char*& at);

enum class StagingOutcome { Staged, Failed, Damaged, FolderNotMade };
// Copies every present file from the data folder into the staging folder of
// the game folder, with normal attributes and its source's times, checks
// each copy against the checksums the release gives, and has every staged
// file written through to the disk. Unless Staged, at names the file that
// failed (or whose source is damaged, or the staging folder) and the
// staging folder is emptied again.
StagingOutcome stageUpdateFiles(SetupEngine& engine, const char* dataPath, UpdateFiles& files,
                                const char*& at);

enum class ReplaceOutcome {
    Replaced,       // every new file in place; the old ones are for removeUpdateLeftovers
    Held,           // a rename failed (the game holds at) and every game file is as it was
    FolderInPlace,  // a folder stands where the game file at should be; nothing touched
    NotSearchable,  // the place of at cannot be searched; nothing touched
    NotMade,        // at (the backup folder or the record) cannot be made; nothing touched
    NotEmptied,     // at, left in the backup folder by an earlier run, cannot be removed
    NotPutBack,     // at could not even be put back: the record stays for the next start
};
// Puts every staged file in its game file's place, keeping the old ones
// until all are in place; at (kTextCapacity bytes) names what stopped it.
ReplaceOutcome replaceGameFiles(const char* gameFolder, UpdateFiles& files, char* at);

enum class RecoveryOutcome {
    Done,        // nothing was under way, or it was put back; the leftovers are gone
    NotPutBack,  // at could not be put back: everything stays for the next try
    Foreign,     // the record names at, which no list of this program holds: left alone
};
// Puts back the game files of a replace step that a killed run left under
// way, then removes what any earlier run left (staged files, old files, the
// record); at takes kNameCapacity bytes.
RecoveryOutcome recoverGameFiles(const char* gameFolder, FileList installFiles,
                                 FileList updateFiles, char* at);

// Removes the staged and the old files of the listed names, the two
// folders and the record, whatever state they are in.
void removeUpdateLeftovers(const char* gameFolder, FileList installFiles, FileList updateFiles);
