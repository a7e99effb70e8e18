#include "transfer/block_digest.h"

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

BlockDigest::BlockDigest(CopyDigest& digest) : digest_(digest) {
    digest_.known = false;
    crc32_ = static_cast<uint32_t>(crc32(0, Z_NULL, 0));
    if (digest_.sha256Wanted) {
        sha256_ = platform::startSha256();
        failed_ = sha256_ == nullptr;
    }
    uint32_t threadId = 0;
    if (!platform::startThread(&BlockDigest::run, this, threadId, thread_)) thread_ = nullptr;
}

BlockDigest::~BlockDigest() {
    if (thread_ != nullptr) finish();
    if (sha256_ != nullptr) {
        unsigned char unused[platform::kSha256Bytes];
        platform::finishSha256(sha256_, unused);
    }
}

unsigned char* BlockDigest::freeBlock() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return queued_ < kBlocks; });
    return blocks[next_];
}

void BlockDigest::add(size_t size) {
    int block;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        block = next_;
        blockSizes[block] = size;
        next_ = (next_ + 1) % kBlocks;
        ++queued_;
    }
    if (thread_ == nullptr) {
        digestBlock(block);
        std::lock_guard<std::mutex> lock(mutex_);
        oldest_ = next_;
        queued_ = 0;
        return;
    }
    changed_.notify_all();
}

bool BlockDigest::finish() {
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
    digest_.crc32 = crc32_;
    if (sha256_ != nullptr) {
        failed_ = !platform::finishSha256(sha256_, digest_.sha256) || failed_;
        sha256_ = nullptr;
    }
    digest_.known = !failed_;
    return digest_.known;
}

void BlockDigest::run(void* self) { static_cast<BlockDigest*>(self)->work(); }

// The thread: checksums each block as it is handed over, until the copier
// has ended and nothing is left.
void BlockDigest::work() {
    for (;;) {
        int block;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return queued_ > 0 || ended_; });
            if (queued_ == 0) return;
            block = oldest_;
        }
        digestBlock(block);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            oldest_ = (oldest_ + 1) % kBlocks;
            --queued_;
        }
        changed_.notify_all();
    }
}

void BlockDigest::digestBlock(int block) {
    const unsigned char* bytes = blocks[block];
    size_t size = blockSizes[block];
    if (digest_.crc32Wanted) {
        crc32_ = static_cast<uint32_t>(crc32(crc32_, bytes, static_cast<uInt>(size)));
    }
    if (sha256_ != nullptr && !failed_) failed_ = !platform::addToSha256(sha256_, bytes, size);
}
