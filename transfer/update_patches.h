// Choosing the patches of a patch release for the player's game files.
#pragma once

#include "transfer/update_file.h"

struct ReleaseManifest;

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
// checked here, before anything is written. In a patch release, a file it
// ships whole that the game holds already is not copied again.
PatchChoice choosePatches(const char* gameFolder, const char* dataPath,
                          const ReleaseManifest& manifest, UpdateFiles& files, const char*& at);
