#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/bounded_text.h"
#include "engine/product_config.h"
#include "engine/setup_engine.h"
#include "tests/fake/fake_platform.h"

namespace {

platform::WindowHandle const kDialog = reinterpret_cast<platform::WindowHandle>(0x205);
// The install list as start-up leaves it, up to the uninstaller.
std::vector<const char*> installListToUninstaller() {
    std::vector<const char*> names = {ProductConfig::gameExecutable};
    for (int i = 1; i <= ProductConfig::kUninstallerIndex; ++i)
        names.push_back(ProductConfig::installList[i]);
    names.push_back(nullptr);
    return names;
}
const std::vector<const char*> kNames = installListToUninstaller();
const char* const* const kList = kNames.data();
const char* const kUpdates[] = {"grd_2.pac", nullptr};
const std::string kGame = "C:\\Games\\Torvane\\Vellomira";

void prepare(SetupEngine& engine) {
    fake::reset();
    engine.dialogWindow = kDialog;
    engine.setStatusControls(1019, 1021);
    engine.installFiles = SetupEngine::replaceFileList(engine.installFiles, kList);
    engine.updateFiles = SetupEngine::replaceFileList(engine.updateFiles, kUpdates);
    copyText(engine.makerName, kPathCapacity, "Torvane");
    copyText(engine.dataFolder, kPathCapacity, "Vellomira");
    copyText(engine.productName, kPathCapacity, "Vellomira");
    copyText(engine.installBase, kPathCapacity, "C:\\Games\\");
    copyText(engine.sourceDir, kPathCapacity, "c:\\Setup\\Vellomira");
    engine.requiredMegabytes = 3200;
    engine.installState = 0;
    for (const char* const* name = kList; *name != nullptr; ++name) {
        fake::writeFile(std::string("c:\\Setup\\Vellomira\\") + *name, "data");
    }
}

class InstallFlowTest : public ::testing::Test {
protected:
    void SetUp() override { prepare(engine); }
    bool anyListedFile() {
        for (const char* const* name = kList; *name != nullptr; ++name) {
            if (fake::exists(kGame + "\\" + *name)) return true;
        }
        return false;
    }
    SetupEngine engine;
};

// A read-only file of an earlier install is overwritten like any other.
TEST_F(InstallFlowTest, InstallsRegistersAndReports) {
    fake::setFreeBytes(3200ull << 20);  // exactly enough
    fake::writeFile(kGame + "\\grd.pac", "old");  // an existing folder is not asked about
    fake::setReadOnly(kGame + "\\grd.pac", true);
    ASSERT_TRUE(engine.runInstall());
    EXPECT_EQ(kGame, engine.installDir);
    EXPECT_EQ("data", fake::readFile(kGame + "\\uninst.exe"));
    EXPECT_EQ("data", fake::readFile(kGame + "\\grd.pac"));
    EXPECT_TRUE(fake::registryKeyExists(ProductConfig::registryKeyPath));
    EXPECT_EQ(1, engine.installState.load());
    std::vector<fake::ShownMessage> shown = fake::shownMessages();
    ASSERT_EQ(1u, shown.size());
    EXPECT_EQ("インストールが完了しました。", shown[0].text);
    EXPECT_EQ("終了", shown[0].caption);
    EXPECT_EQ(kDialog, shown[0].owner);
    std::vector<std::string> status = fake::controlTextHistory(kDialog, 1019);
    ASSERT_GE(status.size(), 4u);
    EXPECT_EQ((std::vector<std::string>{"レジストリにゲーム情報を書き込んでいます。",
                                        "スタートメニューに登録しています。",
                                        "インストールが完了しました。", ""}),
              std::vector<std::string>(status.end() - 4, status.end()));
}

// Every refusal before the copy is explained and makes nothing it should
// not: no source, too little space, a folder declined, an update that
// cannot be put back, a folder that would not fit its field.
TEST_F(InstallFlowTest, RefusalsBeforeTheCopyAreReported) {
    // Without a source every name would be looked for on the current
    // drive's root.
    copyText(engine.sourceDir, kPathCapacity, "");
    fake::writeFile("c:\\Vellomira.exe", "stray");
    EXPECT_FALSE(engine.runInstall());
    ASSERT_EQ(1u, fake::shownMessages().size());
    EXPECT_EQ("インストールするファイルの場所がわかりません。\nインストールは行われませんでした。",
              fake::shownMessages()[0].text);
    EXPECT_EQ("確認", fake::shownMessages()[0].caption);
    EXPECT_EQ(0, fake::callCount(fake::Call::OpenStream));

    prepare(engine);
    fake::setFreeBytes(3199ull << 20);
    EXPECT_FALSE(engine.runInstall());
    EXPECT_EQ(3199u, engine.freeMegabytes);
    ASSERT_EQ(1u, fake::shownMessages().size());
    EXPECT_EQ("C:\\ ドライブの空き容量が足りません。\n今現在のドライブの容量は 3199Mです。\n"
              "インストールするには 約3200Mの容量が必要です。",
              fake::shownMessages()[0].text);
    EXPECT_EQ(0x30u, fake::shownMessages()[0].flags);
    EXPECT_FALSE(fake::exists("C:\\Games"));

    prepare(engine);
    fake::answerNext(platform::kAnswerNo);
    EXPECT_FALSE(engine.runInstall());
    EXPECT_EQ(kGame + "\nフォルダを作成します。\nよろしいですか？", fake::shownMessages()[0].text);
    EXPECT_EQ(kGame + " フォルダを作成できませんでした。", fake::shownMessages().back().text);
    EXPECT_EQ(0x24u, fake::shownMessages()[0].flags);
    EXPECT_FALSE(fake::exists("C:\\Games"));

    // A level that cannot be made stops the walk; levels before it stay.
    prepare(engine);
    fake::failCallFor(fake::Call::MakeDirectory, "C:\\Games\\Torvane");
    EXPECT_FALSE(engine.runInstall());
    EXPECT_EQ(kGame + " フォルダを作成できませんでした。", fake::shownMessages().back().text);
    EXPECT_TRUE(fake::exists("C:\\Games"));
    EXPECT_FALSE(fake::exists("C:\\Games\\Torvane"));

    // An update ended in its replace step in the folder, which cannot be
    // put back, is not installed over: its record would undo the install.
    prepare(engine);
    fake::writeFile(kGame + "\\~UPDATE.LOG", "update record 1\r\n+grd.pac\r\n.\r\n");
    fake::writeFile(kGame + "\\~UPDATE.OLD\\grd.pac", "old");
    fake::holdOpen(kGame + "\\grd.pac");
    EXPECT_FALSE(engine.runInstall());
    EXPECT_NE(std::string::npos, fake::shownMessages().back().text.find("grd.pac\nを元に戻せませんでした。"));
    EXPECT_FALSE(fake::exists(kGame + "\\readme.txt"));

    // A folder that would not fit its field is refused whole, never cut.
    prepare(engine);
    std::string longBase = "C:\\" + std::string(240, 'b');
    copyText(engine.installBase, kPathCapacity, longBase.c_str());
    copyText(engine.installDir, kPathCapacity, "C:\\Old");
    EXPECT_FALSE(engine.runInstall());
    EXPECT_EQ("C:\\Old", std::string(engine.installDir));
    EXPECT_EQ(longBase + "\\Torvane\\Vellomira フォルダを作成できませんでした。",
              fake::shownMessages().back().text);
    EXPECT_EQ(0, fake::callCount(fake::Call::MakeDirectory));
}

TEST_F(InstallFlowTest, FailedStepsCleanUpWhatTheyMust) {
    // Cancelled copy: every listed file goes, a listed one that was there
    // before too; unlisted files and the folder stay; no message.
    fake::makeFolder(kGame);
    fake::writeFile(kGame + "\\grd_2.pac", "old");
    fake::writeFile(kGame + "\\save.dat", "mine");
    fake::writeFile("c:\\Setup\\Vellomira\\Vellomira.exe", std::string(200000, 'x'));
    fake::onWrite([this] { engine.cancelState = kCancelRequested; });
    EXPECT_FALSE(engine.runInstall());
    fake::onWrite(nullptr);
    EXPECT_FALSE(anyListedFile());
    EXPECT_FALSE(fake::exists(kGame + "\\grd_2.pac"));
    EXPECT_EQ("mine", fake::readFile(kGame + "\\save.dat"));
    EXPECT_TRUE(fake::shownMessages().empty());

    // Failed record: files and key are deleted.
    prepare(engine);
    fake::setRegistryText(ProductConfig::registryKeyPath, "Dir", "C:\\Old");
    fake::failCall(fake::Call::RegistrySetValue);
    EXPECT_FALSE(engine.runInstall());
    EXPECT_FALSE(anyListedFile());
    EXPECT_FALSE(fake::registryKeyExists(ProductConfig::registryKeyPath));
}

TEST_F(InstallFlowTest, UninstallDeletesOnlyListedFilesInTheGameFolder) {
    copyText(engine.installDir, kPathCapacity, ("c" + kGame.substr(1)).c_str());  // as typed
    engine.installState = 1;
    fake::writeFile(kGame + "\\grd.pac", "x");
    fake::writeFile(kGame + "\\grd_2.pac", "x");
    fake::setReadOnly(kGame + "\\grd_2.pac", true);
    fake::writeFile(kGame + "\\save.dat", "mine");
    fake::setRegistryText(ProductConfig::registryKeyPath, "Dir", kGame);
    ASSERT_TRUE(engine.createShortcutGroup(1));

    fake::answerNext(platform::kAnswerNo);
    EXPECT_FALSE(engine.runUninstall());
    EXPECT_EQ("Vellomira のアンインストールを開始します。\n開始してもよろしいですか？",
              fake::shownMessages()[0].text);
    EXPECT_TRUE(fake::exists(kGame + "\\grd.pac"));
    EXPECT_TRUE(fake::registryKeyExists(ProductConfig::registryKeyPath));

    EXPECT_TRUE(engine.runUninstall());
    EXPECT_EQ("アンインストールが完了しました。", fake::shownMessages().back().text);
    EXPECT_FALSE(fake::exists(kGame + "\\grd.pac"));
    EXPECT_FALSE(fake::exists(kGame + "\\grd_2.pac"));
    EXPECT_EQ("mine", fake::readFile(kGame + "\\save.dat"));
    EXPECT_FALSE(fake::registryKeyExists(ProductConfig::registryKeyPath));
    EXPECT_FALSE(fake::exists(std::string(engine.shellFolder) + "\\Torvane"));
    EXPECT_EQ(0, engine.installState.load());

    // The record is gone now: the uninstall fails and keeps the state.
    engine.installState = 1;
    EXPECT_FALSE(engine.runUninstall());
    EXPECT_EQ(1, engine.installState.load());

    // Folders that could lead outside the game are refused untouched, and
    // so are names that climb out of it.
    fake::writeFile("C:\\grd.pac", "x");
    fake::writeFile("C:\\Games\\grd.pac", "x");
    fake::writeFile("C:\\victim.txt", "x");
    fake::setRegistryText(ProductConfig::registryKeyPath, "Dir", kGame);
    size_t asked = fake::shownMessages().size();
    for (const char* folder : {"", "Games", "\\Games", "C:\\", "C:Games", "C:\\Games\\..", "C:\\ . \\"}) {
        copyText(engine.installDir, kPathCapacity, folder);
        EXPECT_FALSE(engine.runUninstall()) << folder;
    }
    // Each refusal is explained, and no question is asked.
    const std::vector<fake::ShownMessage> shown = fake::shownMessages();
    ASSERT_EQ(asked + 7, shown.size());
    for (size_t i = asked; i < shown.size(); ++i) {
        EXPECT_EQ("インストール先のフォルダが正しくありません。\nアンインストールは行われませんでした。",
                  shown[i].text);
        EXPECT_EQ(platform::kReportFlags, shown[i].flags);
    }
    EXPECT_TRUE(fake::exists("C:\\grd.pac"));
    EXPECT_TRUE(fake::registryKeyExists(ProductConfig::registryKeyPath));
    const char* const climbing[] = {"..\\..\\victim.txt", "..", "C:\\victim.txt", nullptr};
    engine.installFiles = SetupEngine::replaceFileList(engine.installFiles, climbing);
    EXPECT_EQ(engine.deleteInstalledFiles("C:\\Games\\Torvane"), nullptr);
    engine.deleteInstalledFiles("C:\\Games\\Torvane\\..");
    EXPECT_TRUE(fake::exists("C:\\victim.txt"));
    EXPECT_TRUE(fake::exists("C:\\Games\\grd.pac"));
}

TEST_F(InstallFlowTest, UninstallEndsOnlyWhenTheGameIsGone) {
    auto installed = [this](const std::string& game) {
        prepare(engine);
        copyText(engine.installDir, kPathCapacity, game.c_str());
        engine.installState = 1;
        fake::setRegistryText(ProductConfig::registryKeyPath, "Dir", game);
        fake::writeFile(game + "\\grd.pac", "x");
        // What an update that was ended leaves behind.
        for (const char* left : {"~UPDATE.TMP", "~UPDATE.NEW\\grd.pac", "~UPDATE.OLD\\grd.pac",
                                 "~UPDATE.LOG"})
            fake::writeFile(game + "\\" + left, "x");
    };
    // A file the running game holds is named, and the record stays so that
    // the uninstall can be run again.
    installed(kGame);
    fake::holdOpen(kGame + "\\grd.pac");
    EXPECT_FALSE(engine.runUninstall());
    EXPECT_EQ("grd.pac\nを削除できませんでした。\nゲームを終了してから、もう一度アンインストールしてください。",
              fake::shownMessages().back().text);
    EXPECT_TRUE(fake::registryKeyExists(ProductConfig::registryKeyPath));
    EXPECT_EQ(1, engine.installState.load());
    EXPECT_FALSE(fake::exists(kGame + "\\~UPDATE.TMP"));

    // The emptied game folder goes, then the maker's; a folder that holds
    // anything, or that the install would not have named so, stays.
    struct Case {
        std::string game, other, stays, gone;
    } cases[] = {
        {kGame, "", "C:\\Games", "C:\\Games\\Torvane"},
        {kGame, "C:\\Games\\Torvane\\Other\\game.exe", "C:\\Games\\Torvane", kGame},
        {kGame, kGame + "\\save\\1.dat", kGame, ""},
        {"C:\\Games\\Torvane\\Mine", "", "C:\\Games\\Torvane\\Mine", ""},
        {"C:\\Games\\Mine\\Vellomira", "", "C:\\Games\\Mine", "C:\\Games\\Mine\\Vellomira"},
    };
    for (const Case& c : cases) {
        installed(c.game);
        if (!c.other.empty()) fake::writeFile(c.other, "x");
        EXPECT_TRUE(engine.runUninstall()) << c.game << " " << c.other;
        EXPECT_TRUE(fake::exists(c.stays)) << c.stays;
        EXPECT_TRUE(c.gone.empty() || !fake::exists(c.gone)) << c.gone;
    }
    // A game folder that is a link to another place is emptied, not removed.
    installed(kGame);
    std::filesystem::rename(fake::hostPath(kGame), fake::hostPath("C:\\Elsewhere"));
    std::filesystem::create_directory_symlink(fake::hostPath("C:\\Elsewhere"),
                                              fake::hostPath(kGame));
    EXPECT_TRUE(engine.runUninstall());
    EXPECT_TRUE(fake::exists(kGame));
    EXPECT_FALSE(fake::exists("C:\\Elsewhere\\grd.pac"));
}

}  // namespace
