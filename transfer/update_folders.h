// The places an update keeps in the game folder: the staging folder
// (~UPDATE.NEW), where every new file is written whole first; the backup
// folder (~UPDATE.OLD), where the replace step keeps each old file until the
// update is done; and the record (~UPDATE.LOG) of a replace step under way.
// An update that was ended can leave any of them behind: the next update,
// the uninstall and a failed install's clean-up remove these leftovers.
#pragma once

#include "engine/setup_engine.h"

// The three places of one file of the update: in the game folder, in the
// staging folder and in the backup folder.
struct UpdatePaths {
    char game[kTextCapacity];
    char staged[kTextCapacity];
    char old[kTextCapacity];
};

// False when a path does not fit.
bool composeUpdatePaths(UpdatePaths& paths, const char* gameFolder, const char* name);

// The game folder's staging or backup folder, made unless it is there;
// false when it can be neither.
bool makeUpdateFolder(const char* gameFolder, const char* folderName);

// True unless the system says there is no such file or folder.
bool isThere(const char* path);

// Removes the staged and the old files of the listed names, the two
// folders, the record and the earlier versions' temporary file, whatever
// state they are in.
void removeLeftovers(const char* gameFolder, FileList installFiles, FileList updateFiles);
