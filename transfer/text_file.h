// Reading one of the small text files the update works with: the release's
// checksum file and the replace step's record.
#pragma once

#include <string>

// Reads the file whole into text, which is empty; false when it cannot be
// read, or is larger than any such file can be (a megabyte).
bool readTextFile(const char* path, std::string& text);
