#include "file_crc.h"

#include <zlib.h>

#include <fstream>
#include <vector>

namespace {

constexpr size_t kChunk = 64 * 1024;

}  // namespace

bool fileCrc(const std::filesystem::path& file, uint32_t& crc) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::vector<char> buffer(kChunk);
    uLong sum = crc32(0L, Z_NULL, 0);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<uInt>(in.gcount());
        sum = crc32(sum, reinterpret_cast<const Bytef*>(buffer.data()), got);
    }
    if (!in.eof()) return false;
    crc = static_cast<uint32_t>(sum);
    return true;
}
