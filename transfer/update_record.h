// The record of a replace step under way: ~UPDATE.LOG in the game folder,
// written through to the disk before the step's first rename and deleted as
// its commit. While it is there, the game files may be a mix of old and new,
// and the next start puts them back by it. Its text, CRLF line ends:
//
//   record = "update record 1" EOL { ( "+" | "-" ) NAME EOL } "." EOL
//
// one line a file the step replaces: "+" for one whose old game file goes
// into the backup folder, "-" for one that had none. NAME is a name of the
// program's lists. A record cut short was written before the step began;
// one that names other files is not this program's.
#pragma once

#include "engine/setup_engine.h"
#include "transfer/update_file.h"

// Writes the record of the present files; false when it cannot be written
// whole to the disk.
bool writeUpdateRecord(const char* gameFolder, const UpdateFiles& files);

enum class RecordState {
    None,        // no record: no step is under way
    Whole,       // files holds its files, each present with hadOld
    NotWhole,    // cut short: the step never began
    Foreign,     // it names foreign (kNameCapacity bytes), a name no list holds
    Unreadable,  // it is there but cannot be read
};
RecordState readUpdateRecord(const char* gameFolder, FileList installFiles,
                             FileList updateFiles, UpdateFiles& files, char* foreign);

// Deletes the record: the replace step's commit. False when it stays.
bool deleteUpdateRecord(const char* gameFolder);
