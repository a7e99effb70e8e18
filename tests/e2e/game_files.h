// The world around a program under test: where the built programs are, game
// files with known times, and the game's registration record in the
// registry. Folders and file contents come from the shared scratch folder
// support.
#pragma once

#include <windows.h>

#include <string>

#include "tests/support/scratch_folder.h"

namespace e2e {

// The folder holding the built programs, from the PROGRAM_DIR variable; a
// Unix path is turned into its Z: drive form.
std::string builtProgramDir();

// Access and write times of a file (creation times do not survive under Wine
// on Linux, so they are not compared). Read without opening the contents.
struct AccessAndWriteTimes {
    ULONGLONG lastAccess = 0;
    ULONGLONG lastWrite = 0;
    bool operator==(const AccessAndWriteTimes& other) const {
        return lastAccess == other.lastAccess && lastWrite == other.lastWrite;
    }
};
bool readTimes(const std::string& path, AccessAndWriteTimes& times);
// Sets all three times to the given day of a past year.
bool setPastTimes(const std::string& path, WORD year, WORD month, WORD day);

// The game's registration record under HKEY_LOCAL_MACHINE, in the same
// (32-bit) registry view as the programs.
bool writeRecord(const std::string& dir, const std::string& cd, DWORD instType);
void removeRecord();
struct Record {
    bool present = false;
    std::string dir;
    std::string cd;
    DWORD instType = 0;
};
Record readRecord();

}  // namespace e2e
