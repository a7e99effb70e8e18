// The CRC-32 of the sources of an update, computed on a thread of its own
// while the main thread stages the same files, so that checking a release
// costs about nothing beside the copy. The thread reads each source through
// a buffer of its own, in list order, a little ahead of the copy.
#pragma once

#include <atomic>

#include "platform/platform.h"
#include "transfer/update_files.h"

struct SourceChecksums {
    const char* dataPath;
    UpdateFiles* files;
    std::atomic<bool> stop;  // set by the main thread to end the work early
    platform::ThreadHandle thread;
};

// Starts computing the checksum of every present file whose checksum the
// checksum file gives. Where no thread can be started the work waits for
// finishSourceChecksums, which does it then.
void startSourceChecksums(SourceChecksums& work, const char* dataPath, UpdateFiles& files);
// Waits for the work to end; with wanted false it is ended early (the
// staging failed, the checksums are no longer needed). Only after this may
// the files' checksums be read.
void finishSourceChecksums(SourceChecksums& work, bool wanted);
