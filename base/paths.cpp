#include "base/paths.h"

#include <cstring>

#include "base/bounded_text.h"

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool isDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "X:" followed by a separator or the end.
bool hasDrivePrefix(const char* folder) {
    return isDriveLetter(folder[0]) && folder[1] == ':' &&
           (folder[2] == '\0' || isSeparator(folder[2]));
}

// "\\server\share...": a server name, then a share name.
bool isShare(const char* folder) {
    if (!isSeparator(folder[0]) || !isSeparator(folder[1])) return false;
    const char* server = folder + 2;
    const char* at = server;
    while (*at != '\0' && !isSeparator(*at)) ++at;
    return at != server && isSeparator(*at) && at[1] != '\0' && !isSeparator(at[1]);
}

// The next character after at: one byte, or two for a double-byte one.
const char* nextCharacter(const char* at) {
    return at + (isLeadByte(static_cast<unsigned char>(*at)) && at[1] != '\0' ? 2 : 1);
}

}  // namespace

bool joinPath(char* path, size_t capacity, const char* folder, const char* name) {
    return formatText(path, capacity, "%s\\%s", folder, name);
}

bool joinPath(char* path, size_t capacity, const char* folder, const char* middle,
              const char* name) {
    return formatText(path, capacity, "%s\\%s\\%s", folder, middle, name);
}

bool isAbsoluteFolder(const char* folder) { return hasDrivePrefix(folder) || isShare(folder); }

bool isFolderBelowRoot(const char* folder) {
    if (!hasDrivePrefix(folder) || folder[2] == '\0') return false;
    bool named = false;
    const char* begin = folder + 3;
    for (const char* at = begin;; at = nextCharacter(at)) {
        if (*at != '\0' && !isSeparator(*at)) continue;
        PathComponent component = classifyComponent(begin, at);
        if (component == PathComponent::Climb) return false;
        named = named || component == PathComponent::Name;
        if (*at == '\0') return named;
        begin = at + 1;
    }
}

PathComponent classifyComponent(const char* begin, const char* end) {
    int dots = 0;
    for (const char* at = begin; at != end; ++at) {
        if (*at == '.') {
            ++dots;
        } else if (*at != ' ') {
            return PathComponent::Name;
        }
    }
    return dots >= 2 ? PathComponent::Climb : PathComponent::Stay;
}

bool isPlainName(const char* name) {
    for (const char* at = name; *at != '\0'; at = nextCharacter(at)) {
        if (static_cast<unsigned char>(*at) < 0x20 || *at == '\\' || *at == '/' || *at == ':') {
            return false;
        }
    }
    return std::strlen(name) <= kMaxNameLength && std::strstr(name, "..") == nullptr &&
           classifyComponent(name, name + std::strlen(name)) == PathComponent::Name;
}
