#include "transfer/small_file.h"

#include "platform/platform.h"

namespace {

// A release lists a few hundred files at most; a line takes under 140
// bytes.
constexpr size_t kSmallFileLimit = 1 << 20;

}  // namespace

bool readSmallFile(const char* path, std::string& text) {
    platform::Stream* stream = platform::openStream(path, "rb");
    if (stream == nullptr) return false;
    char block[4096];
    size_t read;
    do {
        read = platform::readStream(stream, block, sizeof block);
        text.append(block, read);
    } while (read == sizeof block && text.size() <= kSmallFileLimit);
    bool whole = !platform::streamFailed(stream) && text.size() <= kSmallFileLimit;
    platform::closeStream(stream);
    return whole;
}
