#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "engine/setup_engine.h"
#include "tests/fake/fake_platform.h"

namespace {

const std::string gameFolder = "c:\\Program Files\\Torvane\\Vellomira";

class ShellOpen : public ::testing::Test {
protected:
    void SetUp() override {
        fake::reset();
        const char* const installList[] = {"Vellomira.exe", "grd.pac", nullptr};
        engine->installFiles = SetupEngine::replaceFileList(nullptr, installList);
        std::strcpy(engine->installDir, gameFolder.c_str());
        std::strcpy(engine->sourceDir, "d:\\Vellomira");
        fake::makeFolder(gameFolder);
    }

    // The one path the shell was asked to open, or "" when it was asked none.
    static std::string openedPath() {
        auto opens = fake::shellOpens();
        EXPECT_LE(opens.size(), 1u);
        return opens.empty() ? "" : opens[0].path;
    }

    std::unique_ptr<SetupEngine> engine = std::make_unique<SetupEngine>();
};

TEST_F(ShellOpen, DocumentsOpenFromTheirFolderOrNotAtAll) {
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
// asked for, is no start.
TEST_F(ShellOpen, TheGameStartsInItsFolderAndARefusalIsNoStart) {
    ASSERT_TRUE(engine->startGame());
    fake::failCall(fake::Call::ShellOpenFile);
    EXPECT_FALSE(engine->startGame());
    fake::failCall(fake::Call::StartCom);
    EXPECT_FALSE(engine->startGame());
    auto opens = fake::shellOpens();
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[0].path, gameFolder + "\\Vellomira.exe");
    EXPECT_EQ(opens[0].parameters, "");
    EXPECT_EQ(opens[0].currentDirectory, gameFolder);
    EXPECT_EQ(fake::openComSessions(), 0);
}

}  // namespace
