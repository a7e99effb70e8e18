// setup.exe handing the game, the readme and the manual to the shell. A
// stand-in program (shell_recorder.exe) takes the game's place and is
// registered as the program that opens .txt and .html files; every start of
// it appends "working directory|arguments" to the file named by
// SHELL_RECORD_FILE, which it inherits through setup.exe and the shell.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/game_files.h"
#include "tests/e2e/program_driver.h"

namespace e2e {
namespace {

const std::string kCaption = "Vellomira Updata";
const char* const kDocumentClass = "VellomiraTest.Recorder";
constexpr int kStartGame = 1001, kClose = 1002, kReadme = 1006, kManual = 1020;

bool sameText(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

bool setDefaultValue(const std::string& key, const std::string& value) {
    return RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, value.c_str(),
                        static_cast<DWORD>(value.size())) == ERROR_SUCCESS;
}

// Makes the recorder the program that opens .txt and .html files in the
// test prefix.
bool registerRecorder(const std::string& recorder) {
    return setDefaultValue(std::string(kDocumentClass) + "\\shell\\open\\command",
                           "\"" + recorder + "\" %1") &&
           setDefaultValue(".txt", kDocumentClass) && setDefaultValue(".html", kDocumentClass);
}

struct Opened {
    std::string directory;
    std::string arguments;
};

class ShellRoad : public ::testing::Test {
protected:
    void SetUp() override {
        const char* drive = std::getenv("TEST_CDROM_DRIVE");
        if (drive == nullptr || *drive == '\0')
            GTEST_SKIP() << "TEST_CDROM_DRIVE (the game's disc) is not set";
        discRoot = std::string(drive, 2);
        ASSERT_TRUE(fileExists(discRoot + "\\manual\\manual.html")) << "the disc has no manual";
        removeRecord();
        ASSERT_TRUE(registerRecorder(recorder)) << "cannot register the recorder for .txt and .html";
        ASSERT_TRUE(SetEnvironmentVariableA("SHELL_RECORD_FILE", recordFile.c_str()));
    }

    void TearDown() override {
        if (program.running()) {
            pressButton(dialog, kClose);
            DWORD code = 0;
            program.waitForExit(kExitTimeoutMs, code);
        }
        SetEnvironmentVariableA("SHELL_RECORD_FILE", nullptr);
        removeRecord();
    }

    void startSetup() {
        ASSERT_TRUE(makeFolder(scratch.pathOf("setup")));
        const std::string exePath = scratch.pathOf("setup\\setup.exe");
        ASSERT_TRUE(CopyFileA(joinPath(builtProgramDir(), "setup.exe").c_str(), exePath.c_str(),
                              FALSE));
        ASSERT_TRUE(program.start(exePath)) << "cannot start " << exePath;
        dialog = waitForWindow(program.processId(), kDialogClass, kCaption);
        ASSERT_NE(dialog, nullptr) << "no setup window appeared";
    }

    // Every start of the recorder so far, waiting until there are `count`.
    std::vector<Opened> waitForOpened(size_t count) {
        std::vector<Opened> opened;
        const DWORD started = GetTickCount();
        do {
            opened.clear();
            std::istringstream lines(fileExists(recordFile) ? readWholeFile(recordFile) : "");
            std::string line;
            while (std::getline(lines, line)) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                const size_t bar = line.find('|');
                opened.push_back({line.substr(0, bar), line.substr(bar + 1)});
            }
            if (opened.size() >= count) break;
            Sleep(50);
        } while (GetTickCount() - started < kWindowTimeoutMs);
        return opened;
    }

    ScratchFolder scratch;
    const std::string recorder = joinPath(builtProgramDir(), "shell_recorder.exe");
    const std::string recordFile = scratch.pathOf("opened.txt");
    std::string discRoot;
    RunningProgram program;
    HWND dialog = nullptr;
};

TEST_F(ShellRoad, BeforeAnInstallTheReadmeAndTheManualOpenFromTheDisc) {
    ASSERT_NO_FATAL_FAILURE(startSetup());
    ASSERT_TRUE(pressButton(dialog, kReadme));
    ASSERT_EQ(waitForOpened(1).size(), 1u) << "the readme was not opened";
    ASSERT_TRUE(pressButton(dialog, kManual));
    const std::vector<Opened> opened = waitForOpened(2);
    ASSERT_EQ(opened.size(), 2u) << "the manual was not opened";
    EXPECT_TRUE(sameText(opened[0].arguments, discRoot + "\\Vellomira\\readme.txt"))
        << opened[0].arguments;
    EXPECT_TRUE(sameText(opened[1].arguments, discRoot + "\\manual\\manual.html"))
        << opened[1].arguments;
    EXPECT_TRUE(program.running()) << "opening a document closed setup";
}

// The game's executable is missing at first: the start fails and the window
// stays; with it back, the game starts in its folder and setup ends.
TEST_F(ShellRoad, TheInstalledGameStartsInItsFolderAndSetupEnds) {
    const std::string game = scratch.pathOf("game");
    ASSERT_TRUE(makeFolder(game));
    ASSERT_TRUE(writeWholeFile(joinPath(game, "readme.txt"), "readme"));
    ASSERT_TRUE(writeRecord(game, discRoot + "\\Vellomira", 2));
    ASSERT_NO_FATAL_FAILURE(startSetup());

    ASSERT_TRUE(pressButton(dialog, kReadme));
    std::vector<Opened> opened = waitForOpened(1);
    ASSERT_EQ(opened.size(), 1u) << "the readme was not opened";
    EXPECT_TRUE(sameText(opened[0].arguments, joinPath(game, "readme.txt"))) << opened[0].arguments;

    ASSERT_TRUE(pressButton(dialog, kStartGame));
    Sleep(1500);
    EXPECT_TRUE(IsWindow(dialog) && program.running()) << "setup closed though no game started";

    ASSERT_TRUE(CopyFileA(recorder.c_str(), joinPath(game, "Vellomira.exe").c_str(), FALSE));
    ASSERT_TRUE(pressButton(dialog, kStartGame));
    DWORD code = 0xDEAD;
    ASSERT_TRUE(program.waitForExit(kExitTimeoutMs, code)) << "setup did not end";
    EXPECT_EQ(code, 0u);
    opened = waitForOpened(2);
    ASSERT_EQ(opened.size(), 2u) << "the game did not start";
    EXPECT_TRUE(sameText(opened[1].directory, game)) << "the game runs in " << opened[1].directory;
}

}  // namespace
}  // namespace e2e
