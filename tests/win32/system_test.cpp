// The registry against the real system. (Drives and their labels, the copy
// thread, the clock, dialog controls, the progress bar and the message pump
// are the setup story's: it finds the game's disc by its label, and reads
// its window's texts and bar while its copy runs.)
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "platform/platform.h"

// A text keeps its stored size; creating an existing key opens it; a value
// that does not fit, or is not there, fails and keeps the size. (The
// programs' record, written and read back, is checked end to end.)
TEST(Registry, TextsKeepTheirSizeAndMisfitsFail) {
    const char kKey[] = "SOFTWARE\\PlatformTests\\Record";
    platform::RegistryKey key = nullptr;
    ASSERT_TRUE(platform::registryCreateKey(kKey, key));
    char dir[260] = "C:\\Games\\Vello";
    const uint32_t stored = static_cast<uint32_t>(std::strlen(dir)) + 2;
    EXPECT_TRUE(platform::registrySetValue(key, "Dir", platform::kRegistryText, dir, stored));
    platform::registryCloseKey(key);
    ASSERT_TRUE(platform::registryCreateKey(kKey, key));
    char text[260];
    uint32_t size = sizeof text;
    EXPECT_TRUE(platform::registryQueryValue(key, "Dir", text, size));
    EXPECT_STREQ(dir, text);
    EXPECT_EQ(stored, size);
    char small[4] = "abc";
    size = sizeof small;
    EXPECT_FALSE(platform::registryQueryValue(key, "Dir", small, size));
    EXPECT_FALSE(platform::registryQueryValue(key, "Missing", small, size));
    EXPECT_EQ(sizeof small, size);
    platform::registryCloseKey(key);

    EXPECT_TRUE(platform::registryDeleteKey(kKey));
    EXPECT_FALSE(platform::registryOpenKey(kKey, key));
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\PlatformTests");
}
