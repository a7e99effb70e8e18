// setup.exe driven through its window: an install from the game's disc into
// the default folder with the options dialog answered, its record and
// Start-menu shortcuts, the uninstall, a cancel in the middle of a large
// copy, Esc during an install, the choice of the install folder in the
// shell's folder dialog, the window's colours, and a setup whose own data
// folder is the install folder. The disc is the CD-ROM drive named by
// TEST_CDROM_DRIVE, labelled "Vellomira" and holding Vellomira\ with every
// listed file (grd.pac large).
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>

#include "engine/product_config.h"
#include "tests/e2e/browse_dialog.h"
#include "tests/e2e/game_files.h"
#include "tests/e2e/program_driver.h"
#include "tests/e2e/shortcut_file.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace e2e {
namespace {

const std::string kCaption = "Vellomira Updata";
const std::string kOptionsCaption = "インストールする項目の選択";
const std::string kConfirmCaption = "確認";
const std::string kFinishedCaption = "終了";
const std::string kGameFolder = "c:\\Program Files\\Torvane\\Vellomira";
const std::string kCreateFolderText = kGameFolder + "\nフォルダを作成します。\nよろしいですか？";
const std::string kInstalledText = "インストールが完了しました。";
const std::string kInstallFailedText =
    "インストールが正常に行われませんでした。\nもう一度ご確認の上、インストールを行ってください。";
const std::string kUninstallQuestion =
    "Vellomira のアンインストールを開始します。\n開始してもよろしいですか？";
const std::string kUninstalledText = "アンインストールが完了しました。";
const std::string kInstallLabel = "インストール";
const std::string kAbortLabel = "中断";
const std::string kBrowseTitle = "フォルダを選択してください";

constexpr int kInstall = 1000, kStartGame = 1001, kClose = 1002, kChooseFolder = 1003;
constexpr int kInstallPath = 1004, kProgress = 1005, kUninstall = 1014;
constexpr int kStatusLine0 = 1019, kStatusLine1 = 1021;
constexpr int kRequiredSize = 1011, kOptionsOk = 1012, kOptionsCancel = 1013;
constexpr int kInstallType = 1015, kGraphicsPart = 1021;
// A whole install, its copy included, must end within this time.
constexpr DWORD kInstallTimeoutMs = 120000;

// Every name an install or an uninstall may touch, once each: the install
// list as start-up leaves it, then the names only the update list has.
std::vector<std::string> listedNames() {
    std::vector<std::string> names = {ProductConfig::gameExecutable};
    for (int i = 1; ProductConfig::installList[i] != nullptr; ++i)
        names.push_back(ProductConfig::installList[i]);
    for (const char* const* name = ProductConfig::updateList; *name != nullptr; ++name) {
        if (std::find(names.begin(), names.end(), *name) == names.end()) names.push_back(*name);
    }
    return names;
}
const std::vector<std::string> kListedNames = listedNames();
// Names of the list entries that carry a selection flag (indexes 0 to 19).
constexpr size_t kFlaggedNames = 20;

bool sameText(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

std::string groupFolder() {
    return joinPath(joinPath(commonProgramsFolder(), "Torvane"), "Vellomira");
}

void removeInstalledGame() {
    removeTree(kGameFolder);
    removeTree(groupFolder());
    RemoveDirectoryA(joinPath(commonProgramsFolder(), "Torvane").c_str());
    removeRecord();
}

class SetupProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(findDisc());
        if (IsSkipped()) return;
        removeInstalledGame();
        ASSERT_TRUE(makeFolder(programFolder));
        ASSERT_NO_FATAL_FAILURE(startSetup(exePath));
    }

    void findDisc() {
        const char* drive = std::getenv("TEST_CDROM_DRIVE");
        if (drive == nullptr || *drive == '\0')
            GTEST_SKIP() << "TEST_CDROM_DRIVE (the game's disc) is not set";
        discFolder = std::string(drive, 2) + "\\Vellomira";
        ASSERT_TRUE(fileExists(joinPath(discFolder, "Vellomira.exe")))
            << "the disc holds no " << discFolder << "\\Vellomira.exe";
    }

