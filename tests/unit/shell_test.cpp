// The shell's part: opening the game and the documents, the Start-menu
// group, and the folder browser.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "engine/setup_engine.h"
#include "shell/folder_browser.h"
#include "shell/shortcuts.h"
#include "tests/fake/fake_platform.h"

namespace {

const std::string gameFolder = "c:\\Program Files\\Torvane\\Vellomira";
const std::string programs = "c:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
const std::string initial = "c:\\Program Files";
const char* const kCancel = nullptr;

// An installed game with its names where the shortcuts look for them.
class Shell : public ::testing::Test {
protected:
    void SetUp() override {
        fake::reset();
        const char* const installList[] = {
            "Vellomira.exe", "1", "2", "3", "4", "5", "6", "7", "8", "9",
            "readme.txt",    "uninst.exe", nullptr};
        engine->installFiles = SetupEngine::replaceFileList(nullptr, installList);
        std::strcpy(engine->makerName, "Torvane");
        std::strcpy(engine->productName, "Vellomira");
        std::strcpy(engine->installDir, gameFolder.c_str());
        std::strcpy(engine->sourceDir, "d:\\Vellomira");
        fake::makeFolder(gameFolder);
        browser.attach(nullptr, owner);
    }

    // The one path the shell was asked to open, or "" when it was asked none.
    static std::string openedPath() {
        auto opens = fake::shellOpens();
        EXPECT_LE(opens.size(), 1u);
        return opens.empty() ? "" : opens[0].path;
    }

    std::unique_ptr<SetupEngine> engine = std::make_unique<SetupEngine>();
    int ownerWindow = 0;
    platform::WindowHandle owner = &ownerWindow;
    FolderBrowser browser;
};

TEST_F(Shell, DocumentsOpenFromTheirFolderOrNotAtAll) {
    const std::string tooLong(250, 'x');
    struct Case {
        int installState;
        std::string sourceDir;
        std::string installDir;
        bool manual;
        std::string opened;  // "" for nothing
    } cases[] = {
        {0, "d:\\Vellomira", gameFolder, false, "d:\\Vellomira\\readme.txt"},
        {1, "d:\\Vellomira", gameFolder, false, gameFolder + "\\readme.txt"},
        {2, "d:\\Vellomira", gameFolder, false, gameFolder + "\\readme.txt"},
        {1, "d:\\Vellomira", "c:\\" + tooLong, false, ""},
        {0, "", gameFolder, false, ""},
        {0, "e:\\Vellomira", gameFolder, true, "e:\\manual\\manual.html"},
        {1, "c:\\Setup\\Vellomira", gameFolder, true, "c:\\Setup\\manual\\manual.html"},
        {0, "Vellomira", gameFolder, true, ""},
        {0, "\\Vellomira", gameFolder, true, ""},
    };
    for (const Case& c : cases) {
        fake::reset();
        engine->installState = c.installState;
        std::strcpy(engine->sourceDir, c.sourceDir.c_str());
        std::strcpy(engine->installDir, c.installDir.c_str());
        if (c.manual) {
            engine->openManual();
        } else {
            EXPECT_EQ(engine->openReadme(), !c.opened.empty()) << c.installDir;
        }
        EXPECT_EQ(openedPath(), c.opened) << c.sourceDir << " " << c.installState;
        EXPECT_EQ(fake::openComSessions(), 0);
    }
}

// The game starts in its folder; a start the shell refused, or could not be
// asked for, or whose path would not fit, is no start.
TEST_F(Shell, TheGameStartsInItsFolderAndARefusalIsNoStart) {
    ASSERT_TRUE(engine->startGame());
    std::strcpy(engine->installDir, ("c:\\" + std::string(250, 'x')).c_str());
    EXPECT_FALSE(engine->startGame());
    std::strcpy(engine->installDir, gameFolder.c_str());
    fake::failCall(fake::Call::ShellOpenFile);
    EXPECT_FALSE(engine->startGame());
    fake::failCall(fake::Call::StartCom);
    EXPECT_FALSE(engine->startGame());
    SetupEngine noList;
    EXPECT_FALSE(noList.startGame());
    auto opens = fake::shellOpens();
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[0].path, gameFolder + "\\Vellomira.exe");
    EXPECT_EQ(opens[0].parameters, "");
    EXPECT_EQ(opens[0].currentDirectory, gameFolder);
    EXPECT_EQ(fake::openComSessions(), 0);
}

// Unknown folder kinds, failed lookups, and paths that would not fit stop
// the group and leave the caller's buffers alone.
TEST_F(Shell, FailuresAndPathsThatDoNotFitStopTheGroup) {
    std::strcpy(engine->shellFolder, "stale");
    EXPECT_FALSE(engine->createShortcutGroup(2));
    EXPECT_STREQ(engine->shellFolder, "");
    EXPECT_EQ(fake::callCount(fake::Call::SpecialFolderPath), 0);
    EXPECT_FALSE(fake::exists(programs + "\\Torvane"));

    fake::reset();
    fake::failCall(fake::Call::SpecialFolderPath, 2);
    EXPECT_FALSE(engine->createShortcutGroup(1));
    EXPECT_FALSE(fake::exists("c:\\Torvane"));
    char output[16] = "kept";
    EXPECT_FALSE(engine->readShortcutWorkingDirectory(1, "Torvane\\Vellomira\\README.lnk",
                                                      output, sizeof output));
    EXPECT_FALSE(engine->readShortcutWorkingDirectory(7, "x.lnk", output, sizeof output));
    EXPECT_FALSE(engine->readLinkWorkingDirectory("c:\\missing.lnk", output, sizeof output));
    EXPECT_FALSE(engine->readLinkWorkingDirectory(("c:\\" + std::string(300, 'r')).c_str(),
                                                  output, sizeof output));
    EXPECT_STREQ(output, "kept");
    EXPECT_EQ(fake::callCount(fake::Call::LoadShellLinkWorkingDirectory), 1);

    EXPECT_FALSE(engine->createShortcut(("c:\\" + std::string(254, 'l')).c_str(), "c:\\x",
                                        "a.exe", "Name"));
    EXPECT_EQ(fake::callCount(fake::Call::SaveShellLink), 0);

    // A list without the uninstaller's entry makes no group.
    std::strcpy(engine->installDir, gameFolder.c_str());
    const char* const shortList[] = {"Vellomira.exe", "1", "2", "3", "4", "5", "6", "7", "8", "9",
                                     "readme.txt", nullptr};
    engine->installFiles = SetupEngine::replaceFileList(engine->installFiles, shortList);
    EXPECT_FALSE(engine->createShortcutGroup(1));

    // A special folder that does not fit is emptied, not cut.
    char small[8] = "kept";
    EXPECT_FALSE(getSpecialFolderPath(kCsidlCommonPrograms, small, sizeof small));
    EXPECT_STREQ(small, "");
}

TEST_F(Shell, OnlyAWholeChosenPathReachesTheBuffer) {
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

TEST_F(Shell, AMissingAllocatorAndInvalidNamesAreExplained) {
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

TEST_F(Shell, TheInstallBaseKeepsADriveRootAsTheDriveAlone) {
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
