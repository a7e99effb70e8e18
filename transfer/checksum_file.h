// The release's checksum file (update.sfv in the data folder), read as the
// players' own tools write it: "; comment" lines and blank lines, then one
// line a file, "<name> <CRC-32 in 8 hexadecimal digits>", the names in code
// page 932, CRLF or LF line ends.
#pragma once

#include <cstdint>
#include <string>

// The checksum that a line of text gives for name, compared as the system
// compares file names; the first such line counts. False when no line
// names it.
bool findChecksum(const std::string& text, const char* name, uint32_t& checksum);
