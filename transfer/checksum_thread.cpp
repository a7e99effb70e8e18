// The copy's second thread: the only place that computes checksums while
// the copier reads and writes, over a ring of chunks handed over in order.
#include "transfer/checksum_thread.h"

#include <zlib.h>

namespace {

constexpr size_t kBlocksPerChunk = 16;
constexpr size_t kChunkBytes = kBlocksPerChunk * kCopyBlock;
// Two chunks in flight keep both threads busy while either waits a moment
// for the disk or the system; a third covers the one being filled.
constexpr int kChunks = 3;

// Shared by every checked copy; only one copy runs at a time.
unsigned char chunks[kChunks][kChunkBytes];
size_t chunkSizes[kChunks];

}  // namespace

ChecksumThread::ChecksumThread(Checksums& result) : result_(result) {
    crc32_ = static_cast<uint32_t>(crc32(0, Z_NULL, 0));
    if (result_.sha256Wanted) {
        sha256_ = platform::startSha256();
        failed_ = sha256_ == nullptr;
    }
    uint32_t threadId = 0;
    if (!platform::startThread(&ChecksumThread::run, this, threadId, thread_)) thread_ = nullptr;
}

ChecksumThread::~ChecksumThread() { finish(); }

unsigned char* ChecksumThread::freeBlock() {
    if (!filling_) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return queued_ < kChunks; });
        filling_ = true;
        filled_ = 0;
    }
    return chunks[next_] + filled_;
}

void ChecksumThread::add(size_t size) {
    filled_ += size;
    // A short block is the file's last: the chunk goes as it is.
    if (filled_ == kChunkBytes || size < kCopyBlock) handOver();
}

void ChecksumThread::handOver() {
    int chunk;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        chunk = next_;
        chunkSizes[chunk] = filled_;
        next_ = (next_ + 1) % kChunks;
        ++queued_;
    }
    filling_ = false;
    if (thread_ != nullptr) {
        changed_.notify_all();
        return;
    }
    checksumChunk(chunk);
    std::lock_guard<std::mutex> lock(mutex_);
    oldest_ = next_;
    queued_ = 0;
}

bool ChecksumThread::finish() {
    if (filling_) handOver();
    if (thread_ != nullptr) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ended_ = true;
        }
        changed_.notify_all();
        platform::waitThread(thread_);
        platform::closeThread(thread_);
        thread_ = nullptr;
    }
    result_.crc32 = crc32_;
    if (sha256_ != nullptr) {
        failed_ = !platform::finishSha256(sha256_, result_.sha256) || failed_;
        sha256_ = nullptr;
    }
    result_.known = !failed_;
    return result_.known;
}

void ChecksumThread::run(void* self) { static_cast<ChecksumThread*>(self)->work(); }

// The thread: checksums each chunk as it is handed over, until the copier
// has ended and nothing is left.
void ChecksumThread::work() {
    for (;;) {
        int chunk;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return queued_ > 0 || ended_; });
            if (queued_ == 0) return;
            chunk = oldest_;
        }
        checksumChunk(chunk);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            oldest_ = (oldest_ + 1) % kChunks;
            --queued_;
        }
        changed_.notify_all();
    }
}

void ChecksumThread::checksumChunk(int chunk) {
    const unsigned char* bytes = chunks[chunk];
    size_t size = chunkSizes[chunk];
    if (result_.crc32Wanted) {
        crc32_ = static_cast<uint32_t>(crc32(crc32_, bytes, static_cast<uInt>(size)));
    }
    if (sha256_ != nullptr && !failed_) failed_ = !platform::addToSha256(sha256_, bytes, size);
}
