#include "base/bounded_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

bool copyText(char* buffer, size_t capacity, const char* source) {
    if (capacity == 0) return false;
    size_t length = std::strlen(source);
    bool fits = length < capacity;
    if (!fits) length = capacity - 1;
    std::memmove(buffer, source, length);
    buffer[length] = '\0';
    return fits;
}

bool appendText(char* buffer, size_t capacity, const char* source) {
    size_t used = strnlen(buffer, capacity);
    if (used == capacity) return false;
    return copyText(buffer + used, capacity - used, source);
}

bool formatText(char* buffer, size_t capacity, const char* format, ...) {
    if (capacity == 0) return false;
    va_list arguments;
    va_start(arguments, format);
    int length = std::vsnprintf(buffer, capacity, format, arguments);
    va_end(arguments);
    if (length < 0) {
        buffer[0] = '\0';
        return false;
    }
    return static_cast<size_t>(length) < capacity;
}

bool isLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

namespace {

// Walks the text character by character and remembers the last backslash
// and the start of the last character.
void scanCharacters(char* text, char*& lastBackslash, char*& lastCharacter) {
    lastBackslash = nullptr;
    lastCharacter = nullptr;
    for (char* at = text; *at != '\0';) {
        lastCharacter = at;
        if (*at == '\\') lastBackslash = at;
        at += (isLeadByte(static_cast<unsigned char>(*at)) && at[1] != '\0') ? 2 : 1;
    }
}

}  // namespace

bool cutAtLastBackslash(char* text) {
    char* lastBackslash;
    char* lastCharacter;
    scanCharacters(text, lastBackslash, lastCharacter);
    if (lastBackslash == nullptr) return false;
    *lastBackslash = '\0';
    return true;
}

char* trailingBackslash(char* text) {
    char* lastBackslash;
    char* lastCharacter;
    scanCharacters(text, lastBackslash, lastCharacter);
    return (lastCharacter != nullptr && lastCharacter == lastBackslash) ? lastBackslash : nullptr;
}
