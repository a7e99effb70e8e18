// Special folders and shell link files against the system's shell.
#include <windows.h>

#include <objbase.h>
#include <shlguid.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "tests/support/scratch_folder.h"

namespace {

const int kCommonPrograms = 23;

// The target path stored in a link, read through the shell's own object.
std::string linkTarget(const std::string& linkFile) {
    std::string target;
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, linkFile.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IShellLinkA, reinterpret_cast<void**>(&link)))) {
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile,
                                           reinterpret_cast<void**>(&file)))) {
            char path[MAX_PATH] = {};
            if (SUCCEEDED(file->Load(wide, STGM_READ)) &&
                SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, 0))) {
                target = path;
            }
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return target;
}

// The show command field of the link file's header (offset 0x3C).
unsigned storedShowCommand(const std::string& linkFile) {
    std::string bytes = readWholeFile(linkFile);
    if (bytes.size() < 0x40) return 0;
    unsigned value = 0;
    std::memcpy(&value, bytes.data() + 0x3C, 4);
    return value;
}

}  // namespace

TEST(SpecialFolders, CommonProgramsFolderAndRefusals) {
    char path[260];
    ASSERT_TRUE(platform::specialFolderPath(kCommonPrograms, path, sizeof path));
    EXPECT_EQ(0, _stricmp("C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs", path));

    // A path that does not fit is not cut: the buffer is left empty.
    char small[10];
    std::memset(small, 'x', sizeof small);
    EXPECT_FALSE(platform::specialFolderPath(kCommonPrograms, small, sizeof small));
    EXPECT_STREQ("", small);

    std::strcpy(path, "old");
    EXPECT_FALSE(platform::specialFolderPath(0x7F, path, sizeof path));
    EXPECT_STREQ("", path);
}

TEST(ShellLinks, SavedLinkCarriesTargetWorkingDirectoryAndShowCommand) {
    ScratchFolder folder;
    std::string target = folder.pathOf("game.exe");
    ASSERT_TRUE(writeWholeFile(target, "MZ"));
    std::string link = folder.pathOf("Game.lnk");

    ASSERT_TRUE(platform::saveShellLink(link.c_str(), target.c_str(), folder.path().c_str()));
    char directory[1024] = "old";
    EXPECT_TRUE(platform::loadShellLinkWorkingDirectory(link.c_str(), directory,
                                                        sizeof directory));
    EXPECT_EQ(folder.path(), directory);
    EXPECT_EQ(0, _stricmp(target.c_str(), linkTarget(link).c_str()));
    EXPECT_EQ(static_cast<unsigned>(SW_SHOW), storedShowCommand(link));

    // Saving again over the existing file succeeds.
    EXPECT_TRUE(platform::saveShellLink(link.c_str(), target.c_str(), "C:\\Other"));
    EXPECT_TRUE(platform::loadShellLinkWorkingDirectory(link.c_str(), directory,
                                                        sizeof directory));
    EXPECT_STREQ("C:\\Other", directory);
}

TEST(ShellLinks, JapaneseLinkNameSaves) {
    ScratchFolder folder;
    std::string target = folder.pathOf("uninst.exe");
    ASSERT_TRUE(writeWholeFile(target, "MZ"));
    std::string link = folder.pathOf("アンインストール.lnk");

    ASSERT_TRUE(platform::saveShellLink(link.c_str(), target.c_str(), folder.path().c_str()));
    EXPECT_EQ(platform::Presence::File, platform::findPath(link.c_str()));
    char directory[260] = {};
    EXPECT_TRUE(platform::loadShellLinkWorkingDirectory(link.c_str(), directory,
                                                        sizeof directory));
    EXPECT_EQ(folder.path(), directory);
}

TEST(ShellLinks, FailuresLeaveTheCallersBufferUntouched) {
    ScratchFolder folder;
    char directory[260] = "untouched";
    EXPECT_FALSE(platform::loadShellLinkWorkingDirectory(folder.pathOf("missing.lnk").c_str(),
                                                         directory, sizeof directory));
    EXPECT_STREQ("untouched", directory);

    // A link path longer than the 260 wide characters is refused, not cut.
    std::string longLink = folder.pathOf(std::string(280, 'a') + ".lnk");
    EXPECT_FALSE(platform::saveShellLink(longLink.c_str(), "C:\\game.exe", "C:\\"));
    EXPECT_FALSE(platform::loadShellLinkWorkingDirectory(longLink.c_str(), directory,
                                                         sizeof directory));

    // A working directory longer than the caller's buffer is refused, not cut.
    std::string link = folder.pathOf("Readme.lnk");
    ASSERT_TRUE(platform::saveShellLink(link.c_str(), "C:\\readme.txt", "C:\\Games\\Vello"));
    char small[8] = "small";
    EXPECT_FALSE(platform::loadShellLinkWorkingDirectory(link.c_str(), small, sizeof small));
    EXPECT_STREQ("small", small);
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
