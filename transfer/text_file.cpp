// Reading a small text file whole, with a limit no file of the update's
// own may pass.
#include "transfer/text_file.h"

#include "platform/platform.h"

namespace {

// A release lists a few hundred files at most; a line takes under 140
// bytes.
constexpr size_t kTextFileLimit = 1 << 20;

}  // namespace

bool readTextFile(const char* path, std::string& text) {
    platform::Stream* stream = platform::openStream(path, "rb");
    if (stream == nullptr) return false;
    char block[4096];
    size_t read;
    do {
        read = platform::readStream(stream, block, sizeof block);
        text.append(block, read);
    } while (read == sizeof block && text.size() <= kTextFileLimit);
    bool whole = !platform::streamFailed(stream) && text.size() <= kTextFileLimit;
    platform::closeStream(stream);
    return whole;
}
