// Telling a listed name from the program's own, as the system compares
// names.
#include "transfer/reserved_names.h"

#include <cstring>

#include "base/bounded_text.h"
#include "base/paths.h"
#include "platform/platform.h"

bool isReservedName(const char* name) {
    static const char* const kReserved[] = {kUpdateTemporaryName, kStagingFolderName,
                                            kBackupFolderName, kUpdateRecordName,
                                            kChecksumFileName};
    char trimmed[kMaxNameLength + 1];
    if (!copyText(trimmed, sizeof trimmed, name)) return false;
    // A trailing blank or dot is never the second byte of a double-byte
    // character, so cutting them byte by byte is safe.
    size_t length = std::strlen(trimmed);
    while (length > 0 && (trimmed[length - 1] == '.' || trimmed[length - 1] == ' ')) --length;
    trimmed[length] = '\0';
    for (const char* reserved : kReserved) {
        if (platform::sameFileName(trimmed, reserved)) return true;
    }
    return false;
}
