// One distinct listed file of an update, as the update's steps find it and
// change it: where it is, what the release says of it, how far the replace
// step has moved it.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/setup_engine.h"
#include "transfer/checksums.h"

struct ManifestPatch;

struct UpdateFile {
    char name[kNameCapacity];
    bool present;           // to be staged: found in the data folder, or to be patched
    uint64_t size;          // its new size
    bool hadOld;            // a game file of this name stood before the replace step
    bool movedOld;          // the replace step moved that old file into the backup folder
    bool placed;            // the replace step put its staged file in its place
    bool crc32Known;        // the checksum file gives its CRC-32 ...
    uint32_t expectedCrc32; // ... this one
    bool sha256Known;       // the manifest gives its SHA-256 ...
    unsigned char expectedSha256[platform::kSha256Bytes];  // ... this one
    const ManifestPatch* patch;  // the patch that makes it of its game file, if any
    Checksums staged;       // the checksums of what was staged
};
using UpdateFiles = std::vector<UpdateFile>;
