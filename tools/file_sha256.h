// The SHA-256 of a file's contents, as the release manifest gives it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// The digest in 64 lowercase hexadecimal digits, and the number of bytes it
// covers (counted on the same read, so the two describe the same contents).
// False when the file cannot be read whole.
bool fileSha256(const std::filesystem::path& file, std::string& digest, std::uint64_t& size);
