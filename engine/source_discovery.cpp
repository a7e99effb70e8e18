#include <cstring>

#include "base/bounded_text.h"
#include "base/paths.h"
#include "engine/setup_engine.h"

namespace {

// The system's drive type codes.
enum : unsigned {
    kSystemRemovable = 2,
    kSystemFixed = 3,
    kSystemRemote = 4,
    kSystemCdrom = 5,
    kSystemRamDisk = 6,
};

DriveKind driveKindOf(unsigned systemType) {
    switch (systemType) {
    case kSystemFixed: return kDriveFixed;
    case kSystemCdrom: return kDriveCdrom;
    case kSystemRemovable: return kDriveRemovable;
    case kSystemRamDisk: return kDriveRamDisk;
    case kSystemRemote: return kDriveRemote;
    default: return kDriveUnknown;
    }
}

}  // namespace

int queryDrive(const char* root, char* label, size_t capacity) {
    DriveKind kind = driveKindOf(platform::driveType(root));
    char volumeName[256] = {};
    if (platform::volumeLabel(root, volumeName, sizeof volumeName)) {
        copyText(label, capacity, volumeName);
    }
    return kind;
}

// A disk that cannot be queried counts as full, so that the install refuses
// with its space message instead of starting a copy it cannot judge.
uint32_t getFreeMegabytes(const char* folder) {
    uint64_t freeBytes = 0;
    if (!platform::diskFreeBytes(folder, freeBytes)) return 0;
    return static_cast<uint32_t>(freeBytes >> 20);
}

uint32_t fileSize(const char* path) {
    uint32_t size = 0;
    if (!platform::exclusiveFileSize(path, size)) return 0;
    return size;
}

namespace {

// True when the executable lies in the data folder below sourceDir.
bool sourceHoldsExecutable(const char* sourceDir, const char* dataFolderName,
                           const char* executable) {
    char testPath[kTextCapacity];
    if (!joinPath(testPath, sizeof testPath, sourceDir, dataFolderName, executable)) {
        return false;
    }
    return platform::canOpenForReading(testPath);
}

// The folder of the running program; empty when its path cannot be had whole.
void programFolder(char* folder, size_t capacity) {
    char module[kTextCapacity];
    folder[0] = '\0';
    if (!platform::moduleFileName(module, sizeof module)) return;
    cutAtLastBackslash(module);
    if (!copyText(folder, capacity, module)) folder[0] = '\0';
}

}  // namespace

bool SetupEngine::discoverSource(const char* dataFolderName, const char* executable) {
    char root[] = "c:\\";
    for (char letter = 'c'; letter <= 'z'; ++letter) {
        root[0] = letter;
        char label[kPathCapacity] = "";
        if (queryDrive(root, label, sizeof label) != kDriveCdrom) continue;
        for (int index = 0; index < volumeLabelCount && volumeLabels != nullptr; ++index) {
            if (volumeLabels[index][0] == '\0') break;  // fewer names than the count
            if (std::strcmp(volumeLabels[index], label) != 0) continue;
            const char driveRoot[] = {letter, ':', '\0'};
            copyText(sourceDir, sizeof sourceDir, driveRoot);
            if (sourceHoldsExecutable(sourceDir, dataFolderName, executable)) return true;
        }
    }
    programFolder(sourceDir, sizeof sourceDir);
    return true;
}