    // Copies the built setup.exe to path and starts it there.
    void startSetup(const std::string& path) {
        const std::string built = joinPath(builtProgramDir(), "setup.exe");
        ASSERT_TRUE(CopyFileA(built.c_str(), path.c_str(), FALSE)) << "cannot copy " << built;
        ASSERT_TRUE(program.start(path)) << "cannot start " << path;
        dialog = waitForWindow(program.processId(), kDialogClass, kCaption);
        ASSERT_NE(dialog, nullptr) << "no setup window appeared";
    }

    void TearDown() override {
        if (discFolder.empty()) return;
        if (program.running()) {
            pressButton(dialog, kClose);
            DWORD code = 0;
            program.waitForExit(kExitTimeoutMs, code);
        }
        removeInstalledGame();
    }

    HWND waitForBox(const std::string& caption, DWORD timeoutMs = kWindowTimeoutMs) {
        return waitForWindow(program.processId(), kDialogClass, caption, timeoutMs);
    }

    // Waits for the message box, checks its text and answers it.
    void answerBox(const std::string& caption, const std::string& text, int answer,
                   DWORD timeoutMs = kWindowTimeoutMs) {
        HWND box = waitForBox(caption, timeoutMs);
        ASSERT_NE(box, nullptr) << "no \"" << caption << "\" message for: " << text;
        const std::string shown = messageBoxText(box);
        EXPECT_EQ(shown, text) << "message bytes: " << hexBytes(shown);
        ASSERT_TRUE(answerMessageBox(box, answer)) << "the message has no such button";
        ASSERT_TRUE(waitUntilGone(box));
    }

    HWND openOptions() {
        EXPECT_TRUE(pressButton(dialog, kInstall));
        return waitForWindow(program.processId(), kDialogClass, kOptionsCaption);
    }

    // Opens the options dialog, presses the given boxes and then OK.
    void acceptOptions(std::initializer_list<int> boxes = {}) {
        HWND options = openOptions();
        ASSERT_NE(options, nullptr) << "no options dialog";
        for (int box : boxes) ASSERT_TRUE(pressButton(options, box));
        ASSERT_TRUE(pressButton(options, kOptionsOk));
        ASSERT_TRUE(waitUntilGone(options));
    }

    // Waits until the setup buttons show the installed or the not-installed state.
    bool waitForButtons(bool installed) {
        const DWORD started = GetTickCount();
        while (GetTickCount() - started < kWindowTimeoutMs) {
            if (controlEnabled(dialog, kInstall) == !installed &&
                controlEnabled(dialog, kChooseFolder) == !installed &&
                controlEnabled(dialog, kUninstall) == installed &&
                controlEnabled(dialog, kStartGame) == installed &&
                controlText(dialog, kInstall) == kInstallLabel)
                return true;
            Sleep(50);
        }
        return false;
    }

    int progressPosition() {
        LRESULT position = -1;
        askControl(dialog, kProgress, PBM_GETPOS, 0, 0, position);
        return static_cast<int>(position);
    }

    void closeAndExpectExitCodeZero() {
        ASSERT_TRUE(pressButton(dialog, kClose));
        DWORD code = 0xDEAD;
        ASSERT_TRUE(program.waitForExit(kExitTimeoutMs, code)) << "setup did not end";
        EXPECT_EQ(code, 0u);
    }

    void expectShortcut(const std::string& linkName, const std::string& targetName) {
        const ShortcutFile link = readShortcut(joinPath(groupFolder(), linkName + ".lnk"));
        ASSERT_TRUE(link.loaded) << linkName << ".lnk is missing or unreadable";
        EXPECT_TRUE(sameText(link.target, joinPath(kGameFolder, targetName)))
            << linkName << " points at " << link.target;
        EXPECT_TRUE(sameText(link.workingDirectory, kGameFolder))
            << linkName << " works in " << link.workingDirectory;
        EXPECT_EQ(link.arguments, "") << linkName;
        EXPECT_EQ(link.description, "") << linkName;
        EXPECT_EQ(link.showCommand, SW_SHOW) << linkName << ": show command";
    }

    // Waits until the copy has moved the bar but not finished it.
    void waitForCopyUnderWay() {
        const DWORD started = GetTickCount();
        while (progressPosition() <= 0 && GetTickCount() - started < kInstallTimeoutMs) Sleep(10);
        const int position = progressPosition();
        ASSERT_GT(position, 0) << "the copy never showed progress";
        ASSERT_LT(position, 1000) << "the copy ended before it could be stopped";
    }

