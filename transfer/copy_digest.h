// What a copy can compute of the bytes it moves, for the caller to check
// against what the release says of them: the CRC-32 of its checksum file
// (zlib's, the ZIP polynomial), the SHA-256 of its manifest, or both.
#pragma once

#include <cstdint>

#include "platform/platform.h"

struct CopyDigest {
    bool crc32Wanted = false;
    bool sha256Wanted = false;
    // True once the wanted checksums were computed over every byte of the
    // finished copy; false when the system failed to compute one.
    bool known = false;
    uint32_t crc32 = 0;
    unsigned char sha256[platform::kSha256Bytes] = {};

    bool wanted() const { return crc32Wanted || sha256Wanted; }
};

// Computes the wanted checksums of a whole file by reading it, for a copy
// whose bytes the copier never saw (the system's own copy redid it); false
// when it cannot be read whole.
bool fileDigest(const char* path, CopyDigest& digest);
