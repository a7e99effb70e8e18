#include "transfer/file_checksum.h"

#include <zlib.h>

#include <cstddef>

#include "platform/platform.h"

namespace {

constexpr size_t kChecksumBlock = 0x10000;

// Only one update runs at a time.
unsigned char checksumBuffer[kChecksumBlock];

}  // namespace

bool fileChecksum(const char* path, uint32_t& checksum) {
    platform::Stream* stream = platform::openStream(path, "rb");
    if (stream == nullptr) return false;
    uLong crc = crc32(0, Z_NULL, 0);
    size_t read;
    do {
        read = platform::readStream(stream, checksumBuffer, kChecksumBlock);
        crc = crc32(crc, checksumBuffer, static_cast<uInt>(read));
    } while (read == kChecksumBlock);
    bool whole = !platform::streamFailed(stream);
    platform::closeStream(stream);
    checksum = static_cast<uint32_t>(crc);
    return whole;
}
