// The checksums of a copy, computed on a thread of their own over the very
// blocks the copier has read, so that reading, writing and checksumming
// overlap on two cores and no file is read twice.
//
// The copier asks for a free block, reads into it, notes what it read and
// writes it out. Blocks are filled one after the other in a chunk of
// sixteen; a full chunk (or one that ends with a short block, the end of
// the file) goes to the thread whole, since every hand-over between threads
// costs the system far more than checksumming 64 KiB. A chunk is free again
// once its checksums are computed. Chunks are handed over in the order they
// were filled, which is the order the checksums need. Where no thread can be
// started, the checksums are computed on the copier's thread as each chunk
// is handed over.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>

#include "transfer/checksums.h"

constexpr size_t kCopyBlock = 0x10000;

class ChecksumThread {
public:
    // Starts the checksums the result wants.
    explicit ChecksumThread(Checksums& result);
    // Finishes, if finish was never called: no thread or SHA-256 outlives
    // the copy. A second finish only stores the same checksums again.
    ~ChecksumThread();
    ChecksumThread(const ChecksumThread&) = delete;
    ChecksumThread& operator=(const ChecksumThread&) = delete;

    // A block to read into, of kCopyBlock bytes; waits while every chunk is
    // still being checksummed.
    unsigned char* freeBlock();
    // Notes that the block freeBlock gave last holds size bytes.
    void add(size_t size);
    // Waits until every byte noted is checksummed and stores the checksums
    // in the result; false (result.known false) when one could not be
    // computed.
    bool finish();

private:
    void handOver();
    void work();
    void checksumChunk(int chunk);
    static void run(void* self);

    Checksums& result_;
    platform::Sha256* sha256_ = nullptr;
    uint32_t crc32_ = 0;
    bool failed_ = false;
    platform::ThreadHandle thread_ = nullptr;
    // The copier's chunk and how much of it is filled (its own, no lock).
    bool filling_ = false;
    size_t filled_ = 0;

    // The ring of chunks: the copier fills at next_, the thread checksums
    // from oldest_; queued_ chunks are handed over and not yet done.
    // Guarded by mutex_.
    std::mutex mutex_;
    std::condition_variable changed_;
    int next_ = 0;
    int oldest_ = 0;
    int queued_ = 0;
    bool ended_ = false;
};
