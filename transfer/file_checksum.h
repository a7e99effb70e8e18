// The CRC-32 of a whole file, as the release's checksum file gives it
// (zlib's, the ZIP polynomial).
#pragma once

#include <cstdint>

// False when the file cannot be read whole.
bool fileChecksum(const char* path, uint32_t& checksum);
