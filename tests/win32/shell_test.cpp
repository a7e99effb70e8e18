// Shell links against the system's shell. (The common Programs folder that
// holds the group, and the shell's open of the documents and the game, long
// paths and refusals, are the setup story's.)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "tests/support/scratch_folder.h"

// A link saved, and saved again over its file, gives back its working
// directory. One longer than the caller's buffer, or a link that cannot be
// loaded, leaves the buffer alone; a link path longer than 260 wide
// characters is refused. (The targets and show commands of the links that
// setup makes are checked end to end.)
TEST(ShellLinks, SavedLinksGiveBackTheirWorkingDirectory) {
    ScratchFolder folder;
    const std::string link = folder.pathOf("Game.lnk"), missing = folder.pathOf("missing.lnk");
    for (const std::string& workingDirectory : {folder.path(), std::string("C:\\Other")}) {
        ASSERT_TRUE(
            platform::saveShellLink(link.c_str(), "C:\\game.exe", workingDirectory.c_str()));
        char directory[1024] = "old";
        EXPECT_TRUE(platform::loadShellLinkWorkingDirectory(link.c_str(), directory,
                                                            sizeof directory));
        EXPECT_EQ(workingDirectory, directory);
    }
    char small[8] = "kept";
    EXPECT_FALSE(platform::loadShellLinkWorkingDirectory(link.c_str(), small, sizeof small));
    EXPECT_FALSE(platform::loadShellLinkWorkingDirectory(missing.c_str(), small, sizeof small));
    EXPECT_STREQ("kept", small);
    std::string longLink = folder.pathOf(std::string(280, 'a') + ".lnk");
    EXPECT_FALSE(platform::saveShellLink(longLink.c_str(), "C:\\game.exe", "C:\\"));
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
