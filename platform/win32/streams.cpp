// Generic Windows code only: the platform layer's buffered file streams,
// realised with the C runtime's stdio. Nothing here knows about the game.
#include <cstdio>

#include "platform/platform.h"

namespace platform {
namespace {

// A Stream is the runtime's FILE itself; the type stays opaque to callers.
FILE* fileOf(Stream* stream) { return reinterpret_cast<FILE*>(stream); }

}  // namespace

Stream* openStream(const char* path, const char* mode) {
    FILE* file = nullptr;
    if (fopen_s(&file, path, mode) != 0) return nullptr;
    return reinterpret_cast<Stream*>(file);
}

size_t readStream(Stream* stream, void* buffer, size_t size) {
    if (stream == nullptr) return 0;
    return std::fread(buffer, 1, size, fileOf(stream));
}

bool streamFailed(Stream* stream) {
    return stream == nullptr || std::ferror(fileOf(stream)) != 0;
}

size_t writeStream(Stream* stream, const void* buffer, size_t size) {
    if (stream == nullptr) return 0;
    return std::fwrite(buffer, 1, size, fileOf(stream));
}

bool closeStream(Stream* stream) {
    if (stream == nullptr) return false;
    return std::fclose(fileOf(stream)) == 0;
}

}  // namespace platform