    // What a stopped install must leave: no listed file, record or group.
    void expectNothingInstalled() {
        expectNoListedFileInTheGameFolder();
        EXPECT_FALSE(readRecord().present) << "a stopped install left a record";
        EXPECT_FALSE(folderExists(groupFolder())) << "a stopped install left shortcuts";
    }

    void expectNoListedFileInTheGameFolder() {
        for (const std::string& name : kListedNames)
            EXPECT_FALSE(fileExists(joinPath(kGameFolder, name))) << name << " was left behind";
    }

    // Opens the folder dialog with 参照 and checks that it is the shell's,
    // titled and owned by the program's host window, with the current base
    // folder (c:\Program Files) selected.
    void openBrowser(HWND& browser, HWND& tree, HTREEITEM& programFiles) {
        ASSERT_TRUE(pressButton(dialog, kChooseFolder));
        browser = waitForBrowseDialog(program.processId(), dialog);
        ASSERT_NE(browser, nullptr) << "no folder dialog appeared";
        tree = treeOf(browser);
        EXPECT_NE(FindWindowExA(browser, nullptr, "Static", kBrowseTitle.c_str()), nullptr)
            << "the folder dialog lacks its title";
        char hostClass[64] = {};
        GetClassNameA(GetWindow(browser, GW_OWNER), hostClass, sizeof hostClass);
        EXPECT_EQ(std::string(hostClass), "Vellomira　セットアップ") << "not owned by the host window";
        programFiles = selectedItem(tree);
        ASSERT_NE(programFiles, nullptr) << "nothing is selected";
        EXPECT_TRUE(sameText(itemText(tree, programFiles), "Program Files"))
            << "selected: " << itemText(tree, programFiles);
    }

    // Selects the item and presses the folder dialog's OK or Cancel.
    void chooseInBrowser(HWND browser, HWND tree, HTREEITEM item, int button) {
        ASSERT_NE(item, nullptr) << "no such folder in the tree";
        ASSERT_TRUE(selectItem(tree, item)) << itemText(tree, item);
        ASSERT_TRUE(pressButton(browser, button));
        ASSERT_TRUE(waitUntilGone(browser)) << "the folder dialog stayed";
    }

    ScratchFolder scratch;
    const std::string programFolder = scratch.pathOf("setup");
    const std::string exePath = joinPath(programFolder, "setup.exe");
    std::string discFolder;
    RunningProgram program;
    HWND dialog = nullptr;
};

TEST_F(SetupProgram, InstallsFromTheDiscWithShortcutsAndUninstallsAgain) {
    EXPECT_EQ(controlText(dialog, kInstallPath), kGameFolder);
    ASSERT_TRUE(waitForButtons(false)) << "setup does not start in the not-installed state";

    // Options: leave out the large graphics part, then choose the whole list.
    HWND options = openOptions();
    ASSERT_NE(options, nullptr) << "no options dialog";
    ASSERT_TRUE(pressButton(options, kGraphicsPart));
    for (int i = 0; i < 100 && controlText(options, kRequiredSize) != "1100M"; ++i) Sleep(50);
    EXPECT_EQ(controlText(options, kRequiredSize), "1100M") << "size without the graphics";
    ASSERT_TRUE(pressButton(options, kInstallType));
    for (int i = 0; i < 100 && controlText(options, kRequiredSize) != "3200M byte"; ++i) Sleep(50);
    EXPECT_EQ(controlText(options, kRequiredSize), "3200M byte") << "size of the whole list";
    ASSERT_TRUE(pressButton(options, kOptionsOk));
    ASSERT_TRUE(waitUntilGone(options));

    ASSERT_NO_FATAL_FAILURE(answerBox(kConfirmCaption, kCreateFolderText, IDYES));
    HWND finished = waitForBox(kFinishedCaption, kInstallTimeoutMs);
    ASSERT_NE(finished, nullptr) << "the install did not report completion";
    EXPECT_EQ(messageBoxText(finished), kInstalledText) << hexBytes(messageBoxText(finished));
    EXPECT_EQ(progressPosition(), 1000) << "the progress bar did not reach its end";
    ASSERT_TRUE(answerMessageBox(finished));
    EXPECT_TRUE(waitForButtons(true)) << "the buttons do not show the installed state";

    for (size_t i = 0; i < kFlaggedNames; ++i) {
        const std::string target = joinPath(kGameFolder, kListedNames[i]);
        if (kListedNames[i] == "grd.pac") {
            EXPECT_FALSE(fileExists(target)) << "grd.pac was left out but copied";
        } else {
            EXPECT_TRUE(readWholeFile(target) == readWholeFile(joinPath(discFolder, kListedNames[i])))
                << kListedNames[i] << " is missing or differs from the disc";
        }
    }
    const Record record = readRecord();
    ASSERT_TRUE(record.present) << "no registration record";
    EXPECT_TRUE(sameText(record.dir, kGameFolder)) << "Dir " << record.dir;
    EXPECT_TRUE(sameText(record.cd, discFolder)) << "CD " << record.cd;
    EXPECT_EQ(record.instType, 2u) << "InstType";
    expectShortcut("Vellomira", "Vellomira.exe");
    expectShortcut("README", "readme.txt");
    expectShortcut("アンインストール", "uninst.exe");

    ASSERT_TRUE(pressButton(dialog, kUninstall));
    ASSERT_NO_FATAL_FAILURE(answerBox(kConfirmCaption, kUninstallQuestion, IDYES));
    ASSERT_NO_FATAL_FAILURE(answerBox(kFinishedCaption, kUninstalledText, IDOK));
    EXPECT_TRUE(waitForButtons(false)) << "the buttons do not show the not-installed state";
    expectNoListedFileInTheGameFolder();
    EXPECT_FALSE(folderExists(kGameFolder)) << "the uninstall left the emptied game folder";
    EXPECT_FALSE(folderExists("c:\\Program Files\\Torvane")) << "and the maker's folder";
    EXPECT_FALSE(folderExists(groupFolder())) << "the Start-menu group is still there";
    EXPECT_FALSE(readRecord().present) << "the registration record is still there";

    closeAndExpectExitCodeZero();
}

