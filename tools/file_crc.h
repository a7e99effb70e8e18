// The CRC-32 of a file's contents (the ZIP polynomial, as SFV files and zip
// archives give it).
#pragma once

#include <cstdint>
#include <filesystem>

// False when the file cannot be read whole.
bool fileCrc(const std::filesystem::path& file, uint32_t& crc);
