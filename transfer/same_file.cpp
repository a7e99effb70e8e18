#include "transfer/same_file.h"

#include "platform/platform.h"

bool isSameFile(const char* first, const char* second) {
    platform::FileIdentity a;
    platform::FileIdentity b;
    if (!platform::fileIdentity(first, a) || !platform::fileIdentity(second, b)) return false;
    // The size guards against a file system whose index is weak: one file
    // has one size.
    return a.volumeSerial == b.volumeSerial && a.fileIndex == b.fileIndex && a.size == b.size;
}