TEST_F(SetupProgram, ACancelDuringTheCopyLeavesNoListedFileBehind) {
    // Cancelling the options dialog starts nothing.
    HWND options = openOptions();
    ASSERT_NE(options, nullptr) << "no options dialog";
    ASSERT_TRUE(pressButton(options, kOptionsCancel));
    ASSERT_TRUE(waitUntilGone(options));
    Sleep(500);
    EXPECT_EQ(controlText(dialog, kInstall), kInstallLabel) << "an install started";
    EXPECT_EQ(findWindow(program.processId(), kDialogClass, kConfirmCaption), nullptr);

    // Everything selected, so the copy takes the large grd.pac.
    options = openOptions();
    ASSERT_NE(options, nullptr) << "no options dialog the second time";
    ASSERT_TRUE(pressButton(options, kOptionsOk));
    ASSERT_TRUE(waitUntilGone(options));
    ASSERT_NO_FATAL_FAILURE(answerBox(kConfirmCaption, kCreateFolderText, IDYES));

    ASSERT_NO_FATAL_FAILURE(waitForCopyUnderWay());
    EXPECT_EQ(controlText(dialog, kInstall), kAbortLabel);
    ASSERT_TRUE(pressButton(dialog, kInstall));

    ASSERT_NO_FATAL_FAILURE(answerBox(kConfirmCaption, kInstallFailedText, IDOK, kInstallTimeoutMs));
    EXPECT_TRUE(waitForButtons(false)) << "the buttons are not back in the not-installed state";
    expectNothingInstalled();

    closeAndExpectExitCodeZero();
}

// Closing the window while an install runs must neither leave the copy
// running under a process that tears its engine down nor end silently with
// half a game: the install is stopped, cleaned up and explained first.
TEST_F(SetupProgram, ClosingDuringAnInstallStopsItExplainsItAndThenEnds) {
    ASSERT_NO_FATAL_FAILURE(acceptOptions());

    // The worker runs but does not copy yet: the install command must not
    // offer a second install.
    HWND question = waitForBox(kConfirmCaption);
    ASSERT_NE(question, nullptr) << "no folder question";
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(kInstall, BN_CLICKED), 0);
    Sleep(1000);
    EXPECT_EQ(findWindow(program.processId(), kDialogClass, kOptionsCaption), nullptr)
        << "a second install was offered while one runs";
    ASSERT_TRUE(answerMessageBox(question, IDYES));

    ASSERT_NO_FATAL_FAILURE(waitForCopyUnderWay());
    ASSERT_TRUE(pressButton(dialog, kClose));

    ASSERT_NO_FATAL_FAILURE(answerBox(kConfirmCaption, kInstallFailedText, IDOK, kInstallTimeoutMs));
    DWORD code = 0xDEAD;
    ASSERT_TRUE(program.waitForExit(kExitTimeoutMs, code)) << "setup did not end after the install stopped";
    EXPECT_EQ(code, 0u);
    expectNothingInstalled();
}

