// Threads, the clock, the message queue and dialog controls against the real
// system.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "platform/platform.h"

namespace {

struct ThreadRecord {
    std::atomic<int> runs{0};
    std::atomic<unsigned long> id{0};
};

void recordThread(void* argument) {
    ThreadRecord* record = static_cast<ThreadRecord*>(argument);
    record->id = GetCurrentThreadId();
    ++record->runs;
}

int appMessages = 0;

LRESULT CALLBACK countingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) ++appMessages;
    return DefWindowProcA(window, message, wParam, lParam);
}

const int kEditId = 100;

// A hidden top-level window with one edit control, standing in for a dialog.
class ControlWindow : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = countingProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "PlatformTestWindow";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "PlatformTestWindow", "test", WS_OVERLAPPEDWINDOW,
                                 0, 0, 200, 100, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, window);
        edit = CreateWindowExA(0, "EDIT", "", WS_CHILD, 0, 0, 100, 20, window,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId)),
                               GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, edit);
    }
    void TearDown() override {
        if (window != nullptr) DestroyWindow(window);
    }
    HWND window = nullptr;
    HWND edit = nullptr;
};

}  // namespace

TEST(Threads, StartedThreadRunsItsProcedureAndCanBeWaitedFor) {
    ThreadRecord record;
    uint32_t id = 0;
    platform::ThreadHandle handle = nullptr;
    ASSERT_TRUE(platform::startThread(recordThread, &record, id, handle));
    ASSERT_NE(nullptr, handle);
    platform::waitThread(handle);
    EXPECT_EQ(1, record.runs.load());
    EXPECT_NE(0u, id);
    EXPECT_EQ(id, record.id.load());
    EXPECT_NE(static_cast<unsigned long>(GetCurrentThreadId()), record.id.load());
    platform::closeThread(handle);
}

TEST(Clock, MillisecondsAdvanceWithRealTime) {
    uint32_t start = platform::milliseconds();
    Sleep(100);
    platform::yieldThread();
    uint32_t elapsed = platform::milliseconds() - start;
    EXPECT_GE(elapsed, 80u);
    EXPECT_LT(elapsed, 5000u);
}

TEST_F(ControlWindow, PumpDispatchesOneQueuedMessageAtATime) {
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
}

TEST_F(ControlWindow, ControlsAreReachedByIdAndMissingOnesIgnored) {
    platform::setControlText(window, kEditId, "abc");
    char text[16] = {};
    GetWindowTextA(edit, text, sizeof text);
    EXPECT_STREQ("abc", text);
    EXPECT_EQ(3, platform::sendControlMessage(window, kEditId, WM_GETTEXTLENGTH, 0, 0));

    platform::enableControl(window, kEditId, false);
    EXPECT_FALSE(IsWindowEnabled(edit));
    platform::enableControl(window, kEditId, true);
    EXPECT_TRUE(IsWindowEnabled(edit));

    platform::setControlText(window, kEditId + 1, "x");
    platform::setControlText(nullptr, kEditId, "x");
    platform::enableControl(nullptr, kEditId, false);
    EXPECT_EQ(0, platform::sendControlMessage(window, kEditId + 1, WM_GETTEXTLENGTH, 0, 0));
    EXPECT_EQ(0, platform::sendControlMessage(nullptr, kEditId, WM_GETTEXTLENGTH, 0, 0));
    GetWindowTextA(edit, text, sizeof text);
    EXPECT_STREQ("abc", text);
    EXPECT_TRUE(IsWindowEnabled(edit));
}
