#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/bounded_text.h"
#include "engine/product_config.h"
#include "engine/setup_engine.h"
#include "tests/fake/fake_platform.h"

namespace {

const char kDataFolder[] = "c:\\Setup\\Vellomira\\";
const char kInstallFolder[] = "c:\\Games\\Vellomira";
const char kCompleted[] = "アップデートが完了しました。";
const platform::FileTimes kSourceTimes{111, 222, 333};
const platform::FileTimes kOldTimes{1, 2, 3};
const char kTemporaryFile[] = "c:\\Games\\Vellomira\\~UPDATE.TMP";

std::string sourceOf(const std::string& name) { return kDataFolder + name; }
std::string targetOf(const std::string& name) { return std::string(kInstallFolder) + "\\" + name; }

class UpdateRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::reset();
        fake::setModuleFileName("c:\\Setup\\update.exe");
        engine.installFiles = SetupEngine::replaceFileList(nullptr, ProductConfig::installList);
        engine.updateFiles = SetupEngine::replaceFileList(nullptr, ProductConfig::updateList);
        copyText(engine.dataFolder, sizeof engine.dataFolder, "Vellomira");
        copyText(engine.installDir, sizeof engine.installDir, kInstallFolder);
        engine.dialogWindow = &dialog;
    }
    // Every listed name, with new files in the data folder and old ones in
    // the install folder.
    std::vector<std::string> prepareGame() {
        std::vector<std::string> names;
        for (const char* const* list : {static_cast<const char* const*>(ProductConfig::installList),
                                        ProductConfig::updateList}) {
            for (const char* const* name = list; *name != nullptr; ++name) {
                fake::writeFile(sourceOf(*name), std::string("new ") + *name);
                fake::setTimes(sourceOf(*name), kSourceTimes);
                fake::writeFile(targetOf(*name), "old");
                fake::setTimes(targetOf(*name), kOldTimes);
                names.push_back(*name);
            }
        }
        return names;
    }
    void expectUpdated(const std::string& name) {
        SCOPED_TRACE(name);
        EXPECT_EQ("new " + name, fake::readFile(targetOf(name)));
        EXPECT_FALSE(fake::isReadOnly(targetOf(name)));
        platform::FileTimes times = fake::times(targetOf(name));
        EXPECT_EQ(kSourceTimes.creation, times.creation);
        EXPECT_EQ(kSourceTimes.lastAccess, times.lastAccess);
        EXPECT_EQ(kSourceTimes.lastWrite, times.lastWrite);
    }
    void expectNotUpdated(const std::string& name) {
        SCOPED_TRACE(name);
        EXPECT_EQ("old", fake::readFile(targetOf(name)));
        EXPECT_EQ(kOldTimes.lastWrite, fake::times(targetOf(name)).lastWrite);
    }
    // The one message shown: the completion, or a warning holding `part`.
    void expectOnlyMessage(const std::string& part, const std::string& caption) {
        std::vector<fake::ShownMessage> shown = fake::shownMessages();
        ASSERT_EQ(1u, shown.size());
        EXPECT_EQ(&dialog, shown[0].owner);
        EXPECT_NE(std::string::npos, shown[0].text.find(part)) << shown[0].text;
        EXPECT_EQ(caption, shown[0].caption);
        EXPECT_EQ(0x30u, shown[0].flags);
    }
    void expectCompleted() { expectOnlyMessage(kCompleted, "終了"); }
    void expectNoTemporaryFile() { EXPECT_FALSE(fake::exists(kTemporaryFile)); }
    void expectWarning(const std::string& part) {
        expectOnlyMessage(part, "確認");
        EXPECT_EQ(std::string::npos, fake::shownMessages()[0].text.find(kCompleted));
    }

    int dialog = 0;
    SetupEngine engine;
};

TEST_F(UpdateRunTest, UpdatesEveryListedFileWithTheSourcesTimes) {
    std::vector<std::string> names = prepareGame();
    fake::setReadOnly(targetOf("grd.pac"), true);
    copyText(engine.sourceDir, sizeof engine.sourceDir, "d:\\Vellomira");

    EXPECT_TRUE(engine.runUpdate());
    for (const std::string& name : names) expectUpdated(name);
    expectCompleted();
    EXPECT_STREQ("c:\\Setup", engine.sourceDir);
    expectNoTemporaryFile();
    // 38 names, of which six stand in both lists: 32 files, each copied once.
    EXPECT_EQ(2 * 32, fake::callCount(fake::Call::OpenStream));
}