// Esc gives the window command 2, which must not throw a running install
// away: the install goes on and completes.
TEST_F(SetupProgram, EscDuringAnInstallLeavesItRunning) {
    ASSERT_NO_FATAL_FAILURE(acceptOptions());
    ASSERT_NO_FATAL_FAILURE(answerBox(kConfirmCaption, kCreateFolderText, IDYES));
    ASSERT_NO_FATAL_FAILURE(waitForCopyUnderWay());

    PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(dialog, WM_KEYUP, VK_ESCAPE, 0);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);

    HWND finished = waitForBox(kFinishedCaption, kInstallTimeoutMs);
    ASSERT_NE(finished, nullptr) << "the install did not complete";
    EXPECT_EQ(messageBoxText(finished), kInstalledText) << hexBytes(messageBoxText(finished));
    ASSERT_TRUE(answerMessageBox(finished));
    EXPECT_TRUE(waitForButtons(true)) << "the buttons do not show the installed state";
    EXPECT_TRUE(readWholeFile(joinPath(kGameFolder, "srp.pac")) ==
                readWholeFile(joinPath(discFolder, "srp.pac")));
    EXPECT_TRUE(readRecord().present) << "no registration record";
    closeAndExpectExitCodeZero();
}

TEST_F(SetupProgram, CancellingTheFolderDialogKeepsTheInstallFolder) {
    HWND browser = nullptr, tree = nullptr;
    HTREEITEM programFiles = nullptr;
    ASSERT_NO_FATAL_FAILURE(openBrowser(browser, tree, programFiles));
    // While the folder dialog is open, the window takes no install.
    EXPECT_FALSE(IsWindowEnabled(dialog)) << "the setup window stays live under the folder dialog";
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(kInstall, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, kInstall)));
    EXPECT_EQ(waitForWindow(program.processId(), kDialogClass, kOptionsCaption, 1500), nullptr)
        << "an install started while the folder was being chosen";
    // Another folder selected, then Cancel.
    ASSERT_NO_FATAL_FAILURE(chooseInBrowser(browser, tree, parentItem(tree, programFiles), IDCANCEL));
    EXPECT_EQ(controlText(dialog, kInstallPath), kGameFolder);
    EXPECT_TRUE(IsWindowEnabled(dialog));
    closeAndExpectExitCodeZero();
}

TEST_F(SetupProgram, AChosenFolderIsWhereTheGameGoes) {
    const std::string base = "c:\\Chosen Games";
    const std::string gameFolder = base + "\\Torvane\\Vellomira";
    removeTree(base);
    ASSERT_TRUE(makeFolder(base));
    HWND browser = nullptr, tree = nullptr;
    HTREEITEM programFiles = nullptr;
    ASSERT_NO_FATAL_FAILURE(openBrowser(browser, tree, programFiles));
    HTREEITEM chosen = childItemWith(tree, parentItem(tree, programFiles), "Chosen Games");
    ASSERT_NO_FATAL_FAILURE(chooseInBrowser(browser, tree, chosen, IDOK));
    EXPECT_TRUE(sameText(controlText(dialog, kInstallPath), gameFolder))
        << controlText(dialog, kInstallPath);

    // The base part alone, so the copy is quick.
    ASSERT_NO_FATAL_FAILURE(acceptOptions({kGraphicsPart}));
    HWND question = waitForBox(kConfirmCaption);
    ASSERT_NE(question, nullptr) << "no folder question";
    EXPECT_TRUE(sameText(messageBoxText(question),
                         gameFolder + "\nフォルダを作成します。\nよろしいですか？"));
    ASSERT_TRUE(answerMessageBox(question, IDYES));
    ASSERT_NO_FATAL_FAILURE(answerBox(kFinishedCaption, kInstalledText, IDOK, kInstallTimeoutMs));
    EXPECT_TRUE(fileExists(joinPath(gameFolder, "Vellomira.exe")));
    EXPECT_TRUE(sameText(readRecord().dir, gameFolder)) << readRecord().dir;
    EXPECT_FALSE(fileExists(joinPath(kGameFolder, "Vellomira.exe")));
    closeAndExpectExitCodeZero();
    EXPECT_TRUE(removeTree(base));
}

