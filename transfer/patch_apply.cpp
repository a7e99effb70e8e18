#include "transfer/patch_apply.h"

#include <zstd.h>

#include "transfer/block_digest.h"

namespace {

// The largest window the patches may need: a new file of at most 512 MiB,
// which a 32-bit process can still hold beside its mapped reference. The
// packager ships larger files whole.
constexpr int kWindowLogMax = 29;

// Only one update runs at a time.
unsigned char patchBuffer[kCopyBlock];

// The open files and the decoder of one patch, released in reverse.
struct Decoding {
    platform::MappedFile* reference = nullptr;
    platform::Stream* patch = nullptr;
    platform::Stream* target = nullptr;
    ZSTD_DCtx* decoder = nullptr;

    ~Decoding() {
        if (decoder != nullptr) ZSTD_freeDCtx(decoder);
        if (patch != nullptr) platform::closeStream(patch);
        if (target != nullptr) platform::closeStream(target);
        if (reference != nullptr) platform::unmapFile(reference);
    }
};

// Decodes what one block of the patch gives, writing each output block
// out. frameLeft takes what the decoder says is left of the frame: 0 once
// it is whole; Undecodable for a decoding error or anything in the block
// after the frame's end.
PatchOutcome decodeBlock(Decoding& decoding, BlockDigest& checksums, ZSTD_inBuffer& input,
                         size_t& frameLeft) {
    for (;;) {
        unsigned char* block = checksums.freeBlock();
        ZSTD_outBuffer output{block, kCopyBlock, 0};
        frameLeft = ZSTD_decompressStream(decoding.decoder, &output, &input);
        if (ZSTD_isError(frameLeft)) return PatchOutcome::Undecodable;
        checksums.add(output.pos);
        if (platform::writeStream(decoding.target, block, output.pos) != output.pos) {
            return PatchOutcome::Failed;
        }
        if (frameLeft == 0) {
            return input.pos == input.size ? PatchOutcome::Applied : PatchOutcome::Undecodable;
        }
        // A full block may leave more to flush; otherwise the decoder needs
        // the next block of the patch.
        if (input.pos == input.size && output.pos < kCopyBlock) return PatchOutcome::Applied;
    }
}

// Runs the patch through the decoder: Applied when it ends with exactly one
// whole frame.
PatchOutcome decodeAll(Decoding& decoding, BlockDigest& checksums) {
    size_t frameLeft = 1;
    for (;;) {
        size_t read = platform::readStream(decoding.patch, patchBuffer, sizeof patchBuffer);
        if (platform::streamFailed(decoding.patch)) return PatchOutcome::Failed;
        if (read == 0) return frameLeft == 0 ? PatchOutcome::Applied : PatchOutcome::Undecodable;
        if (frameLeft == 0) return PatchOutcome::Undecodable;
        ZSTD_inBuffer input{patchBuffer, read, 0};
        PatchOutcome decoded = decodeBlock(decoding, checksums, input, frameLeft);
        if (decoded != PatchOutcome::Applied) return decoded;
    }
}

// A decoder with the reference before the frame's first byte, and a window
// no larger than the bound.
bool startDecoder(Decoding& decoding, const void* reference, uint64_t referenceSize) {
    decoding.decoder = ZSTD_createDCtx();
    return decoding.decoder != nullptr &&
           !ZSTD_isError(ZSTD_DCtx_setParameter(decoding.decoder, ZSTD_d_windowLogMax,
                                                kWindowLogMax)) &&
           !ZSTD_isError(ZSTD_DCtx_refPrefix(decoding.decoder, reference,
                                             static_cast<size_t>(referenceSize)));
}

}  // namespace

PatchOutcome applyPatch(const char* reference, const char* patch, const char* target,
                        CopyDigest& digest) {
    digest.known = false;
    Decoding decoding;
    const void* referenceBytes = nullptr;
    uint64_t referenceSize = 0;
    decoding.reference = platform::mapFileForReading(reference, referenceBytes, referenceSize);
    decoding.patch = platform::openStream(patch, "rb");
    if (decoding.reference == nullptr || decoding.patch == nullptr) return PatchOutcome::Failed;
    decoding.target = platform::openStream(target, "wb");
    if (decoding.target == nullptr || !startDecoder(decoding, referenceBytes, referenceSize)) {
        return PatchOutcome::Failed;
    }
    BlockDigest checksums(digest);
    PatchOutcome decoded = decodeAll(decoding, checksums);
    bool checked = checksums.finish();
    bool closed = platform::closeStream(decoding.target);
    decoding.target = nullptr;
    if (decoded != PatchOutcome::Applied) return decoded;
    return checked && closed ? PatchOutcome::Applied : PatchOutcome::Failed;
}
