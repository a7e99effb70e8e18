// The files of one update and the steps that move them. An update is all or
// nothing: every new file is first staged whole in the game folder's
// staging folder (transfer/update_staging.cpp), checked against the
// release's checksum file where it has one; only then does one short step
// of renames put them in place, keeping each old file in the backup folder
// and putting every one back when a rename fails (transfer/
// update_replace.cpp). A record written through to the disk before that
// step lets the next start put back what a killed run left half done.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/setup_engine.h"

// One distinct listed name of an update.
struct UpdateFile {
    char name[kNameCapacity];
    bool present;           // found in the data folder
    uint64_t size;          // its size there
    bool hadOld;            // a game file of this name stood before the replace step
    bool checksumKnown;     // the checksum file gives its checksum
    uint32_t expected;      // that checksum
    bool checksummed;       // the staged file's checksum is known
    uint32_t checksum;      // that checksum
};
using UpdateFiles = std::vector<UpdateFile>;

// "<folder>\<name>", and "<folder>\<kept>\<name>" for a file in the staging
// or the backup folder; false when the path does not fit.
bool gameFilePath(char* path, size_t capacity, const char* folder, const char* name);
bool keptFilePath(char* path, size_t capacity, const char* folder, const char* kept,
                  const char* name);

enum class StagingOutcome { Staged, Failed, Damaged };
// Copies every present file from the data folder into the staging folder of
// the game folder, with normal attributes and its source's times, and
// checks each copy against its checksum where the checksum file gives one.
// Unless Staged, at names the file that failed (or whose source is damaged)
// and the staging folder is emptied again.
StagingOutcome stageUpdateFiles(SetupEngine& engine, const char* dataPath, UpdateFiles& files,
                                const char*& at);

enum class ReplaceOutcome { Replaced, RolledBack, Mixed };
// Puts every staged file in its game file's place, keeping the old ones
// until all are in place. RolledBack: a rename failed (the game holds the
// file named by at) and every game file is as it was; what the step left
// is for removeUpdateLeftovers. Mixed: a file could not even be put back
// (named by at); the record must stay for the next start.
ReplaceOutcome replaceGameFiles(const char* gameFolder, UpdateFiles& files, const char*& at);

// Puts back the game files of a replace step that a killed run left under
// way, then removes what any earlier run left (staged files, old files, the
// record). False when a file could not be put back: its name is copied
// into at (kNameCapacity bytes), and everything stays for the next try.
bool recoverGameFiles(const char* gameFolder, FileList installFiles, FileList updateFiles,
                      char* at);

// Removes the staged and the old files of the listed names, the two
// folders and the record, whatever state they are in.
void removeUpdateLeftovers(const char* gameFolder, FileList installFiles, FileList updateFiles);
