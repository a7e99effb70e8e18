// The special folders under which the start-menu group lives, and the lookup
// of their paths.
#pragma once

#include <cstddef>

constexpr int kCsidlCommonStartMenu = 22;
constexpr int kCsidlCommonPrograms = 23;

// Fills buffer (emptied first) with the path of the special folder; false
// when the shell did not find it or its path does not fit, the buffer then
// empty.
bool getSpecialFolderPath(int csidl, char* buffer, size_t capacity);
