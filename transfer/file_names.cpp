#include "transfer/file_names.h"

#include <cstring>

#include "base/bounded_text.h"
#include "engine/setup_engine.h"
#include "transfer/reserved_names.h"

PathComponent classifyComponent(const char* begin, const char* end) {
    int dots = 0;
    for (const char* at = begin; at != end; ++at) {
        if (*at == '.') {
            ++dots;
        } else if (*at != ' ') {
            return PathComponent::Name;
        }
    }
    return dots >= 2 ? PathComponent::Climb : PathComponent::Stay;
}

bool isPlainName(const char* name) {
    char copy[kNameCapacity];
    if (!copyText(copy, sizeof copy, name) || cutAtLastBackslash(copy)) return false;
    for (const char* at = name; *at != '\0'; ++at) {
        if (static_cast<unsigned char>(*at) < 0x20) return false;
    }
    return std::strpbrk(name, "/:") == nullptr && std::strstr(name, "..") == nullptr &&
           classifyComponent(name, name + std::strlen(name)) == PathComponent::Name;
}

bool isReservedName(const char* name) {
    static const char* const kReserved[] = {kUpdateTemporaryName, kStagingFolderName,
                                            kBackupFolderName, kUpdateRecordName,
                                            kChecksumFileName};
    char trimmed[kNameCapacity];
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