TEST_F(UpdateRunTest, MissingSourcesAreSkippedQuietly) {
    prepareGame();
    fake::writeFile(targetOf("srp_6.pac"), "old");
    std::remove(fake::hostPath(sourceOf("srp_6.pac")).c_str());
    std::remove(fake::hostPath(sourceOf("grd.pac")).c_str());
    fake::setReadOnly(targetOf("grd.pac"), true);

    EXPECT_TRUE(engine.runUpdate());
    expectNotUpdated("grd.pac");
    EXPECT_TRUE(fake::isReadOnly(targetOf("grd.pac")));
    expectNotUpdated("srp_6.pac");
    expectUpdated("vic.pac");
    expectCompleted();

    // No data folder beside the program (run from inside its archive, or
    // copied alone), one the system cannot search, or a file in its place:
    // nothing is updated or reported complete.
    for (int way = 0; way < 3; ++way) {
        fake::reset();
        prepareGame();
        std::filesystem::remove_all(fake::hostPath(kDataFolder));
        if (way == 1) fake::failCallFor(fake::Call::FindPath, "c:\\Setup\\Vellomira");
        if (way == 2) fake::writeFile("c:\\Setup\\Vellomira", "not a folder");
        EXPECT_FALSE(engine.runUpdate()) << way;
        expectWarning("アップデートするファイルの場所がわかりません。");
        expectNotUpdated("grd.pac");
    }

    // An empty data folder, or nothing listed: only the completion message.
    fake::reset();
    fake::makeFolder(kInstallFolder);
    fake::makeFolder(kDataFolder);
    EXPECT_TRUE(engine.runUpdate());
    expectCompleted();

    fake::reset();
    fake::makeFolder(kInstallFolder);
    fake::makeFolder(kDataFolder);
    const char* const empty[] = {nullptr};
    engine.installFiles = SetupEngine::replaceFileList(engine.installFiles, empty);
    engine.updateFiles = SetupEngine::replaceFileList(engine.updateFiles, empty);
    EXPECT_TRUE(engine.runUpdate());
    expectCompleted();
    EXPECT_EQ(0, fake::callCount(fake::Call::OpenStream));
}

TEST_F(UpdateRunTest, FilesThatCouldNotBeWrittenAreReportedAndKeptWhole) {
    // A read-only target held open (the game running) and one whose replace
    // fails: the new copy is thrown away, the old file stays as it was.
    prepareGame();
    fake::holdOpen(targetOf("vic.pac"));
    fake::setReadOnly(targetOf("vic.pac"), true);
    fake::failCallFor(fake::Call::ReplaceFile, targetOf("se.pac"));

    EXPECT_FALSE(engine.runUpdate());
    expectNotUpdated("vic.pac");
    EXPECT_TRUE(fake::isReadOnly(targetOf("vic.pac")));
    expectNotUpdated("se.pac");
    expectUpdated("grd.pac");
    expectUpdated("srp_6.pac");  // the run goes on after a failure
    expectWarning("vic.pac");    // the first that failed
    expectNoTemporaryFile();

    // The disk fills up at the first write, within a file or after several
    // files, and the system copy is refused too: each target is either
    // wholly new or as it was, and the run is not complete.
    for (int64_t space : {int64_t{0}, int64_t{3}, int64_t{100000}}) {
        SCOPED_TRACE(space);
        fake::reset();
        std::vector<std::string> names = prepareGame();
        fake::writeFile(sourceOf("mus.pac"), std::string(200000, 'm'));
        fake::setDiskSpaceForWrites(space);
        fake::failCall(fake::Call::SystemCopyFile, -1);
        EXPECT_FALSE(engine.runUpdate());
        for (const std::string& name : names) {
            if (fake::readFile(targetOf(name)) != "new " + name) expectNotUpdated(name);
        }
        expectNotUpdated("mus.pac");
        expectWarning("\nを更新できませんでした。");
        expectNoTemporaryFile();
    }

    // A source that is there but cannot be read (held by another program
    // without sharing, or not readable by this user) is no missing file.
    fake::reset();
    prepareGame();
    fake::failCallFor(fake::Call::CanOpenForReading, sourceOf("mus.pac"));
    fake::failCallFor(fake::Call::OpenStream, sourceOf("mus.pac"));
    EXPECT_FALSE(engine.runUpdate());
    expectNotUpdated("mus.pac");
    expectWarning("mus.pac");

    // A replace that failed after the old file had gone: the new file takes
    // the empty place or, when that fails too, stays as the temporary file
    // and the run ends there.
    const std::string first = ProductConfig::installList[0];
    for (bool always : {false, true}) {
        fake::reset();
        prepareGame();
        std::remove(fake::hostPath(targetOf(first)).c_str());
        if (always) fake::failCallFor(fake::Call::ReplaceFile, targetOf(first));
        if (!always) fake::failCall(fake::Call::ReplaceFile, 1);
        EXPECT_EQ(!always, engine.runUpdate());
        if (!always) {
            expectUpdated(first);
            continue;
        }
        expectWarning(first);
        EXPECT_EQ("new " + first, fake::readFile(kTemporaryFile));
        expectNotUpdated("srp_6.pac");
    }

    // A listed file the system could not search for is no missing file.
    fake::reset();
    prepareGame();
    std::remove(fake::hostPath(sourceOf("srp_6.pac")).c_str());
    fake::failCallFor(fake::Call::FindPath, sourceOf("srp_6.pac"));
    EXPECT_FALSE(engine.runUpdate());
    expectWarning("srp_6.pac");

    // The times could not be carried over.
    fake::reset();
    prepareGame();
    fake::failCall(fake::Call::OpenTimeTarget, 1);
    EXPECT_FALSE(engine.runUpdate());
    expectWarning(ProductConfig::installList[0]);
}

