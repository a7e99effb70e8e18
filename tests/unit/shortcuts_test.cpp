#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "engine/product_config.h"
#include "engine/setup_engine.h"
#include "shell/shortcuts.h"
#include "tests/fake/fake_platform.h"

namespace {

const std::string programs = "c:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
const std::string group = programs + "\\Torvane\\Vellomira";
const std::string uninstallLink = group + "\\アンインストール.lnk";

class Shortcuts : public ::testing::Test {
protected:
    void SetUp() override {
        fake::reset();
        const char* const installList[] = {
            "Vellomira.exe", "1", "2", "3", "4", "5", "6", "7", "8", "9",
            "readme.txt",    "uninst.exe", nullptr};
        engine->installFiles = SetupEngine::replaceFileList(nullptr, installList);
        std::strcpy(engine->makerName, "Torvane");
        std::strcpy(engine->productName, "Vellomira");
        std::strcpy(engine->installDir, "c:\\Program Files\\Torvane\\Vellomira");
    }

    static fake::ShellLink link(const std::string& path) {
        fake::ShellLink read;
        EXPECT_TRUE(fake::readShellLink(path, read)) << path;
        return read;
    }

    std::unique_ptr<SetupEngine> engine = std::make_unique<SetupEngine>();
};

TEST_F(Shortcuts, TheGroupHoldsThreeLinksIntoTheInstallFolder) {
    ASSERT_TRUE(engine->createShortcutGroup(1));
    EXPECT_EQ(std::string(engine->shellFolder), programs);
    const std::string folder = "c:\\Program Files\\Torvane\\Vellomira";
    fake::ShellLink game = link(group + "\\Vellomira.lnk");
    EXPECT_EQ(game.target, folder + "\\Vellomira.exe");
    EXPECT_EQ(game.workingDirectory, folder);
    EXPECT_EQ(link(group + "\\README.lnk").target, folder + "\\readme.txt");
    fake::ShellLink uninstall = link(uninstallLink);
    EXPECT_EQ(uninstall.target, folder + "\\uninst.exe");
    EXPECT_EQ(uninstall.workingDirectory, folder);

    // Made again over an existing group.
    EXPECT_TRUE(engine->createShortcutGroup(1));

    // Kind 0 is the Start menu itself; its working directory reads back.
    ASSERT_TRUE(engine->createShortcutGroup(0));
    EXPECT_TRUE(fake::exists(
        "c:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Torvane\\Vellomira\\README.lnk"));
    char output[kTextCapacity] = "";
    ASSERT_TRUE(engine->readShortcutWorkingDirectory(0, "Torvane\\Vellomira\\README.lnk", output,
                                                     sizeof output));
    EXPECT_EQ(std::string(output), folder);
}

TEST_F(Shortcuts, UnknownKindsAndFailuresStopTheGroup) {
    std::strcpy(engine->shellFolder, "stale");
    EXPECT_FALSE(engine->createShortcutGroup(2));
    EXPECT_STREQ(engine->shellFolder, "");
    EXPECT_FALSE(fake::exists(programs + "\\Torvane"));
    EXPECT_EQ(fake::callCount(fake::Call::MakeDirectory), 0);

    fake::failCallFor(fake::Call::SaveShellLink, group + "\\README.lnk");
    EXPECT_FALSE(engine->createShortcutGroup(1));
    EXPECT_TRUE(fake::exists(group + "\\Vellomira.lnk"));
    EXPECT_FALSE(fake::exists(uninstallLink));
    EXPECT_EQ(fake::callCount(fake::Call::SaveShellLink), 2);

    // A failed special-folder lookup makes nothing, not even below the root.
    fake::reset();
    fake::failCall(fake::Call::SpecialFolderPath);
    EXPECT_FALSE(engine->createShortcutGroup(1));
    EXPECT_FALSE(fake::exists("c:\\Torvane"));
    fake::failCall(fake::Call::SpecialFolderPath);
    char output[16] = "kept";
    EXPECT_FALSE(engine->readShortcutWorkingDirectory(1, "Torvane\\Vellomira\\README.lnk",
                                                      output, sizeof output));
    EXPECT_FALSE(engine->readShortcutWorkingDirectory(7, "x.lnk", output, sizeof output));
    EXPECT_STREQ(output, "kept");
}

TEST_F(Shortcuts, PathsThatDoNotFitAreRefused) {
    std::string longFolder = "c:\\" + std::string(250, 'i');
    std::strcpy(engine->installDir, longFolder.c_str());
    EXPECT_FALSE(engine->createShortcutGroup(1));
    EXPECT_EQ(fake::callCount(fake::Call::SaveShellLink), 0);

    EXPECT_FALSE(engine->createShortcut(("c:\\" + std::string(254, 'l')).c_str(), "c:\\x",
                                        "a.exe", "Name"));
    char output[16] = "kept";
    EXPECT_FALSE(engine->readLinkWorkingDirectory(("c:\\" + std::string(300, 'r')).c_str(),
                                                  output, sizeof output));
    EXPECT_STREQ(output, "kept");
    EXPECT_EQ(fake::callCount(fake::Call::LoadShellLinkWorkingDirectory), 0);

    char small[8] = "kept";
    EXPECT_FALSE(getSpecialFolderPath(kCsidlCommonPrograms, small, sizeof small));
    EXPECT_STREQ(small, "");
    char whole[kPathCapacity];
    EXPECT_TRUE(getSpecialFolderPath(kCsidlCommonPrograms, whole, sizeof whole));
    EXPECT_EQ(std::string(whole), programs);
}

TEST_F(Shortcuts, ReadingALinkLeavesTheOutputAloneWhenItCannotLoad) {
    char output[32] = "kept";
    EXPECT_FALSE(engine->readLinkWorkingDirectory("c:\\missing.lnk", output, sizeof output));
    EXPECT_STREQ(output, "kept");

    fake::makeFolder("c:\\links");
    ASSERT_TRUE(engine->createShortcut("c:\\links", "", "a.exe", "plain"));
    EXPECT_TRUE(engine->readLinkWorkingDirectory("c:\\links\\plain.lnk", output, sizeof output));
    EXPECT_STREQ(output, "");
}

TEST_F(Shortcuts, RemovingTheGroupKeepsAMakerFolderThatHoldsAnotherProduct) {
    engine->removeShortcutGroup();  // no group: nothing happens
    EXPECT_FALSE(fake::exists(programs + "\\Torvane"));

    ASSERT_TRUE(engine->createShortcutGroup(1));
    fake::writeFile(programs + "\\Torvane\\Other\\Other.lnk", "x\ny");
    engine->removeShortcutGroup();
    EXPECT_FALSE(fake::exists(group));
    EXPECT_TRUE(fake::exists(programs + "\\Torvane\\Other\\Other.lnk"));

    // A group made under the Start menu itself is not looked for there.
    ASSERT_TRUE(engine->createShortcutGroup(0));
    engine->removeShortcutGroup();
    EXPECT_EQ(std::string(engine->shellFolder), programs);
    EXPECT_TRUE(fake::exists(
        "c:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Torvane\\Vellomira\\Vellomira.lnk"));
}

TEST_F(Shortcuts, RemovingTheOnlyGroupRemovesTheMakerFolder) {
    ASSERT_TRUE(engine->createShortcutGroup(1));
    engine->removeShortcutGroup();
    EXPECT_FALSE(fake::exists(programs + "\\Torvane"));
    EXPECT_TRUE(fake::exists(programs));
}

}  // namespace
