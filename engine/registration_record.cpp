#include <cstring>

#include "engine/product_config.h"
#include "engine/setup_engine.h"

void trace(const char*, ...) {}

bool SetupEngine::openKey(const char* keyPath) {
    closeKey();
    platform::RegistryKey key = nullptr;
    if (!platform::registryOpenKey(keyPath, key)) return false;
    registryKey = key;
    return true;
}

bool SetupEngine::createKey(const char* keyPath) {
    closeKey();
    platform::RegistryKey key = nullptr;
    if (!platform::registryCreateKey(keyPath, key)) return false;
    registryKey = key;
    return true;
}

void SetupEngine::closeKey() {
    if (registryKey == nullptr) return;
    platform::registryCloseKey(registryKey);
    registryKey = nullptr;
}

bool SetupEngine::deleteKey(const char* keyPath) { return platform::registryDeleteKey(keyPath); }

bool SetupEngine::writeValue(const char* name, uint32_t type, const void* data, uint32_t length) {
    if (registryKey == nullptr) return false;
    if (platform::registrySetValue(registryKey, name, type, data, length)) return true;
    closeKey();
    return false;
}

namespace {

// Ends a text read into its field: after the bytes read when there is room;
// a text that fills the field with no NUL in it has none and fails like a
// value that does not fit. A failed read may have left the field's bytes
// unended, so such a field is emptied.
bool endReadText(char* text, uint32_t capacity, uint32_t size, bool read) {
    if (read && size < capacity) {
        text[size] = '\0';
        return true;
    }
    if (std::memchr(text, '\0', capacity) != nullptr) return read;
    if (capacity > 0) text[0] = '\0';
    return false;
}

}  // namespace

// Whatever type the value has, its bytes go into the buffer.
bool SetupEngine::readValue(const char* name, uint32_t type, void* buffer, uint32_t capacity) {
    uint32_t size = capacity;
    bool read = registryKey != nullptr &&
                platform::registryQueryValue(registryKey, name, buffer, size);
    if (type == platform::kRegistryText) {
        read = endReadText(static_cast<char*>(buffer), capacity, size, read);
    }
    if (!read) closeKey();
    return read;
}

namespace {

// A text value is stored with the byte after its NUL, but never with bytes
// beyond its field: a text of the field's full length is stored with its NUL
// only, so that it reads back into the same field.
uint32_t storedTextLength(const char* field) {
    size_t length = strnlen(field, kPathCapacity) + 2;
    return static_cast<uint32_t>(length < kPathCapacity ? length : kPathCapacity);
}

}  // namespace

bool SetupEngine::writeRecordAt(const char* keyPath) {
    if (!createKey(keyPath)) return false;
    trace("create <%s>", keyPath);
    if (!writeValue("Dir", platform::kRegistryText, installDir, storedTextLength(installDir))) {
        return false;
    }
    trace("Dir <%s>", installDir);
    if (!writeValue("CD", platform::kRegistryText, sourceDir, storedTextLength(sourceDir))) {
        return false;
    }
    trace("CD <%s>", sourceDir);
    if (!writeValue("InstType", platform::kRegistryDword, &installType, sizeof installType)) {
        return false;
    }
    trace("InstType <%d>", installType);
    closeKey();
    return true;
}

bool SetupEngine::readRecordAt(const char* keyPath) {
    if (!openKey(keyPath)) return false;
    trace("open <%s>", keyPath);
    if (!readValue("Dir", platform::kRegistryText, installDir, sizeof installDir)) return false;
    trace("Dir <%s>", installDir);
    if (!readValue("CD", platform::kRegistryText, sourceDir, sizeof sourceDir)) return false;
    trace("CD <%s>", sourceDir);
    if (!readValue("InstType", platform::kRegistryDword, &installType, sizeof installType)) {
        return false;
    }
    trace("InstType <%d>", installType);
    closeKey();
    return true;
}

bool SetupEngine::writeRecord() { return writeRecordAt(ProductConfig::registryKeyPath); }

bool SetupEngine::readRecord() { return readRecordAt(ProductConfig::registryKeyPath); }
