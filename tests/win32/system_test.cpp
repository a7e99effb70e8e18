// Drives, the registry, threads and the clock against the real system
// (dialog controls, the progress bar and the message pump are the setup
// story's, which reads its window's texts and bar while its copy runs). The drives are those that the test
// script maps into the Wine prefix (TEST_CDROM_DRIVE with TEST_CDROM_LABEL,
// TEST_FIXED_DRIVE, as "r:"); drives that are not set are left out.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace {

// "r:" from the environment as the root "r:\", or empty when unset.
std::string rootFromEnvironment(const char* variable) {
    const char* drive = std::getenv(variable);
    if (drive == nullptr || drive[0] == '\0') return "";
    return std::string(drive, 2) + "\\";
}

}  // namespace

// Each drive's kind; the disc's label; free space of a fixed disk. A letter
// that no drive uses has none of them.
TEST(Drives, KindsLabelsAndFreeSpace) {
    const DWORD used = GetLogicalDrives();
    char letter = 'z';
    while (letter > 'd' && (used & (1u << (letter - 'a')))) --letter;
    ASSERT_FALSE(used & (1u << (letter - 'a')));
    const std::string cdrom = rootFromEnvironment("TEST_CDROM_DRIVE");
    const std::string unused = std::string(1, letter) + ":\\";
    const std::pair<std::string, unsigned> kinds[] = {
        {cdrom, DRIVE_CDROM},
        {rootFromEnvironment("TEST_FIXED_DRIVE"), DRIVE_FIXED},
        {unused, DRIVE_NO_ROOT_DIR},
    };
    for (const auto& [root, kind] : kinds)
        EXPECT_TRUE(root.empty() || platform::driveType(root.c_str()) == kind) << root;
    char label[260] = "untouched";
    EXPECT_FALSE(platform::volumeLabel(unused.c_str(), label, sizeof label));
    EXPECT_STREQ("untouched", label);
    const char* cdromLabel = std::getenv("TEST_CDROM_LABEL");
    if (!cdrom.empty() && cdromLabel != nullptr) {
        EXPECT_TRUE(platform::volumeLabel(cdrom.c_str(), label, sizeof label));
        EXPECT_STREQ(cdromLabel, label);
    }
    uint64_t freeBytes = 0;
    EXPECT_TRUE(platform::diskFreeBytes("c:\\windows", freeBytes));
    EXPECT_GT(freeBytes, 0u);
    EXPECT_FALSE(platform::diskFreeBytes((unused + "Games").c_str(), freeBytes));
}

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

TEST(Threads, AThreadRunsItsProcedureAndTheClockFollowsRealTime) {
    static std::atomic<unsigned long> ranOn{0};
    uint32_t id = 0;
    platform::ThreadHandle handle = nullptr;
    const uint32_t start = platform::milliseconds();
    ASSERT_TRUE(platform::startThread([](void*) { ranOn = GetCurrentThreadId(); }, nullptr, id,
                                      handle));
    platform::waitThread(handle);
    platform::closeThread(handle);
    EXPECT_NE(0u, id);
    EXPECT_EQ(id, ranOn.load());
    EXPECT_NE(static_cast<unsigned long>(GetCurrentThreadId()), ranOn.load());

    Sleep(100);
    const uint32_t elapsed = platform::milliseconds() - start;
    EXPECT_GE(elapsed, 80u);
    EXPECT_LT(elapsed, 5000u);
}
