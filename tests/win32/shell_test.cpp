// Special folders, shell links and the shell's open against the system's shell.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "tests/support/scratch_folder.h"

TEST(SpecialFolders, CommonProgramsFolderAndRefusals) {
    char path[260];
    ASSERT_TRUE(platform::specialFolderPath(23, path, sizeof path));  // common Programs
    EXPECT_EQ(0, _stricmp("C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs", path));

    // A path that does not fit is not cut, and an unknown folder has none:
    // either way the buffer is left empty.
    char small[10] = "xxxxxxxxx";
    EXPECT_FALSE(platform::specialFolderPath(23, small, sizeof small));
    EXPECT_STREQ("", small);
    EXPECT_FALSE(platform::specialFolderPath(0x7F, path, sizeof path));
    EXPECT_STREQ("", path);
}

TEST(ShellLinks, SavedLinksCarryTargetWorkingDirectoryAndShowCommand) {
    ScratchFolder folder;
    const std::string target = folder.pathOf("uninst.exe");
    ASSERT_TRUE(writeWholeFile(target, "MZ"));
    char directory[1024];
    for (const std::string name : {"Game.lnk", "アンインストール.lnk"}) {
        const std::string link = folder.pathOf(name);
        ASSERT_TRUE(platform::saveShellLink(link.c_str(), target.c_str(), folder.path().c_str()))
            << name;
        const ShortcutFile saved = readShortcut(link);
        EXPECT_EQ(0, _stricmp(target.c_str(), saved.target.c_str())) << saved.target;
        EXPECT_EQ(SW_SHOW, saved.showCommand);
        std::strcpy(directory, "old");
        EXPECT_TRUE(platform::loadShellLinkWorkingDirectory(link.c_str(), directory,
                                                            sizeof directory));
        EXPECT_EQ(folder.path(), directory);
    }
    // Saving again over the existing file succeeds.
    const std::string link = folder.pathOf("Game.lnk");
    EXPECT_TRUE(platform::saveShellLink(link.c_str(), target.c_str(), "C:\\Other"));
    EXPECT_TRUE(platform::loadShellLinkWorkingDirectory(link.c_str(), directory, sizeof directory));
    EXPECT_STREQ("C:\\Other", directory);

    // A working directory longer than the caller's buffer is refused, not
    // cut, and a link that cannot load leaves the buffer alone too.
    char small[8] = "kept";
    EXPECT_FALSE(platform::loadShellLinkWorkingDirectory(link.c_str(), small, sizeof small));
    EXPECT_FALSE(platform::loadShellLinkWorkingDirectory(folder.pathOf("missing.lnk").c_str(),
                                                         small, sizeof small));
    EXPECT_STREQ("kept", small);
    // A link path longer than the 260 wide characters is refused, not cut.
    std::string longLink = folder.pathOf(std::string(280, 'a') + ".lnk");
    EXPECT_FALSE(platform::saveShellLink(longLink.c_str(), "C:\\game.exe", "C:\\"));
    EXPECT_FALSE(platform::loadShellLinkWorkingDirectory(longLink.c_str(), directory,
                                                         sizeof directory));
}

TEST(ShellLinks, CallerThreadKeepsItsOwnComApartment) {
    ScratchFolder folder;
    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    // The link object's own CoInitialize fails on this thread; whatever the
    // outcome, the caller's COM initialization must survive.
    platform::saveShellLink(folder.pathOf("Mta.lnk").c_str(), "C:\\game.exe", "C:\\");
    EXPECT_EQ(S_FALSE, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    CoUninitialize();
    CoUninitialize();
}

TEST(ShellOpen, LongPathNamesAndRefusedOpens) {
    ScratchFolder folder;
    const std::string file = folder.pathOf("a rather long name.txt");
    ASSERT_TRUE(writeWholeFile(file, "text"));
    char shortPath[MAX_PATH] = {};
    ASSERT_NE(0u, GetShortPathNameA(file.c_str(), shortPath, MAX_PATH));
    ASSERT_NE(file, shortPath) << "the system gave no 8.3 form";

    char path[260] = {};
    EXPECT_TRUE(platform::longPathName(shortPath, path, sizeof path));
    EXPECT_EQ(0, _stricmp(file.c_str(), path));
    char small[12];
    EXPECT_FALSE(platform::longPathName(shortPath, small, sizeof small));
    const std::string missing = folder.pathOf("missing.txt");
    EXPECT_FALSE(platform::longPathName(missing.c_str(), path, sizeof path));
    // The shell refuses what it cannot open, and says so.
    EXPECT_FALSE(platform::shellOpenFile(missing.c_str(), ""));
}
