// Applying one patch of a patch release: a zstd frame made with
// `zstd --patch-from`, decoded with the player's game file (an earlier
// version's) as its reference into a new file, with the checksums the
// caller wants computed of the bytes written.
#pragma once

#include "transfer/copy_digest.h"

enum class PatchOutcome {
    Applied,
    Failed,       // a file could not be read or written
    Undecodable,  // the patch is no whole zstd frame for this reference
};
// Decodes patch with reference into target (created or emptied).
PatchOutcome applyPatch(const char* reference, const char* patch, const char* target,
                        CopyDigest& digest);
