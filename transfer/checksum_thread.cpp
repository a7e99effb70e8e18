// The copy's second thread: the only place that computes checksums while
// the copier reads and writes, over a ring of blocks handed over in order.
#include "transfer/checksum_thread.h"

#include <zlib.h>

namespace {

// Three blocks in flight keep both the copier and the checksums busy while
// either one waits a moment for the disk or the system; a fourth gives no
// more.
constexpr int kBlocks = 4;

// Shared by every checked copy; only one copy runs at a time.
unsigned char blocks[kBlocks][kCopyBlock];
size_t blockSizes[kBlocks];

}  // namespace

ChecksumThread::ChecksumThread(Checksums& result) : result_(result) {
    result_.known = false;
    crc32_ = static_cast<uint32_t>(crc32(0, Z_NULL, 0));
    if (result_.sha256Wanted) {
        sha256_ = platform::startSha256();
        failed_ = sha256_ == nullptr;
    }
    uint32_t threadId = 0;
    if (!platform::startThread(&ChecksumThread::run, this, threadId, thread_)) thread_ = nullptr;
}

ChecksumThread::~ChecksumThread() {
    if (thread_ != nullptr) finish();
    if (sha256_ != nullptr) {
        unsigned char unused[platform::kSha256Bytes];
        platform::finishSha256(sha256_, unused);
    }
}

unsigned char* ChecksumThread::freeBlock() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return queued_ < kBlocks; });
    return blocks[next_];
}

void ChecksumThread::add(size_t size) {
    int block;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        block = next_;
        blockSizes[block] = size;
        next_ = (next_ + 1) % kBlocks;
        ++queued_;
    }
    if (thread_ == nullptr) {
        checksumBlock(block);
        std::lock_guard<std::mutex> lock(mutex_);
        oldest_ = next_;
        queued_ = 0;
        return;
    }
    changed_.notify_all();
}

bool ChecksumThread::finish() {
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

// The thread: checksums each block as it is handed over, until the copier
// has ended and nothing is left.
void ChecksumThread::work() {
    for (;;) {
        int block;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return queued_ > 0 || ended_; });
            if (queued_ == 0) return;
            block = oldest_;
        }
        checksumBlock(block);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            oldest_ = (oldest_ + 1) % kBlocks;
            --queued_;
        }
        changed_.notify_all();
    }
}

void ChecksumThread::checksumBlock(int block) {
    const unsigned char* bytes = blocks[block];
    size_t size = blockSizes[block];
    if (result_.crc32Wanted) {
        crc32_ = static_cast<uint32_t>(crc32(crc32_, bytes, static_cast<uInt>(size)));
    }
    if (sha256_ != nullptr && !failed_) failed_ = !platform::addToSha256(sha256_, bytes, size);
}
