// Keys and values under HKEY_LOCAL_MACHINE against the real registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "platform/platform.h"

TEST(Registry, ValuesRoundTripUnderLocalMachineAndMisfitsFail) {
    const char kKey[] = "SOFTWARE\\PlatformTests\\Record";
    platform::RegistryKey key = nullptr;
    ASSERT_TRUE(platform::registryCreateKey(kKey, key));
    ASSERT_NE(nullptr, key);
    // A text is stored with its NUL and the byte after it, as the record does.
    char dir[260] = "C:\\Games\\Vello";
    const uint32_t stored = static_cast<uint32_t>(std::strlen(dir)) + 2;
    uint32_t type = 3;
    EXPECT_TRUE(platform::registrySetValue(key, "Dir", platform::kRegistryText, dir, stored));
    EXPECT_TRUE(platform::registrySetValue(key, "InstType", platform::kRegistryDword, &type, 4));
    platform::registryCloseKey(key);

    // The key is where any other program looks: HKLM, stored type intact.
    HKEY direct = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &direct));
    DWORD storedType = 0, storedSize = 0;
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryValueExA(direct, "Dir", nullptr, &storedType, nullptr, &storedSize));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), storedType);
    EXPECT_EQ(stored, storedSize);
    RegCloseKey(direct);

    // Creating an existing key opens it.
    ASSERT_TRUE(platform::registryCreateKey(kKey, key));
    platform::registryCloseKey(key);
    ASSERT_TRUE(platform::registryOpenKey(kKey, key));
    char text[260];
    uint32_t size = sizeof text;
    EXPECT_TRUE(platform::registryQueryValue(key, "Dir", text, size));
    EXPECT_STREQ(dir, text);
    EXPECT_EQ(stored, size);
    uint32_t number = 0;
    size = 4;
    EXPECT_TRUE(platform::registryQueryValue(key, "InstType", &number, size));
    EXPECT_EQ(3u, number);
    EXPECT_EQ(4u, size);
    // A value that does not fit, or is not there, fails and keeps the size.
    char small[4] = "abc";
    size = sizeof small;
    EXPECT_FALSE(platform::registryQueryValue(key, "Dir", small, size));
    EXPECT_EQ(sizeof small, size);
    EXPECT_FALSE(platform::registryQueryValue(key, "Missing", small, size));
    platform::registryCloseKey(key);
    platform::registryCloseKey(nullptr);

    EXPECT_TRUE(platform::registryDeleteKey(kKey));
    key = reinterpret_cast<platform::RegistryKey>(1);
    EXPECT_FALSE(platform::registryOpenKey(kKey, key));
    EXPECT_EQ(nullptr, key);
    EXPECT_FALSE(platform::registryDeleteKey(kKey));
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\PlatformTests");
}
