// Drive kinds, labels and free space against the drives that the test script
// maps into the Wine prefix (TEST_CDROM_DRIVE with TEST_CDROM_LABEL,
// TEST_FIXED_DRIVE, as "r:"); cases whose drive is not set are skipped.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
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

TEST(Drives, CdromDriveReportsItsKindAndLabel) {
    std::string root = rootFromEnvironment("TEST_CDROM_DRIVE");
    const char* label = std::getenv("TEST_CDROM_LABEL");
    if (root.empty() || label == nullptr) GTEST_SKIP() << "TEST_CDROM_DRIVE not set";
    EXPECT_EQ(static_cast<unsigned>(DRIVE_CDROM), platform::driveType(root.c_str()));
    char read[260] = "old";
    EXPECT_TRUE(platform::volumeLabel(root.c_str(), read, sizeof read));
    EXPECT_STREQ(label, read);
    // The caller's buffer bounds the copy.
    char small[4];
    EXPECT_TRUE(platform::volumeLabel(root.c_str(), small, sizeof small));
    EXPECT_EQ(std::string(label).substr(0, 3), small);
}

TEST(Drives, FixedDrivesReportFreeSpaceAndMissingOnesNothing) {
    uint64_t freeBytes = 0;
    EXPECT_TRUE(platform::diskFreeBytes("c:\\windows", freeBytes));
    EXPECT_GT(freeBytes, 0u);
    std::string root = rootFromEnvironment("TEST_FIXED_DRIVE");
    if (!root.empty()) {
        EXPECT_EQ(static_cast<unsigned>(DRIVE_FIXED), platform::driveType(root.c_str()));
        freeBytes = 0;
        EXPECT_TRUE(platform::diskFreeBytes(root.c_str(), freeBytes));
        EXPECT_GT(freeBytes, 0u);
    }
    // A letter that no drive uses.
    const DWORD used = GetLogicalDrives();
    char letter = 'z';
    while (letter > 'd' && (used & (1u << (letter - 'a')))) --letter;
    root = std::string(1, letter) + ":\\";
    ASSERT_FALSE(used & (1u << (letter - 'a')));
    EXPECT_EQ(static_cast<unsigned>(DRIVE_NO_ROOT_DIR), platform::driveType(root.c_str()));
    char label[260] = "untouched";
    EXPECT_FALSE(platform::volumeLabel(root.c_str(), label, sizeof label));
    EXPECT_STREQ("untouched", label);
    freeBytes = 42;
    EXPECT_FALSE(platform::diskFreeBytes((root + "Games").c_str(), freeBytes));
    EXPECT_EQ(42u, freeBytes);
}
