#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "engine/setup_engine.h"
#include "shell/shortcuts.h"
#include "tests/fake/fake_platform.h"

namespace {

const std::string programs = "c:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
const std::string group = programs + "\\Torvane\\Vellomira";
const std::string folder = "c:\\Program Files\\Torvane\\Vellomira";

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
        std::strcpy(engine->installDir, folder.c_str());
    }

    std::unique_ptr<SetupEngine> engine = std::make_unique<SetupEngine>();
};

// Unknown folder kinds, failed lookups and saves, and paths that would not
// fit stop the group (leaving the links made before) and leave the
// caller's buffers alone.
TEST_F(Shortcuts, FailuresAndPathsThatDoNotFitStopTheGroup) {
    std::strcpy(engine->shellFolder, "stale");
    EXPECT_FALSE(engine->createShortcutGroup(2));
    EXPECT_STREQ(engine->shellFolder, "");
    EXPECT_FALSE(fake::exists(programs + "\\Torvane"));

    fake::failCallFor(fake::Call::SaveShellLink, group + "\\README.lnk");
    EXPECT_FALSE(engine->createShortcutGroup(1));
    EXPECT_TRUE(fake::exists(group + "\\Vellomira.lnk"));
    EXPECT_EQ(fake::callCount(fake::Call::SaveShellLink), 2);

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

    std::strcpy(engine->installDir, ("c:\\" + std::string(250, 'i')).c_str());
    EXPECT_FALSE(engine->createShortcutGroup(1));
    EXPECT_FALSE(engine->createShortcut(("c:\\" + std::string(254, 'l')).c_str(), "c:\\x",
                                        "a.exe", "Name"));
    EXPECT_EQ(fake::callCount(fake::Call::SaveShellLink), 0);

    // A special folder that does not fit is emptied, not cut.
    char small[8] = "kept";
    EXPECT_FALSE(getSpecialFolderPath(kCsidlCommonPrograms, small, sizeof small));
    EXPECT_STREQ(small, "");
}

// The group as made (the fake keeps a link as a file holding "target\n
// working directory") goes again; only empty folders go, so a maker folder
// that holds another product's group stays.
TEST_F(Shortcuts, TheGroupGoesAgainButNotAnotherProducts) {
    engine->removeShortcutGroup();  // no group: nothing happens
    ASSERT_TRUE(engine->createShortcutGroup(1));
    EXPECT_EQ(fake::readFile(group + "\\README.lnk"), folder + "\\readme.txt\n" + folder);
    engine->removeShortcutGroup();
    EXPECT_FALSE(fake::exists(programs + "\\Torvane"));
    EXPECT_TRUE(fake::exists(programs));

    ASSERT_TRUE(engine->createShortcutGroup(1));
    fake::writeFile(programs + "\\Torvane\\Other\\Other.lnk", "x\ny");
    engine->removeShortcutGroup();
    EXPECT_FALSE(fake::exists(group));
    EXPECT_TRUE(fake::exists(programs + "\\Torvane\\Other\\Other.lnk"));
}

}  // namespace
