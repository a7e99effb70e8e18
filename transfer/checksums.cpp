// Checksums of a whole file read for them, outside any copy.
#include <zlib.h>

#include <cstddef>

#include "transfer/checksum_thread.h"
#include "transfer/checksums.h"

namespace {

// Only one copy runs at a time.
unsigned char readBuffer[kCopyBlock];

}  // namespace

bool fileChecksums(const char* path, Checksums& checksums) {
    checksums.known = false;
    platform::Stream* stream = platform::openStream(path, "rb");
    if (stream == nullptr) return false;
    uLong crc = crc32(0, Z_NULL, 0);
    platform::Sha256* sha = checksums.sha256Wanted ? platform::startSha256() : nullptr;
    bool hashed = sha != nullptr || !checksums.sha256Wanted;
    size_t read;
    do {
        read = platform::readStream(stream, readBuffer, kCopyBlock);
        if (checksums.crc32Wanted) crc = crc32(crc, readBuffer, static_cast<uInt>(read));
        if (sha != nullptr) hashed = platform::addToSha256(sha, readBuffer, read) && hashed;
    } while (read == kCopyBlock);
    bool whole = !platform::streamFailed(stream);
    platform::closeStream(stream);
    if (sha != nullptr) hashed = platform::finishSha256(sha, checksums.sha256) && hashed;
    checksums.crc32 = static_cast<uint32_t>(crc);
    checksums.known = whole && hashed;
    return checksums.known;
}
