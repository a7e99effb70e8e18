// Comparing two files' identities: volume, index and size.
#include "transfer/same_file.h"

#include "platform/platform.h"

FileSameness compareFiles(const char* first, const char* second) {
    platform::FileIdentity a;
    platform::FileIdentity b;
    if (!platform::fileIdentity(first, a) || !platform::fileIdentity(second, b)) {
        return FileSameness::Different;
    }
    // One file has one size, whatever its volume keeps; the size also
    // guards against a file system whose index is weak.
    if (a.volumeSerial != b.volumeSerial || a.size != b.size) return FileSameness::Different;
    // A volume that keeps no file index reports 0 for every file.
    if (a.fileIndex == 0 || b.fileIndex == 0) return FileSameness::Unknown;
    return a.fileIndex == b.fileIndex ? FileSameness::Same : FileSameness::Different;
}
