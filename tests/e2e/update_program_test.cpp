// update.exe driven through its window, as a user would: the question and
// the single running copy, the refusal without an installed game, the
// update of a registered game, a game file held open by the running game,
// which stops the whole update, a data folder that is the game folder, and
// updates that cannot start.
#include <gtest/gtest.h>

#include "tests/e2e/game_files.h"

#include <string>
#include <vector>

namespace e2e {
namespace {

const std::string kQuestion = "Vellomira　を\nアップデートしますか？";
const std::string kConfirmCaption = "確認";
constexpr int kUpdateButton = 1008;
constexpr int kCancelButton = 2;

// A file of the data folder beside the program, with its past date.
struct NewFile {
    std::string name;
    std::string contents;
    WORD year;
};

// The file's index on its volume: a file replaced by a copy gets a new one.
ULONGLONG fileIndex(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    BY_HANDLE_FILE_INFORMATION information{};
    if (file == INVALID_HANDLE_VALUE) return 0;
    GetFileInformationByHandle(file, &information);
    CloseHandle(file);
    return (static_cast<ULONGLONG>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
}

// A file's access and write times (creation times do not survive under Wine
// on Linux), read without opening its contents.
std::string timesOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return "<missing>";
    return hexBytes(std::string(reinterpret_cast<const char*>(&data.ftLastAccessTime), 16));
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
        ASSERT_TRUE(pressButton(dialog, kUpdateButton)) << "no Update button";
        if (warning.empty())
            ASSERT_NO_FATAL_FAILURE(answerBox("終了", "アップデートが完了しました。"));
        else
            ASSERT_NO_FATAL_FAILURE(answerBox(kConfirmCaption, warning));
        EXPECT_EQ(program.exitCode(), 0u) << "exit code";
    }

    void putNewFiles(const std::vector<NewFile>& files) {
        for (const NewFile& file : files) {
            const std::string path = joinPath(dataFolder, file.name);
            ASSERT_TRUE(writeWholeFile(path, file.contents)) << path;
            const SYSTEMTIME when{file.year, 3, 0, 14, 12, 0, 0, 0};
            FILETIME time;
            HANDLE handle = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            EXPECT_TRUE(SystemTimeToFileTime(&when, &time) &&
                        SetFileTime(handle, &time, &time, &time)) << path;
            CloseHandle(handle);
        }
    }

