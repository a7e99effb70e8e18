// Keys and values under HKEY_LOCAL_MACHINE against the real registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "platform/platform.h"

namespace {

const char kParent[] = "SOFTWARE\\PlatformTests";
const char kKey[] = "SOFTWARE\\PlatformTests\\Record";

class Registry : public ::testing::Test {
protected:
    void TearDown() override {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kParent);
    }
};

}  // namespace

TEST_F(Registry, TextAndDwordValuesRoundTripUnderLocalMachine) {
    platform::RegistryKey key = nullptr;
    ASSERT_TRUE(platform::registryCreateKey(kKey, key));
    ASSERT_NE(nullptr, key);
    // A text is stored with its NUL and the byte after it, as the record does.
    char dir[260] = "C:\\Games\\Vello";
    const uint32_t stored = static_cast<uint32_t>(std::strlen(dir)) + 2;
    uint32_t type = 3;
    EXPECT_TRUE(platform::registrySetValue(key, "Dir", platform::kRegistryText, dir,
                                           stored));
    EXPECT_TRUE(platform::registrySetValue(key, "InstType", platform::kRegistryDword,
                                           &type, 4));
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
    platform::registryCloseKey(key);
}

TEST_F(Registry, ValuesThatDoNotFitOrDoNotExistFail) {
    platform::RegistryKey key = nullptr;
    ASSERT_TRUE(platform::registryCreateKey(kKey, key));
    const char dir[] = "C:\\Games\\Vello";
    ASSERT_TRUE(platform::registrySetValue(key, "Dir", platform::kRegistryText, dir,
                                           sizeof dir));
    char small[4] = {'a', 'b', 'c', '\0'};
    uint32_t size = sizeof small;
    EXPECT_FALSE(platform::registryQueryValue(key, "Dir", small, size));
    EXPECT_EQ(sizeof small, size);
    size = sizeof small;
    EXPECT_FALSE(platform::registryQueryValue(key, "Missing", small, size));
    platform::registryCloseKey(key);
    platform::registryCloseKey(nullptr);
}

TEST_F(Registry, DeletedKeyNoLongerOpens) {
    platform::RegistryKey key = nullptr;
    ASSERT_TRUE(platform::registryCreateKey(kKey, key));
    platform::registryCloseKey(key);
    // Creating an existing key opens it.
    ASSERT_TRUE(platform::registryCreateKey(kKey, key));
    platform::registryCloseKey(key);

    EXPECT_TRUE(platform::registryDeleteKey(kKey));
    key = reinterpret_cast<platform::RegistryKey>(1);
    EXPECT_FALSE(platform::registryOpenKey(kKey, key));
    EXPECT_EQ(nullptr, key);
    EXPECT_FALSE(platform::registryDeleteKey(kKey));
}
