// Generic Windows code only: keys and values under HKEY_LOCAL_MACHINE, opened
// with full access. Nothing here knows about the game.
#include <windows.h>

#include "platform/platform.h"

namespace platform {

bool registryOpenKey(const char* path, RegistryKey& key) {
    HKEY opened = nullptr;
    LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &opened);
    key = result == ERROR_SUCCESS ? opened : nullptr;
    return result == ERROR_SUCCESS;
}

bool registryCreateKey(const char* path, RegistryKey& key) {
    HKEY created = nullptr;
    LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, &created, nullptr);
    key = result == ERROR_SUCCESS ? created : nullptr;
    return result == ERROR_SUCCESS;
}

void registryCloseKey(RegistryKey key) {
    if (key != nullptr) RegCloseKey(static_cast<HKEY>(key));
}

bool registryDeleteKey(const char* path) {
    return RegDeleteKeyA(HKEY_LOCAL_MACHINE, path) == ERROR_SUCCESS;
}

bool registrySetValue(RegistryKey key, const char* name, uint32_t type,
                      const void* data, uint32_t size) {
    return RegSetValueExA(static_cast<HKEY>(key), name, 0, type,
                          static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

bool registryQueryValue(RegistryKey key, const char* name, void* data,
                        uint32_t& size) {
    DWORD length = size;
    // ERROR_MORE_DATA (the value does not fit) is a failure like any other.
    LONG result = RegQueryValueExA(static_cast<HKEY>(key), name, nullptr, nullptr,
                                   static_cast<BYTE*>(data), &length);
    if (result != ERROR_SUCCESS) return false;
    size = length;
    return true;
}

}  // namespace platform