TEST_F(UpdateRunTest, AStaleTemporaryFileIsNeverTakenForAGameFile) {
    // Left read-only by a killed run whose system copy took a CD's flag.
    std::vector<std::string> names = prepareGame();
    fake::writeFile(kTemporaryFile, "stale");
    fake::setReadOnly(kTemporaryFile, true);
    EXPECT_TRUE(engine.runUpdate());
    for (const std::string& name : names) expectUpdated(name);
    expectNoTemporaryFile();

    // A listed name that is the temporary file, in any case or with the
    // trailing dots and blanks the system drops, is never written.
    for (const char* name : {"~UPDATE.TMP", "~Update.Tmp. "}) {
        SCOPED_TRACE(name);
        fake::reset();
        fake::makeFolder(kInstallFolder);
        fake::writeFile(sourceOf(name), "new");
        const char* const list[] = {name, nullptr};
        engine.updateFiles = SetupEngine::replaceFileList(engine.updateFiles, list);
        EXPECT_FALSE(engine.runUpdate());
        expectWarning(name);
        EXPECT_FALSE(fake::exists(targetOf(name)));
    }
}

TEST_F(UpdateRunTest, ADataFolderThatIsTheGameFolderLeavesEveryFileAsItIs) {
    // update.exe in the game folder's parent: its data folder is the game
    // folder, also when the record names it in another letter case.
    fake::setModuleFileName("c:\\Games\\update.exe");
    fake::writeFile(targetOf("grd.pac"), "game data");
    fake::writeFile(targetOf("srp_6.pac"), "more game data");
    std::filesystem::create_directory_symlink(fake::hostPath(kInstallFolder),
                                              fake::hostPath("c:\\Games\\VELLOMIRA"));
    copyText(engine.installDir, sizeof engine.installDir, "c:\\Games\\VELLOMIRA");
    EXPECT_TRUE(engine.runUpdate());
    expectCompleted();
    EXPECT_EQ("game data", fake::readFile(targetOf("grd.pac")));
    EXPECT_EQ("more game data", fake::readFile(targetOf("srp_6.pac")));
    EXPECT_EQ(0, fake::callCount(fake::Call::OpenStream));

    // A volume that keeps no file index cannot tell two folders apart.
    fake::reset();
    fake::setModuleFileName("c:\\Setup\\update.exe");
    copyText(engine.installDir, sizeof engine.installDir, kInstallFolder);
    prepareGame();
    fake::reportNoFileIndex();
    EXPECT_TRUE(engine.runUpdate());
    expectUpdated("grd.pac");
}

TEST_F(UpdateRunTest, RefusesAnInstallFolderThatIsMissingOrNotAFullPath) {
    for (const char* folder : {"", "Games\\Vellomira", "c:Games", "\\Games", "\\\\server"}) {
        SCOPED_TRACE(folder);
        fake::reset();
        prepareGame();
        copyText(engine.installDir, sizeof engine.installDir, folder);
        EXPECT_FALSE(engine.runUpdate());
        expectWarning("インストール先のフォルダが正しくありません。");
        EXPECT_EQ(0, fake::callCount(fake::Call::OpenStream));
        EXPECT_FALSE(fake::exists("c:\\grd.pac"));
    }

    // A share and a drive root are full paths (the fake has no shares).
    fake::reset();
    fake::makeFolder(kDataFolder);
    copyText(engine.installDir, sizeof engine.installDir, "\\\\server\\share\\Vellomira");
    EXPECT_FALSE(engine.runUpdate());
    expectWarning("\\\\server\\share\\Vellomira\nが見つかりません。");
    fake::reset();
    fake::makeFolder(kDataFolder);
    copyText(engine.installDir, sizeof engine.installDir, "c:");
    EXPECT_TRUE(engine.runUpdate());

    // The folder is never created by the update.
    fake::reset();
    fake::writeFile(sourceOf("grd.pac"), "new");
    copyText(engine.installDir, sizeof engine.installDir, kInstallFolder);
    EXPECT_FALSE(engine.runUpdate());
    expectWarning(std::string(kInstallFolder) + "\nが見つかりません。");
    EXPECT_FALSE(fake::exists(kInstallFolder));
    EXPECT_EQ(0, fake::callCount(fake::Call::OpenStream));

    // The program's own folder cannot be found.
    fake::reset();
    prepareGame();
    fake::failCall(fake::Call::ModuleFileName);
    EXPECT_FALSE(engine.runUpdate());
    expectWarning("アップデートは行われませんでした。");
    expectNotUpdated("grd.pac");
}

}  // namespace
