// The checksums of a file's bytes, for the caller to check against what the
// release says of them: the CRC-32 of its checksum file (zlib's, the ZIP
// polynomial), the SHA-256 of its manifest, or both. A copy computes them
// of the bytes it moves (transfer/checksum_thread.h); fileChecksums reads a
// file for them.
#pragma once

#include <cstdint>

#include "platform/platform.h"

struct Checksums {
    bool crc32Wanted = false;
    bool sha256Wanted = false;
    // True once the wanted checksums were computed over every byte of the
    // finished copy; false when the system failed to compute one.
    bool known = false;
    uint32_t crc32 = 0;
    unsigned char sha256[platform::kSha256Bytes] = {};

    bool wanted() const { return crc32Wanted || sha256Wanted; }
};

// Computes the wanted checksums of a whole file by reading it: a copy whose
// bytes the copier never saw (the system's own copy redid it), a game file
// whose version is to be found, a patch before it is decoded. False when it
// cannot be read whole or a checksum cannot be computed.
bool fileChecksums(const char* path, Checksums& checksums);
