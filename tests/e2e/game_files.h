// The world around a program under test: a fresh folder tree under the
// prefix's C: drive, game files with known contents and times, and the
// game's registration record in the registry.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

// The folder holding the built programs, from the PROGRAM_DIR variable; a
// Unix path is turned into its Z: drive form.
std::string builtProgramDir();

// A new empty folder under the temporary folder, removed with everything in
// it when the object goes.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    // path()\name
    std::string operator/(const std::string& name) const;

private:
    std::string path_;
};

std::string joinPath(const std::string& folder, const std::string& name);
bool makeFolder(const std::string& path);
bool folderExists(const std::string& path);
bool fileExists(const std::string& path);
// Removes a folder with all its contents; true when nothing is left.
bool removeTree(const std::string& path);

bool writeFile(const std::string& path, const std::string& contents);
std::string readFile(const std::string& path);

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
extern const char* const kRecordKey;
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
