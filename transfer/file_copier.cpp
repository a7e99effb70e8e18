// copyFile: one file through a 64 KiB block at a time, counting the bytes
// read for the install progress and taking part in the cancel handshake.
// When the finished copy is far from the source's size, or a read or a write
// failed, the system's own copy is tried instead. Where the caller asks for
// checksums of what it copies, they are computed on a second thread over
// the blocks as they are read (transfer/checksum_thread.h).
#include <cstdint>

#include "engine/setup_engine.h"
#include "transfer/checksum_thread.h"
#include "transfer/copy_phases.h"

namespace {

// Sizes further apart than this send the file to the system's copy.
constexpr uint64_t kSizeTolerance = 0x10000;

// The block of every unchecked copy; only one copy runs at a time.
unsigned char copyBuffer[kCopyBlock];

// The copier's one step of the cancel handshake: a request (1) becomes
// "seen" (2). True when a request was seen.
bool seeCancelRequest(SetupEngine& engine) {
    int32_t requested = kCancelRequested;
    return engine.cancelState.compare_exchange_strong(requested, kCancelSeenByCopier);
}

// Moves the data block by block until a short read, handing each block to
// the checksums when there are any. False when that read was a failure
// rather than the end of the file (a scratched disc, say), or when a write
// came up short: the target is then incomplete, though its size may be
// near enough the source's to pass the size check.
bool copyBlocks(SetupEngine& engine, ChecksumThread* thread) {
    for (;;) {
        unsigned char* block = thread != nullptr ? thread->freeBlock() : copyBuffer;
        size_t read = platform::readStream(engine.sourceStream, block, kCopyBlock);
        engine.bytesCopied += static_cast<uint32_t>(read);
        if (thread != nullptr) thread->add(read);
        if (platform::writeStream(engine.targetStream, block, read) != read) return false;
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
// the source's size for this file instead of what the loop read, and the
// checksums are those of the new copy, read back.
bool copyWithSystem(SetupEngine& engine, const char* target, const char* source,
                    uint32_t startTotal, uint32_t sourceSize, Checksums* checksums) {
    bool copied = platform::systemCopyFile(source, target);
    engine.bytesCopied = startTotal + sourceSize;
    if (copied && checksums != nullptr && checksums->wanted()) fileChecksums(target, *checksums);
    return copied;
}

// The loop with the checksums the caller wants, if any; false as copyBlocks.
bool copyData(SetupEngine& engine, Checksums* checksums) {
    if (seeCancelRequest(engine)) return true;
    if (checksums == nullptr || !checksums->wanted()) return copyBlocks(engine, nullptr);
    ChecksumThread thread(*checksums);
    bool copied = copyBlocks(engine, &thread);
    thread.finish();
    return copied;
}

}  // namespace

bool SetupEngine::copyFile(const char* target, const char* source, Checksums* checksums) {
    if (checksums != nullptr) checksums->known = false;
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
    bool written = copyData(*this, checksums);
    markCopyPhase(CopyPhase::Blocks);
    written = closeStreams(*this) && written;
    markCopyPhase(CopyPhase::Closes);

    // A cancelled copy is left as it is; the copy thread knows it cancelled.
    if (cancelState != kCancelNone) return true;

    uint32_t sourceSize = fileSize(source);
    bool whole = written && !sizesFarApart(sourceSize, fileSize(target));
    whole = whole || copyWithSystem(*this, target, source, startTotal, sourceSize, checksums);
    markCopyPhase(CopyPhase::SizeCheck);
    return whole;
}
