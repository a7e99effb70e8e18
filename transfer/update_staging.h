// Staging: every new file of an update written whole into the game
// folder's staging folder before any game file is touched.
#pragma once

#include "engine/setup_engine.h"
#include "transfer/update_file.h"

enum class StagingOutcome { Staged, Failed, DiskFull, Damaged, FolderNotMade };
// Copies every present file from the data folder into the staging folder
// (or makes it of its game file by its patch), with normal attributes and
// its source's times, checks each against the checksums the release gives,
// and has every staged file written through to the disk. Unless Staged, at
// names the file that failed (DiskFull: for a full disk), the damaged
// source, or the staging folder, and the staging folder is emptied again.
StagingOutcome stageUpdateFiles(SetupEngine& engine, const char* dataPath, UpdateFiles& files,
                                const char*& at);
