// Threads, the clock, the message queue and dialog controls against the real
// system.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "platform/platform.h"

namespace {

std::atomic<unsigned long> threadRan{0};
int appMessages = 0;

LRESULT CALLBACK countingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) ++appMessages;
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

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
    EXPECT_EQ(3, platform::sendControlMessage(window, kEditId, WM_GETTEXTLENGTH, 0, 0));
    platform::enableControl(window, kEditId, false);
    EXPECT_FALSE(IsWindowEnabled(edit));
    platform::enableControl(window, kEditId, true);
    EXPECT_TRUE(IsWindowEnabled(edit));
    // Missing windows and controls are ignored.
    platform::setControlText(window, kEditId + 1, "x");
    platform::setControlText(nullptr, kEditId, "x");
    platform::enableControl(nullptr, kEditId, false);
    EXPECT_EQ(0, platform::sendControlMessage(window, kEditId + 1, WM_GETTEXTLENGTH, 0, 0));
    EXPECT_EQ(0, platform::sendControlMessage(nullptr, kEditId, WM_GETTEXTLENGTH, 0, 0));
    GetWindowTextA(edit, text, sizeof text);
    EXPECT_STREQ("abc", text);
    EXPECT_TRUE(IsWindowEnabled(edit));
    DestroyWindow(window);
}
