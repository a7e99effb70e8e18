// Drives, the registry, threads, the clock, the message queue and dialog
// controls against the real system. The drives are those that the test
// script maps into the Wine prefix (TEST_CDROM_DRIVE with TEST_CDROM_LABEL,
// TEST_FIXED_DRIVE, as "r:"); cases whose drive is not set are skipped.
#include <windows.h>

#include <commctrl.h>

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

std::atomic<unsigned long> threadRan{0};
int appMessages = 0;

LRESULT CALLBACK countingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) ++appMessages;
    return DefWindowProcA(window, message, wParam, lParam);
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

TEST(Threads, AThreadRunsItsProcedureAndTheClockFollowsRealTime) {
    uint32_t id = 0;
    platform::ThreadHandle handle = nullptr;
    const uint32_t start = platform::milliseconds();
    ASSERT_TRUE(platform::startThread([](void* ran) {
        static_cast<std::atomic<unsigned long>*>(ran)->store(GetCurrentThreadId());
    }, &threadRan, id, handle));
    ASSERT_NE(nullptr, handle);
    platform::waitThread(handle);
    EXPECT_NE(0u, id);
    EXPECT_EQ(id, threadRan.load());
    EXPECT_NE(static_cast<unsigned long>(GetCurrentThreadId()), threadRan.load());
    platform::closeThread(handle);

    Sleep(100);
    platform::yieldThread();
    const uint32_t elapsed = platform::milliseconds() - start;
    EXPECT_GE(elapsed, 80u);
    EXPECT_LT(elapsed, 5000u);
}

// A hidden top-level window with one edit control, standing in for a dialog.
TEST(Controls, ThePumpTakesOneMessageAndControlsAreReachedById) {
    constexpr int kEditId = 100;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = countingProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "PlatformTestWindow";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "PlatformTestWindow", "test", WS_OVERLAPPEDWINDOW, 0, 0,
                                  200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, window);
    HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD, 0, 0, 100, 20, window,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId)),
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, edit);
    while (platform::pumpOneMessage()) {
    }
    appMessages = 0;
    PostMessageA(window, WM_APP, 0, 0);
    PostMessageA(window, WM_APP, 0, 0);
    EXPECT_TRUE(platform::pumpOneMessage());
    EXPECT_EQ(1, appMessages);
    EXPECT_TRUE(platform::pumpOneMessage());
    EXPECT_EQ(2, appMessages);
    EXPECT_FALSE(platform::pumpOneMessage());

    platform::setControlText(window, kEditId, "abc");
    char text[16] = {};
    GetWindowTextA(edit, text, sizeof text);
    EXPECT_STREQ("abc", text);
    platform::enableControl(window, kEditId, false);
    EXPECT_FALSE(IsWindowEnabled(edit));
    platform::enableControl(window, kEditId, true);
    EXPECT_TRUE(IsWindowEnabled(edit));
    // Missing windows and controls are ignored.
    platform::setControlText(window, kEditId + 1, "x");
    platform::setControlText(nullptr, kEditId, "x");
    platform::enableControl(nullptr, kEditId, false);
    platform::stepProgressBar(window, kEditId + 1);
    platform::resetProgressBar(nullptr, kEditId, 10);
    GetWindowTextA(edit, text, sizeof text);
    EXPECT_STREQ("abc", text);
    EXPECT_TRUE(IsWindowEnabled(edit));

    // A progress bar: reset to its range, then stepped one at a time.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD, 0, 30, 100, 20, window,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId + 2)),
                               GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, bar);
    SendMessageA(bar, PBM_SETPOS, 7, 0);
    platform::resetProgressBar(window, kEditId + 2, 1000);
    platform::stepProgressBar(window, kEditId + 2);
    platform::stepProgressBar(window, kEditId + 2);
    EXPECT_EQ(2, SendMessageA(bar, PBM_GETPOS, 0, 0));
    EXPECT_EQ(1000, SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
    DestroyWindow(window);
}
