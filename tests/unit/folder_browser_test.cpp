#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "engine/setup_engine.h"
#include "shell/folder_browser.h"
#include "tests/fake/fake_platform.h"

namespace {

const std::string initial = "c:\\Program Files";
const char* const kCancel = nullptr;

class Browser : public ::testing::Test {
protected:
    void SetUp() override {
        fake::reset();
        browser.attach(nullptr, owner);
    }

    int ownerWindow = 0;
    platform::WindowHandle owner = &ownerWindow;
    FolderBrowser browser;
};

TEST_F(Browser, OnlyAWholeChosenPathReachesTheBuffer) {
    struct Case {
        int mode;
        bool appendBackslash;
        const char* chosen;  // kCancel, or "" for a virtual folder
        size_t capacity;
        unsigned flags;
        const char* result;  // null: false, buffer untouched
    } cases[] = {
        {0, false, "D:\\Games", 260, 0x20, "D:\\Games"},
        {1, true, "D:\\Games", 260, 0x30, "D:\\Games\\"},
        {2, true, "D:\\", 260, 0x34, "D:\\"},
        {9, false, "D:\\", 260, 0, "D:\\"},
        {0, false, kCancel, 260, 0x20, nullptr},
        {0, true, "", 260, 0x20, nullptr},
        {0, false, "D:\\Games", 9, 0x20, "D:\\Games"},
        {0, false, "D:\\Games", 8, 0x20, nullptr},
        {0, true, "D:\\Games", 9, 0x20, nullptr},
    };
    for (const Case& c : cases) {
        fake::reset();
        if (c.chosen != kCancel) fake::chooseInBrowser(c.chosen);
        char buffer[260];
        std::strcpy(buffer, initial.c_str());
        const std::string what = std::string(c.chosen ? c.chosen : "cancel") + " in " +
                                 std::to_string(c.capacity);
        EXPECT_EQ(browser.browse(buffer, c.capacity, c.mode, c.appendBackslash),
                  c.result != nullptr) << what;
        EXPECT_STREQ(buffer, c.result ? c.result : initial.c_str()) << what;
        auto requests = fake::browseRequests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].owner, owner);
        EXPECT_EQ(requests[0].title, "フォルダを選択してください");
        EXPECT_EQ(requests[0].flags, c.flags) << "mode " << c.mode;
        EXPECT_EQ(requests[0].preselected, initial) << what;
    }
}

TEST_F(Browser, AMissingAllocatorAndInvalidNamesAreExplained) {
    fake::chooseInBrowser("D:\\Games");
    fake::failCall(fake::Call::FreeShellItem);
    char buffer[260] = "c:\\Program Files";
    EXPECT_FALSE(browser.browse(buffer, sizeof buffer, 0, false));
    EXPECT_STREQ(buffer, "c:\\Program Files");

    int dialogWindow = 0;
    EXPECT_EQ(FolderBrowser::browseCallback(&dialogWindow, 3, 0, 0), 1);
    EXPECT_EQ(FolderBrowser::browseCallback(&dialogWindow, 2, 0, 0), 0);
    auto shown = fake::shownMessages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].owner, owner);
    EXPECT_EQ(shown[0].text, "SHGetMalloc Error");
    EXPECT_EQ(shown[0].caption, "Error");
    EXPECT_EQ(shown[1].owner, &dialogWindow);
    EXPECT_EQ(shown[1].text, "不正なフォルダです");
    EXPECT_EQ(shown[1].flags, 0u);
}

TEST_F(Browser, TheInstallBaseKeepsADriveRootAsTheDriveAlone) {
    auto engine = std::make_unique<SetupEngine>();
    for (const char* chosen : {"D:\\", "D:\\Games"}) {
        fake::chooseInBrowser(chosen);
        chooseInstallBase(browser, *engine);
        EXPECT_STREQ(engine->installBase, chosen[3] ? chosen : "D:");
    }
    chooseInstallBase(browser, *engine);  // cancelled
    EXPECT_STREQ(engine->installBase, "D:\\Games");
    EXPECT_EQ(fake::browseRequests().back().flags, 0x20u);
}

}  // namespace
