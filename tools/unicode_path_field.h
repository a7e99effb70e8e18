// The Info-ZIP Unicode Path extra field (0x7075) of an entry whose stored
// name is not ASCII. Readers that know it (7-Zip, libarchive, Info-ZIP's
// unzip) take its UTF-8 name when its CRC-32 matches the stored name; the
// Windows shell ignores it and reads the stored name in the system's code
// page.
#pragma once

#include <string>

// The field's bytes: header id, data size, version 1, the CRC-32 of
// storedName, utf8Name.
std::string unicodePathField(const std::string& storedName, const std::string& utf8Name);
