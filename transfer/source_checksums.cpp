#include "transfer/source_checksums.h"

#include <zlib.h>

#include "base/bounded_text.h"

namespace {

constexpr size_t kChecksumBlock = 0x10000;

// The checksum thread's own buffer; only one update runs at a time.
unsigned char checksumBuffer[kChecksumBlock];

// Reads the file whole through the buffer; false when it cannot be read or
// the work was stopped.
bool checksumFile(const char* path, const std::atomic<bool>& stop, uint32_t& checksum) {
    platform::Stream* stream = platform::openStream(path, "rb");
    if (stream == nullptr) return false;
    uLong crc = crc32(0, Z_NULL, 0);
    size_t read;
    do {
        read = platform::readStream(stream, checksumBuffer, kChecksumBlock);
        crc = crc32(crc, checksumBuffer, static_cast<uInt>(read));
    } while (read == kChecksumBlock && !stop);
    bool whole = !stop && !platform::streamFailed(stream);
    platform::closeStream(stream);
    checksum = static_cast<uint32_t>(crc);
    return whole;
}

void checksumSources(void* argument) {
    SourceChecksums& work = *static_cast<SourceChecksums*>(argument);
    for (UpdateFile& file : *work.files) {
        if (work.stop) return;
        char source[kTextCapacity];
        if (!file.present || !file.checksumKnown ||
            !formatText(source, sizeof source, "%s\\%s", work.dataPath, file.name)) {
            continue;
        }
        file.checksummed = checksumFile(source, work.stop, file.checksum);
    }
}

}  // namespace

void startSourceChecksums(SourceChecksums& work, const char* dataPath, UpdateFiles& files) {
    work.dataPath = dataPath;
    work.files = &files;
    work.stop = false;
    uint32_t threadId = 0;
    if (!platform::startThread(checksumSources, &work, threadId, work.thread)) {
        work.thread = nullptr;
    }
}

void finishSourceChecksums(SourceChecksums& work, bool wanted) {
    work.stop = !wanted;
    if (work.thread == nullptr) {
        if (wanted) checksumSources(&work);
        return;
    }
    platform::waitThread(work.thread);
    platform::closeThread(work.thread);
    work.thread = nullptr;
}
