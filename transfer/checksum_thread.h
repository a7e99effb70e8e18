// The checksums of a copy, computed on a thread of their own over the very
// blocks the copier has read, so that reading, writing and checksumming
// overlap on two cores and no file is read twice.
//
// The copier asks for a free block, reads into it, hands it over and writes
// it out; the block is free again once its checksums are computed. The
// blocks are handed over in the order they were read, which is the order
// the checksums need. Where no thread can be started, the checksums are
// computed on the copier's thread as each block is handed over.
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
    // Waits for the thread, if finish was never called.
    ~ChecksumThread();
    ChecksumThread(const ChecksumThread&) = delete;
    ChecksumThread& operator=(const ChecksumThread&) = delete;

    // A block to read into, of kCopyBlock bytes; waits while every block is
    // still being checksummed.
    unsigned char* freeBlock();
    // Hands over the block freeBlock gave last, holding size bytes.
    void add(size_t size);
    // Waits until every block handed over is checksummed and stores the
    // checksums in the result; false (result.known false) when one could not
    // be computed.
    bool finish();

private:
    void work();
    void checksumBlock(int block);
    static void run(void* self);

    Checksums& result_;
    platform::Sha256* sha256_ = nullptr;
    uint32_t crc32_ = 0;
    bool failed_ = false;
    platform::ThreadHandle thread_ = nullptr;

    // The ring of blocks: the copier fills at next_, the thread checksums
    // from oldest_; queued_ blocks are handed over and not yet done.
    // Guarded by mutex_.
    std::mutex mutex_;
    std::condition_variable changed_;
    int next_ = 0;
    int oldest_ = 0;
    int queued_ = 0;
    bool ended_ = false;
};
