#include "transfer/same_file.h"

#include "platform/platform.h"

bool isSameFile(const char* first, const char* second) {
    platform::FileIdentity a;
    platform::FileIdentity b;
    if (!platform::fileIdentity(first, a) || !platform::fileIdentity(second, b)) return false;
    // A volume that keeps no file index reports 0 for every file: the
    // identity is then unknown, and unknown is not the same. The size guards
    // against a file system whose index is weak: one file has one size.
    return a.fileIndex != 0 && a.volumeSerial == b.volumeSerial && a.fileIndex == b.fileIndex &&
           a.size == b.size;
}
