// copyFile: one file through the shared 64 KiB buffer, counting the bytes
// read for the install progress and taking part in the cancel handshake.
// When the finished copy is far from the source's size, or a read or a write
// failed, the system's own copy is tried instead. For the update, it also
// checksums what it copies, on the block it has just read.
#include <zlib.h>

#include <cstdint>

#include "engine/setup_engine.h"
#include "transfer/copy_phases.h"

namespace {

constexpr size_t kCopyBlock = 0x10000;
// Sizes further apart than this send the file to the system's copy.
constexpr uint64_t kSizeTolerance = 0x10000;

// Shared by every copy; only one copy runs at a time.
unsigned char copyBuffer[kCopyBlock];

// The copier's one step of the cancel handshake: a request (1) becomes
// "seen" (2). True when a request was seen.
bool seeCancelRequest(SetupEngine& engine) {
    int32_t requested = kCancelRequested;
    return engine.cancelState.compare_exchange_strong(requested, kCancelSeenByCopier);
}

// Moves the data block by block until a short read. False when that read
// was a failure rather than the end of the file (a scratched disc, say), or
// when a write came up short: the target is then incomplete, though its
// size may be near enough the source's to pass the size check.
bool copyBlocks(SetupEngine& engine) {
    for (;;) {
        size_t read = platform::readStream(engine.sourceStream, copyBuffer, kCopyBlock);
        engine.bytesCopied += static_cast<uint32_t>(read);
        if (engine.checksumCopies) {
            engine.copyChecksum = static_cast<uint32_t>(
                crc32(engine.copyChecksum, copyBuffer, static_cast<uInt>(read)));
        }
        if (platform::writeStream(engine.targetStream, copyBuffer, read) != read) return false;
        if (read < kCopyBlock) return !platform::streamFailed(engine.sourceStream);
        if (seeCancelRequest(engine)) return true;
    }
}

// Closes both streams; false when the target's buffered data could not be
// written out.
bool closeStreams(SetupEngine& engine) {
    platform::closeStream(engine.sourceStream);
    engine.sourceStream = nullptr;
    bool targetComplete = platform::closeStream(engine.targetStream);
    engine.targetStream = nullptr;
    return targetComplete;
}

// Sizes are the low 32 bits of the real ones; the comparison is made in 64
// bits so that a size near 2^32 does not wrap around the tolerance.
bool sizesFarApart(uint32_t sourceSize, uint32_t targetSize) {
    uint64_t s = sourceSize;
    uint64_t t = targetSize;
    return t > s + kSizeTolerance || t + kSizeTolerance < s;
}

// Copies the file again with the system's copy; the byte count then holds
// the source's size for this file instead of what the loop read.
bool copyWithSystem(SetupEngine& engine, const char* target, const char* source,
                    uint32_t startTotal, uint32_t sourceSize) {
    bool copied = platform::systemCopyFile(source, target);
    engine.bytesCopied = startTotal + sourceSize;
    engine.copyChecksumKnown = false;
    return copied;
}

}  // namespace

bool SetupEngine::copyFile(const char* target, const char* source) {
    sourceStream = platform::openStream(source, "rb");
    if (sourceStream == nullptr) return false;
    targetStream = platform::openStream(target, "wb");
    if (targetStream == nullptr) {
        platform::closeStream(sourceStream);
        sourceStream = nullptr;
        return false;
    }
    markCopyPhase(CopyPhase::Opens);
    const uint32_t startTotal = bytesCopied;
    copyChecksum = 0;
    copyChecksumKnown = checksumCopies;
    bool written = seeCancelRequest(*this) || copyBlocks(*this);
    markCopyPhase(CopyPhase::Blocks);
    written = closeStreams(*this) && written;
    markCopyPhase(CopyPhase::Closes);

    // A cancelled copy is left as it is; the copy thread knows it cancelled.
    if (cancelState != kCancelNone) return true;

    uint32_t sourceSize = fileSize(source);
    bool whole = written && !sizesFarApart(sourceSize, fileSize(target));
    whole = whole || copyWithSystem(*this, target, source, startTotal, sourceSize);
    markCopyPhase(CopyPhase::SizeCheck);
    return whole;
}
