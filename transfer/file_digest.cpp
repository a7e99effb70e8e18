#include <zlib.h>

#include <cstddef>

#include "transfer/block_digest.h"
#include "transfer/copy_digest.h"

namespace {

// Only one copy runs at a time.
unsigned char readBuffer[kCopyBlock];

}  // namespace

bool fileDigest(const char* path, CopyDigest& digest) {
    digest.known = false;
    platform::Stream* stream = platform::openStream(path, "rb");
    if (stream == nullptr) return false;
    uLong crc = crc32(0, Z_NULL, 0);
    platform::Sha256* sha = digest.sha256Wanted ? platform::startSha256() : nullptr;
    bool hashed = sha != nullptr || !digest.sha256Wanted;
    size_t read;
    do {
        read = platform::readStream(stream, readBuffer, kCopyBlock);
        if (digest.crc32Wanted) crc = crc32(crc, readBuffer, static_cast<uInt>(read));
        if (sha != nullptr) hashed = platform::addToSha256(sha, readBuffer, read) && hashed;
    } while (read == kCopyBlock);
    bool whole = !platform::streamFailed(stream);
    platform::closeStream(stream);
    if (sha != nullptr) hashed = platform::finishSha256(sha, digest.sha256) && hashed;
    digest.crc32 = static_cast<uint32_t>(crc);
    digest.known = whole && hashed;
    return digest.known;
}