    ScratchFolder scratch;
    const std::string programFolder = scratch.pathOf("program");
    const std::string dataFolder = joinPath(programFolder, "Vellomira");
    const std::string gameFolder = scratch.pathOf("game");
    const std::string exePath = joinPath(programFolder, "update.exe");
};

// The question, centred on the work area; a second copy started meanwhile
// ends at once and leaves the first running. Without an installed game,
// Update is refused each time it is pressed, and the dialog stays.
TEST_F(UpdateProgram, AsksOnceInACentredDialogAndRefusesAGameThatIsNotInstalled) {
    ASSERT_NO_FATAL_FAILURE(startProgram(program, exePath));
    EXPECT_EQ(controlText(dialog, 1009), kQuestion) << hexBytes(controlText(dialog, 1009));
    RECT work{}, box{};
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    ASSERT_TRUE(GetWindowRect(dialog, &box));
    EXPECT_EQ(box.left, (work.left + work.right - (box.right - box.left)) >> 1);
    EXPECT_EQ(box.top, (work.top + work.bottom - (box.bottom - box.top)) >> 1);

    RunningProgram second;
    ASSERT_TRUE(second.start(exePath));
    EXPECT_EQ(second.exitCode(), 0u) << "the second copy kept running or failed";
    EXPECT_TRUE(IsWindow(dialog)) << "the first copy's dialog closed";

    for (int press = 1; press <= 2; ++press) {
        SCOPED_TRACE(press);
        ASSERT_TRUE(pressButton(dialog, kUpdateButton)) << "no Update button";
        ASSERT_NO_FATAL_FAILURE(answerBox(kConfirmCaption,
            "インストールがされてませんでした。\nインストールを行ってからアップデートしてください。"));
        EXPECT_TRUE(program.running() && IsWindow(dialog)) << "the dialog closed after the warning";
    }
    EXPECT_FALSE(folderExists(scratch.pathOf("Torvane"))) << "something was installed";
    ASSERT_TRUE(pressButton(dialog, kCancelButton)) << "no Cancel button";
    EXPECT_EQ(program.exitCode(), 0u);
}

TEST_F(UpdateProgram, CopiesTheNewFilesWithTheirTimesIntoTheRegisteredFolder) {
    // Names of both lists (one of them in each), a large file that takes
    // several copy blocks, and a read-only source.
    const std::vector<NewFile> files = {
        {"Vellomira.exe", "new game program", 2001},
        {"grd.pac", pattern(200000, 'g'), 2002},
        {"readme.txt", "new readme\r\n", 2003},
        {"mus_2.pac", pattern(70000, 'm'), 2004},
        {"srp_6.pac", "only in the update list", 2005},
    };
    ASSERT_NO_FATAL_FAILURE(putNewFiles(files));
    const std::string readOnlySource = joinPath(dataFolder, "readme.txt");
    ASSERT_TRUE(SetFileAttributesA(readOnlySource.c_str(), FILE_ATTRIBUTE_READONLY));
    for (const char* name : {"Vellomira.exe", "grd.pac", "mus_2.pac", "vic.pac", "save.dat"})
        ASSERT_TRUE(writeWholeFile(joinPath(gameFolder, name), std::string("old ") + name));
    ASSERT_TRUE(writeRecord(gameFolder, "d:", 2)) << "cannot write the registration record";
    ASSERT_NO_FATAL_FAILURE(runUpdate());

    for (const NewFile& file : files) {
        const std::string target = joinPath(gameFolder, file.name);
        // Times first: reading the contents may move the access times.
        EXPECT_EQ(timesOf(target), timesOf(joinPath(dataFolder, file.name))) << file.name;
        const DWORD attributes = GetFileAttributesA(target.c_str());
        EXPECT_TRUE(attributes == FILE_ATTRIBUTE_NORMAL || attributes == FILE_ATTRIBUTE_ARCHIVE)
            << file.name << ": attributes 0x" << std::hex << attributes;
        EXPECT_TRUE(readWholeFile(target) == file.contents) << file.name << ": contents differ";
    }
    // Listed names missing from the data folder and unlisted files stay.
    EXPECT_EQ(readWholeFile(joinPath(gameFolder, "vic.pac")), "old vic.pac");
    EXPECT_EQ(readWholeFile(joinPath(gameFolder, "save.dat")), "old save.dat");
    EXPECT_FALSE(fileExists(joinPath(gameFolder, "se.pac"))) << "a file came from nowhere";
}

// The running game holds a file in the middle of the lists: no game file
// changes, and it says so; once the game has ended, the same update makes
// every file new.
TEST_F(UpdateProgram, AFileTheRunningGameHoldsStopsTheWholeUpdate) {
    const std::vector<NewFile> files = {{"grd.pac", pattern(200000, 'g'), 2002},
                                        {"vic.pac", pattern(70000, 'v'), 2003},
                                        {"srp_6.pac", "only in the update list", 2005}};
    ASSERT_NO_FATAL_FAILURE(putNewFiles(files));
    for (const NewFile& file : files)
        ASSERT_TRUE(writeWholeFile(joinPath(gameFolder, file.name), "old " + file.name));
    ASSERT_TRUE(writeRecord(gameFolder, "d:", 2));
    // The game reads vic.pac, sharing it as the C runtime's fopen does.
    const std::string held = joinPath(gameFolder, "vic.pac");
    HANDLE game = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(game, INVALID_HANDLE_VALUE);
    ASSERT_NO_FATAL_FAILURE(runUpdate(
        "vic.pac\nを置き換えられませんでした。\nゲームを終了してから、もう一度アップデートしてください。\n"
        "ゲームのファイルは変更されていません。"));
    CloseHandle(game);
    for (const NewFile& file : files)
        EXPECT_EQ(readWholeFile(joinPath(gameFolder, file.name)), "old " + file.name);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(joinPath(gameFolder, "~*").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "left behind: " << found.cFileName;
    if (search != INVALID_HANDLE_VALUE) FindClose(search);

    ASSERT_NO_FATAL_FAILURE(runUpdate());
    for (const NewFile& file : files)
        EXPECT_TRUE(readWholeFile(joinPath(gameFolder, file.name)) == file.contents) << file.name;
}

// The update was unpacked into the maker's folder: its data folder is the
// game folder, which the record names in another letter case.
TEST_F(UpdateProgram, ADataFolderThatIsTheGameFolderKeepsEveryFileWhole) {
    const std::vector<NewFile> files = {{"Vellomira.exe", "the game program", 2001},
                                        {"grd.pac", pattern(200000, 'g'), 2002},
                                        {"srp_6.pac", "only in the update list", 2005}};
    ASSERT_NO_FATAL_FAILURE(putNewFiles(files));
    ASSERT_TRUE(writeRecord(joinPath(programFolder, "VELLOMIRA"), "d:", 2));
    const ULONGLONG gameProgram = fileIndex(joinPath(dataFolder, "Vellomira.exe"));
    ASSERT_NO_FATAL_FAILURE(runUpdate());
    for (const NewFile& file : files) {
        EXPECT_TRUE(readWholeFile(joinPath(dataFolder, file.name)) == file.contents)
            << file.name << " lost its contents";
    }
    EXPECT_EQ(fileIndex(joinPath(dataFolder, "Vellomira.exe")), gameProgram)
        << "the file was copied over itself instead of being left alone";
}

// Updates that cannot start update nothing and say why: update.exe run from
// inside the downloaded archive, alone in a temporary folder; a record
// whose install folder has gone (which the update never makes).
TEST_F(UpdateProgram, AnUpdateThatCannotStartChangesNothingAndSaysWhy) {
    const std::string gone = scratch.pathOf("gone");
    const struct {
        bool dataFolder;
        std::string installFolder;
        std::string warning;
    } rows[] = {
        {false, gameFolder,
         "アップデートするファイルの場所がわかりません。\nアップデートは行われませんでした。"},
        {true, gone,
         "インストール先のフォルダ\n" + gone + "\nが見つかりません。\nアップデートは行われませんでした。"},
    };
    ASSERT_TRUE(writeWholeFile(joinPath(gameFolder, "grd.pac"), "old grd.pac"));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.warning);
        if (row.dataFolder) {
            ASSERT_TRUE(makeFolder(dataFolder));
            ASSERT_NO_FATAL_FAILURE(putNewFiles({{"grd.pac", "new grd.pac", 2001}}));
        } else {
            ASSERT_TRUE(RemoveDirectoryA(dataFolder.c_str()));
        }
        ASSERT_TRUE(writeRecord(row.installFolder, "d:", 2));
        ASSERT_NO_FATAL_FAILURE(runUpdate(row.warning));
        EXPECT_EQ(readWholeFile(joinPath(gameFolder, "grd.pac")), "old grd.pac");
    }
    EXPECT_FALSE(folderExists(gone)) << "the update made the install folder";
}

}  // namespace
}  // namespace e2e
