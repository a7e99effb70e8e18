// Paths as the programs build and check them: ANSI strings in code page
// 932, where the second byte of a double-byte character may be 0x5C, the
// backslash, so that every walk goes by characters. Joining is bounded and
// always NUL-terminated, like every text of base/.
#pragma once

#include <cstddef>

// "<folder>\<name>" and "<folder>\<middle>\<name>" into path; false when
// the result does not fit (path then holds as much as fitted).
bool joinPath(char* path, size_t capacity, const char* folder, const char* name);
bool joinPath(char* path, size_t capacity, const char* folder, const char* middle,
              const char* name);

// "X:" or "X:\..." (a drive root is kept as two characters), or
// "\\server\share...": a folder the system does not resolve against the
// current drive or folder.
bool isAbsoluteFolder(const char* folder);
// An absolute folder on a drive with at least one folder name below its
// root and no component that climbs: one whose listed files deletions may
// work in without reaching outside it.
bool isFolderBelowRoot(const char* folder);

// A path component of dots and blanks alone names no folder of its own: one
// dot stays where it is, two or more climb (the system drops trailing dots
// and blanks).
enum class PathComponent { Name, Stay, Climb };
PathComponent classifyComponent(const char* begin, const char* end);

// The longest name a list holds (a slot of 128 bytes with its NUL).
constexpr size_t kMaxNameLength = 127;

// A name that stays inside the folder it is joined to: one component (no
// real backslash, no slash, no drive colon) without "..", no control
// character, which no file name on Windows holds, and no longer than a list
// holds.
bool isPlainName(const char* name);
