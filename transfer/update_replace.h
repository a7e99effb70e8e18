// The replace step of an update, and putting it back (元に戻す).
#pragma once

#include "engine/setup_engine.h"
#include "transfer/update_file.h"

enum class ReplaceOutcome {
    Replaced,       // every new file in place; the old ones are leftovers now
    Held,           // a rename failed (the game holds at) and every game file is as it was
    Denied,         // the system denied a rename of at; every game file is as it was
    FolderInPlace,  // a folder stands where the game file at should be; nothing touched
    NotSearchable,  // the place of at cannot be searched; nothing touched
    NotMade,        // at (the backup folder or the record) cannot be made; nothing touched
    NotEmptied,     // at, left in the backup folder by an earlier run, cannot be removed
    NotPutBack,     // at could not even be put back: the record stays for the next start
};
// Puts every staged file in its game file's place, keeping the old ones
// until all are in place; at (kTextCapacity bytes) names what stopped it.
ReplaceOutcome replaceGameFiles(const char* gameFolder, UpdateFiles& files, char* at);

enum class PutBackOutcome {
    Done,        // nothing was under way, or it was put back; the leftovers are gone
    NotPutBack,  // at could not be put back: everything stays for the next try
    Foreign,     // the record names at, which no list of this program holds: left alone
};
// Puts back the game files of a replace step that an ended run left under
// way, then removes what any earlier run left; at takes kNameCapacity bytes.
PutBackOutcome putBackEndedUpdate(const char* gameFolder, FileList installFiles,
                                  FileList updateFiles, char* at);
