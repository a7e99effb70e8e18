// Generic Windows code only: SHA-256 through the system's CNG provider
// (bcrypt.dll, Windows Vista and later). Nothing here knows about the game.
#include <windows.h>

#include <bcrypt.h>

#include <new>

#include "platform/platform.h"

namespace platform {

struct Sha256 {
    BCRYPT_ALG_HANDLE algorithm;
    BCRYPT_HASH_HANDLE hash;
};

namespace {

bool succeeded(NTSTATUS status) { return status >= 0; }

void release(Sha256* sha) {
    if (sha->hash != nullptr) BCryptDestroyHash(sha->hash);
    if (sha->algorithm != nullptr) BCryptCloseAlgorithmProvider(sha->algorithm, 0);
    delete sha;
}

}  // namespace

Sha256* startSha256() {
    Sha256* sha = new (std::nothrow) Sha256{nullptr, nullptr};
    if (sha == nullptr) return nullptr;
    // The hash object's memory is the provider's own (no buffer given).
    if (!succeeded(BCryptOpenAlgorithmProvider(&sha->algorithm, BCRYPT_SHA256_ALGORITHM,
                                               nullptr, 0)) ||
        !succeeded(BCryptCreateHash(sha->algorithm, &sha->hash, nullptr, 0, nullptr, 0, 0))) {
        release(sha);
        return nullptr;
    }
    return sha;
}

bool addToSha256(Sha256* sha, const void* data, size_t size) {
    const UCHAR* bytes = static_cast<const UCHAR*>(data);
    // The system takes at most a ULONG of bytes a call.
    while (size > 0) {
        ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
        if (!succeeded(BCryptHashData(sha->hash, const_cast<UCHAR*>(bytes), piece, 0))) {
            return false;
        }
        bytes += piece;
        size -= piece;
    }
    return true;
}

bool finishSha256(Sha256* sha, unsigned char* digest) {
    bool finished = succeeded(BCryptFinishHash(sha->hash, digest, kSha256Bytes, 0));
    release(sha);
    return finished;
}

}  // namespace platform
