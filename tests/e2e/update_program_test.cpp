// update.exe driven through its window as a player meets it: the question
// and the single running copy, the refusal without an installed game, an
// update that the running game stops, and the same update once the game
// has ended, every file new with its times.
#include <gtest/gtest.h>

#include "resources/control_ids.h"
#include "tests/e2e/game_files.h"

#include <string>
#include <vector>

namespace e2e {
namespace {

const std::string kConfirmCaption = "確認";

// A file's access and write times (creation times do not survive under Wine
// on Linux), read without opening its contents.
std::string timesOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return "<missing>";
    return std::string(reinterpret_cast<const char*>(&data.ftLastAccessTime), 16);
}

std::string pattern(size_t size, char seed) {
    std::string text(size, '\0');
    for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>(seed + i * 7 + i / 251);
    return text;
}

class UpdateProgram : public ProgramTest {
protected:
    void SetUp() override {
        removeRecord();
        ASSERT_TRUE(makeFolder(programFolder) && makeFolder(dataFolder) && makeFolder(gameFolder))
            << "cannot make the test folders under " << scratch.path();
        copyBuilt("update.exe", exePath);
    }

    void TearDown() override { removeRecord(); }

    // Runs an update to its end: the completion message, or else only the
    // warning given; either way the program then ends with exit code 0.
    void runUpdate(const std::string& warning = "") {
        ASSERT_NO_FATAL_FAILURE(startProgram(program, exePath));
        ASSERT_TRUE(pressButton(dialog, IDC_UPDATE)) << "no Update button";
        ASSERT_NO_FATAL_FAILURE(answerBox(warning.empty() ? "終了" : kConfirmCaption, warning));
        EXPECT_EQ(program.exitCode(), 0u) << "exit code";
    }

    // A file of the data folder beside the program, dated in the year given.
    void putNewFile(const std::string& name, const std::string& contents, WORD year) {
        const std::string path = joinPath(dataFolder, name);
        ASSERT_TRUE(writeWholeFile(path, contents)) << path;
        const SYSTEMTIME when{year, 3, 0, 14, 12, 0, 0, 0};
        FILETIME time;
        HANDLE handle = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_TRUE(SystemTimeToFileTime(&when, &time) && SetFileTime(handle, &time, &time, &time))
            << path;
        CloseHandle(handle);
    }

    ScratchFolder scratch;
    const std::string programFolder = scratch.pathOf("program");
    const std::string dataFolder = joinPath(programFolder, "Vellomira");
    const std::string gameFolder = scratch.pathOf("game");
    const std::string exePath = joinPath(programFolder, "update.exe");
};

TEST_F(UpdateProgram, AsksOnceAndUpdatesARegisteredGameAllOrNothing) {
    // The question, centred on the work area; a second copy started
    // meanwhile ends at once. Without an installed game, Update is refused
    // and the dialog stays.
    ASSERT_NO_FATAL_FAILURE(startProgram(program, exePath));
    EXPECT_EQ(controlText(dialog, IDC_QUESTION), "Vellomira　を\nアップデートしますか？");
    RECT work{}, box{};
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0) && GetWindowRect(dialog, &box));
    EXPECT_EQ(box.left, (work.left + work.right - (box.right - box.left)) >> 1);
    EXPECT_EQ(box.top, (work.top + work.bottom - (box.bottom - box.top)) >> 1);
    RunningProgram second;
    ASSERT_TRUE(second.start(exePath));
    EXPECT_EQ(second.exitCode(), 0u) << "the second copy kept running or failed";
    ASSERT_TRUE(pressButton(dialog, IDC_UPDATE));
    ASSERT_NO_FATAL_FAILURE(answerBox(kConfirmCaption,
        "インストールがされてませんでした。\nインストールを行ってからアップデートしてください。"));
    EXPECT_TRUE(program.running() && IsWindow(dialog)) << "the dialog closed after the warning";
    ASSERT_TRUE(pressButton(dialog, IDC_CLOSE_BUTTON));
    EXPECT_EQ(program.exitCode(), 0u);

    // Names of both lists, a large file that takes several copy blocks, a
    // read-only source; the game holds vic.pac, sharing it as the C
    // runtime's fopen does: the system's error says so, and no game file
    // changes.
    const std::vector<std::pair<std::string, std::string>> files = {
        {"Vellomira.exe", "new game program"}, {"grd.pac", pattern(200000, 'g')},
        {"readme.txt", "new readme\r\n"},      {"vic.pac", pattern(70000, 'v')},
        {"srp_6.pac", "only in the update list"}};
    for (size_t i = 0; i < files.size(); ++i)
        ASSERT_NO_FATAL_FAILURE(putNewFile(files[i].first, files[i].second, 2001 + i));
    ASSERT_TRUE(SetFileAttributesA(joinPath(dataFolder, "readme.txt").c_str(),
                                   FILE_ATTRIBUTE_READONLY));
    for (const char* name : {"Vellomira.exe", "grd.pac", "vic.pac"})
        ASSERT_TRUE(writeWholeFile(joinPath(gameFolder, name), std::string("old ") + name));
    ASSERT_TRUE(writeRecord(gameFolder, "d:", 2));
    HANDLE game = CreateFileA(joinPath(gameFolder, "vic.pac").c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(game, INVALID_HANDLE_VALUE);
    ASSERT_NO_FATAL_FAILURE(runUpdate("vic.pac\nを置き換えられませんでした。"));
    CloseHandle(game);
    EXPECT_EQ(readWholeFile(joinPath(gameFolder, "grd.pac")), "old grd.pac");
    EXPECT_EQ(namesIn(gameFolder).size(), 3u) << "the update left files in the game's folder";

    // The game has ended: every file new, with its source's times and normal
    // attributes.
    ASSERT_NO_FATAL_FAILURE(runUpdate());
    for (const auto& [name, contents] : files) {
        const std::string target = joinPath(gameFolder, name);
        // Times first: reading the contents may move the access times.
        EXPECT_EQ(timesOf(target), timesOf(joinPath(dataFolder, name))) << name;
        const DWORD attributes = GetFileAttributesA(target.c_str());
        EXPECT_TRUE(attributes == FILE_ATTRIBUTE_NORMAL || attributes == FILE_ATTRIBUTE_ARCHIVE)
            << name << ": attributes 0x" << std::hex << attributes;
        EXPECT_TRUE(readWholeFile(target) == contents) << name << ": contents differ";
    }
}

}  // namespace
}  // namespace e2e
