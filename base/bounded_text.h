// Bounded, always NUL-terminated text operations for the fixed buffers that
// hold paths, names and messages. Each returns false when the text did not
// fit; the buffer then holds as much as fitted, still NUL-terminated, and the
// caller decides whether a cut text is acceptable or a failure.
#pragma once

#include <cstddef>

// Copies source into buffer.
bool copyText(char* buffer, size_t capacity, const char* source);
// Appends source to the text already in buffer.
bool appendText(char* buffer, size_t capacity, const char* source);
// printf-style formatting into buffer.
bool formatText(char* buffer, size_t capacity, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
// Whether the byte starts a double-byte character of code page 932.
bool isLeadByte(unsigned char byte);
// Paths are in code page 932, where the second byte of a double-byte
// character may be 0x5C, the backslash; these two look only at real ones.
//
// Cuts text at its last backslash (the backslash itself is removed); false,
// leaving text unchanged, when it holds no backslash.
bool cutAtLastBackslash(char* text);
// Returns the position of the text's last character when that is a real
// backslash, else null.
char* trailingBackslash(char* text);
