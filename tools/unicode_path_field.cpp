#include "unicode_path_field.h"

#include <zlib.h>

#include <cstdint>

namespace {

constexpr uint16_t kUnicodePathId = 0x7075;
constexpr uint8_t kUnicodePathVersion = 1;

// ZIP numbers are little-endian.
void appendLittleEndian(std::string& bytes, uint32_t value, int size) {
    for (int at = 0; at < size; ++at) {
        bytes.push_back(static_cast<char>((value >> (8 * at)) & 0xFF));
    }
}

uint32_t crcOf(const std::string& text) {
    return static_cast<uint32_t>(
        crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(text.data()),
              static_cast<uInt>(text.size())));
}

}  // namespace

std::string unicodePathField(const std::string& storedName, const std::string& utf8Name) {
    std::string field;
    appendLittleEndian(field, kUnicodePathId, 2);
    appendLittleEndian(field, static_cast<uint32_t>(1 + 4 + utf8Name.size()), 2);
    field.push_back(static_cast<char>(kUnicodePathVersion));
    appendLittleEndian(field, crcOf(storedName), 4);
    field += utf8Name;
    return field;
}