TEST_F(SetupProgram, AChosenDriveRootIsKeptAsTheDrive) {
    HWND browser = nullptr, tree = nullptr;
    HTREEITEM programFiles = nullptr;
    ASSERT_NO_FATAL_FAILURE(openBrowser(browser, tree, programFiles));
    HTREEITEM computer = parentItem(tree, parentItem(tree, programFiles));
    const std::string drive = discFolder.substr(0, 2);
    ASSERT_NO_FATAL_FAILURE(
        chooseInBrowser(browser, tree, childItemWith(tree, computer, drive), IDOK));
    EXPECT_TRUE(sameText(controlText(dialog, kInstallPath), drive + "\\Torvane\\Vellomira"))
        << controlText(dialog, kInstallPath);
    closeAndExpectExitCodeZero();
}

// The status lines and the install path's box paint on the window's own
// colours, not on white boxes of their own.
TEST_F(SetupProgram, TextsPaintOnTheWindowsColours) {
    // What the screen shows near the right end of a control, past its text.
    auto pixelIn = [&](int id) {
        RECT box{};
        GetWindowRect(GetDlgItem(dialog, id), &box);
        HDC screen = GetDC(nullptr);
        const COLORREF colour = GetPixel(screen, box.right - 5, (box.top + box.bottom) / 2);
        ReleaseDC(nullptr, screen);
        return colour;
    };
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF pathBackground = RGB(236, 233, 216);
    // The window may still be painting.
    const DWORD started = GetTickCount();
    while (GetTickCount() - started < 5000 &&
           (pixelIn(kStatusLine0) != face || pixelIn(kStatusLine1) != face ||
            pixelIn(kInstallPath) != pathBackground))
        Sleep(100);
    EXPECT_EQ(pixelIn(kStatusLine0), face);
    EXPECT_EQ(pixelIn(kStatusLine1), face);
    EXPECT_EQ(pixelIn(kInstallPath), pathBackground);
}

}  // namespace
// setup.exe run from the maker's folder: its own data folder is the
// default install folder, so every source is the file it would write.
const std::vector<std::string> kPackageFiles = {"Vellomira.exe", "grd.pac", "readme.txt",
                                                "uninst.exe"};

class SetupInItsInstallFolder : public SetupProgram {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(findDisc());
        if (IsSkipped()) return;
        removeInstalledGame();
        ASSERT_TRUE(makeFolder(kGameFolder));
        for (const std::string& name : kPackageFiles)
            ASSERT_TRUE(writeWholeFile(joinPath(kGameFolder, name), "package's " + name));
        // The disc's game program, held without sharing, does not count as a
        // disc, so the setup takes its own folder as the source.
        HANDLE disc = CreateFileA(joinPath(discFolder, "Vellomira.exe").c_str(), GENERIC_READ, 0,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(disc, INVALID_HANDLE_VALUE);
        startSetup(kOwnExePath);
        CloseHandle(disc);
    }

    void TearDown() override {
        SetupProgram::TearDown();
        DeleteFileA(kOwnExePath.c_str());
    }

    const std::string kOwnExePath = "c:\\Program Files\\Torvane\\setup.exe";
};

TEST_F(SetupInItsInstallFolder, InstallsAndUninstallsWithoutEmptyingOrDeletingItsOwnData) {
    ASSERT_NO_FATAL_FAILURE(acceptOptions());
    ASSERT_NO_FATAL_FAILURE(answerBox(kFinishedCaption, kInstalledText, IDOK, kInstallTimeoutMs));
    EXPECT_TRUE(sameText(readRecord().cd, kGameFolder)) << "the source was " << readRecord().cd;

    ASSERT_TRUE(waitForButtons(true));
    ASSERT_TRUE(pressButton(dialog, kUninstall));
    ASSERT_NO_FATAL_FAILURE(answerBox(kConfirmCaption, kUninstallQuestion, IDYES));
    ASSERT_NO_FATAL_FAILURE(answerBox(kFinishedCaption, kUninstalledText, IDOK));
    for (const std::string& name : kPackageFiles) {
        EXPECT_EQ(readWholeFile(joinPath(kGameFolder, name)), "package's " + name)
            << name << " was emptied or deleted";
    }
    closeAndExpectExitCodeZero();
}

}  // namespace e2e
