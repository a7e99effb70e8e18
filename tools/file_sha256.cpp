#include "file_sha256.h"

#include <openssl/evp.h>

#include <fstream>
#include <memory>
#include <vector>

namespace {

constexpr size_t kChunk = 64 * 1024;

using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

std::string hexDigits(const unsigned char* bytes, unsigned int count) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

}  // namespace

bool fileSha256(const std::filesystem::path& file, std::string& digest, std::uint64_t& size) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return false;
    std::vector<char> buffer(kChunk);
    std::uint64_t total = 0;
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<size_t>(in.gcount());
        if (EVP_DigestUpdate(context.get(), buffer.data(), got) != 1) return false;
        total += got;
    }
    unsigned char sum[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!in.eof() || EVP_DigestFinal_ex(context.get(), sum, &length) != 1) return false;
    digest = hexDigits(sum, length);
    size = total;
    return true;
}
