// setup.exe driven through its windows, with the game's disc in the CD-ROM
// drive named by TEST_CDROM_DRIVE: labelled "Vellomira", it holds the data
// folder Vellomira\ with every listed file (grd.pac large) and the manual
// manual\manual.html. The shell's folder dialog is driven through its tree
// view from here. A stand-in program (shell_recorder.exe) takes the game's
// place and is registered as the program for .txt and .html files; each
// start of it appends "working directory|arguments" to the file named by
// SHELL_RECORD_FILE, which it inherits through setup.exe and the shell.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "engine/product_config.h"
#include "resources/control_ids.h"
#include "tests/e2e/game_files.h"

namespace e2e {
namespace {

const std::string kOptionsCaption = "インストールする項目の選択";
const std::string kConfirm = "確認";
const std::string kFinished = "終了";
const std::string kGameFolder = "c:\\Program Files\\Torvane\\Vellomira";
const std::string kInstalledText = "インストールが完了しました。";
const std::string kUninstallQuestion =
    "Vellomira のアンインストールを開始します。\n開始してもよろしいですか？";
const std::string kUninstalledText = "アンインストールが完了しました。";
const std::string kInstallLabel = "インストール";
// A whole install, its copy included, must end within this time.
constexpr DWORD kInstallTimeoutMs = 120000;

bool sameText(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

std::string groupFolder() {
    char programs[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, programs, CSIDL_COMMON_PROGRAMS, FALSE);
    return joinPath(programs, "Torvane\\Vellomira");
}

void removeInstalledGame() {
    removeTree(kGameFolder);
    removeTree(groupFolder());
    RemoveDirectoryA(groupFolder().substr(0, groupFolder().rfind('\\')).c_str());
    removeRecord();
}

// ---- The shell's folder dialog, from outside ---------------------------------

HTREEITEM treeItem(HWND tree, UINT relation, HTREEITEM item) {
    return reinterpret_cast<HTREEITEM>(
        ask(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

// The item and its text buffer go into the program's memory, since the tree
// view reads and writes them there.
std::string itemText(HWND tree, HTREEITEM item) {
    constexpr SIZE_T kTextSize = 520;
    DWORD processId = 0;
    GetWindowThreadProcessId(tree, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE,
                                 FALSE, processId);
    if (process == nullptr) return "<no access>";
    char* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, sizeof(TVITEMA) + kTextSize,
                                                     MEM_COMMIT, PAGE_READWRITE));
    std::string text = "<unreadable>";
    if (remote != nullptr) {
        TVITEMA request{};
        request.mask = TVIF_HANDLE | TVIF_TEXT;
        request.hItem = item;
        request.pszText = remote + sizeof(TVITEMA);
        request.cchTextMax = static_cast<int>(kTextSize);
        char read[kTextSize + 1] = {};
        if (WriteProcessMemory(process, remote, &request, sizeof request, nullptr) &&
            ask(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote)) &&
            ReadProcessMemory(process, remote + sizeof(TVITEMA), read, kTextSize, nullptr))
            text = read;
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return text;
}

// The first child of parent whose text holds part, in any letter case.
HTREEITEM childWith(HWND tree, HTREEITEM parent, std::string part) {
    CharLowerA(&part[0]);
    for (HTREEITEM child = treeItem(tree, TVGN_CHILD, parent); child != nullptr;
         child = treeItem(tree, TVGN_NEXT, child)) {
        std::string text = itemText(tree, child);
        CharLowerA(&text[0]);
        if (text.find(part) != std::string::npos) return child;
    }
    return nullptr;
}

class SetupProgram : public ProgramTest {
protected:
    void SetUp() override {
        const char* drive = std::getenv("TEST_CDROM_DRIVE");
        if (drive == nullptr || *drive == '\0')
            GTEST_SKIP() << "TEST_CDROM_DRIVE (the game's disc) is not set";
        discRoot = std::string(drive, 2);
        discFolder = discRoot + "\\Vellomira";
        ASSERT_TRUE(fileExists(joinPath(discFolder, "Vellomira.exe")) &&
                    fileExists(discRoot + "\\manual\\manual.html"))
            << "the disc lacks the game or the manual";
        removeInstalledGame();
        ASSERT_TRUE(SetEnvironmentVariableA("SHELL_RECORD_FILE", recordFile.c_str()));
        ASSERT_NO_FATAL_FAILURE(launch());
    }

    virtual void launch() {
        ASSERT_TRUE(makeFolder(scratch.pathOf("setup")));
        ASSERT_NO_FATAL_FAILURE(copyBuilt("setup.exe", setupPath));
        startProgram(program, setupPath);
    }

    void TearDown() override {
        if (discFolder.empty()) return;
        if (program.running()) {
            pressButton(dialog, IDC_CLOSE);
            program.exitCode();
        }
        SetEnvironmentVariableA("SHELL_RECORD_FILE", nullptr);
        removeInstalledGame();
    }

    // Opens the options dialog with the install button and closes it with button.
    void answerOptions(int button = IDC_OPTIONS_OK) {
        ASSERT_TRUE(pressButton(dialog, IDC_INSTALL));
        HWND options = waitForBox(kOptionsCaption);
        ASSERT_NE(options, nullptr) << "no options dialog";
        ASSERT_TRUE(pressButton(options, button));
        ASSERT_TRUE(waitUntilGone(options));
    }

    // Waits until the setup buttons show the installed or the not-installed state.
    bool waitForButtons(bool installed) {
        auto on = [&](int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; };
        return waitUntil([&] {
            return on(IDC_INSTALL) == !installed && on(IDC_CHOOSE_FOLDER) == !installed &&
                   on(IDC_UNINSTALL) == installed && on(IDC_START_GAME) == installed &&
                   controlText(dialog, IDC_INSTALL) == kInstallLabel;
        });
    }

    int progressPosition() {
        return static_cast<int>(ask(GetDlgItem(dialog, IDC_PROGRESS), PBM_GETPOS, 0, 0));
    }

    // Every name an install or an uninstall may touch is gone from folder.
    void expectNoListedFileIn(const std::string& folder) {
        EXPECT_FALSE(fileExists(joinPath(folder, ProductConfig::gameExecutable)));
        const char* const* installed = ProductConfig::installList + 1;
        for (const char* const* list : {installed, ProductConfig::updateList}) {
            for (const char* const* name = list; *name != nullptr; ++name)
                EXPECT_FALSE(fileExists(joinPath(folder, *name))) << *name << " was left behind";
        }
    }

    // Opens the folder dialog with 参照: the shell's, titled, owned by the
    // program's host window, with the current base folder selected. Then
    // selects the item that choose gives for that selection and presses
    // the button.
    template <typename Choose>
    void browse(const std::string& selected, Choose choose, int button) {
        ASSERT_TRUE(pressButton(dialog, IDC_CHOOSE_FOLDER));
        HWND browser = nullptr, tree = nullptr;  // a dialog of the program's with a tree view
        ASSERT_TRUE(waitUntil([&] {
            while ((browser = FindWindowExA(nullptr, browser, kDialogClass, nullptr)) != nullptr) {
                DWORD owner = 0;
                GetWindowThreadProcessId(browser, &owner);
                tree = FindWindowExA(browser, nullptr, WC_TREEVIEWA, nullptr);
                if (owner == program.processId() && IsWindowVisible(browser) && tree) return true;
            }
            return false;
        })) << "no folder dialog appeared";
        EXPECT_NE(FindWindowExA(browser, nullptr, "Static", "フォルダを選択してください"), nullptr)
            << "the folder dialog lacks its title";
        char hostClass[64] = {};
        GetClassNameA(GetWindow(browser, GW_OWNER), hostClass, sizeof hostClass);
        EXPECT_EQ(std::string(hostClass), "Vellomira　セットアップ") << "not owned by the host window";
        HTREEITEM current = treeItem(tree, TVGN_CARET, nullptr);
        EXPECT_TRUE(sameText(itemText(tree, current), selected)) << itemText(tree, current);
        // While the folder dialog is open, the window takes no install.
        EXPECT_FALSE(IsWindowEnabled(dialog)) << "the window stays live under the folder dialog";
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_INSTALL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_INSTALL)));
        EXPECT_EQ(waitForBox(kOptionsCaption, 1000), nullptr)
            << "an install started while the folder was being chosen";
        HTREEITEM item = choose(tree, current);
        ASSERT_NE(item, nullptr) << "no such folder in the tree";
        ASSERT_TRUE(ask(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)));
        ASSERT_TRUE(pressButton(browser, button));
        ASSERT_TRUE(waitUntilGone(browser)) << "the folder dialog stayed";
        EXPECT_TRUE(waitUntil([&] { return IsWindowEnabled(dialog) != FALSE; }));
    }

    // The arguments of every start of the recorder so far (or, with
    // directories, the working directories), waiting until there are count.
    std::vector<std::string> waitForOpened(size_t count, bool directories = false) {
        std::vector<std::string> opened;
        waitUntil([&] {
            opened.clear();
            std::istringstream lines(fileExists(recordFile) ? readWholeFile(recordFile) : "");
            for (std::string line; std::getline(lines, line);) {
                line = line.substr(0, line.find('\r'));
                const size_t bar = line.find('|');
                opened.push_back(directories ? line.substr(0, bar) : line.substr(bar + 1));
            }
            return opened.size() >= count;
        });
        return opened;
    }

    ScratchFolder scratch;
    const std::string recordFile = scratch.pathOf("opened.txt");
    const std::string setupPath = scratch.pathOf("setup\\setup.exe");
    std::string discRoot, discFolder;
};

// The status lines and the install path's box paint on the window's own
// colours; the folder dialog chooses where the game goes; the install copies
// the parts chosen, registers the game and makes its shortcuts; the
// uninstall takes all of it away again, emptied folders included.
TEST_F(SetupProgram, InstallsIntoTheChosenFolderWithShortcutsAndUninstallsAgain) {
    auto pixelIn = [&](int id) {
        RECT box{};
        GetWindowRect(GetDlgItem(dialog, id), &box);
        HDC screen = GetDC(nullptr);
        const COLORREF colour = GetPixel(screen, box.right - 5, (box.top + box.bottom) / 2);
        ReleaseDC(nullptr, screen);
        return colour;
    };
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_TRUE(waitUntil([&] {  // the window may still be painting
        return pixelIn(IDC_STATUS_LINE_0) == face && pixelIn(IDC_STATUS_LINE_1) == face &&
               pixelIn(IDC_INSTALL_PATH) == RGB(236, 233, 216);
    }, 5000)) << "the status lines or the install path paint on other colours";
    EXPECT_EQ(controlText(dialog, IDC_INSTALL_PATH), kGameFolder);
    ASSERT_TRUE(waitForButtons(false)) << "setup does not start in the not-installed state";

    // Another folder selected, then Cancel: the folder stays.
    ASSERT_NO_FATAL_FAILURE(browse("Program Files", [](HWND tree, HTREEITEM current) {
        return treeItem(tree, TVGN_PARENT, current);
    }, IDCANCEL));
    EXPECT_EQ(controlText(dialog, IDC_INSTALL_PATH), kGameFolder);
    const std::string base = "c:\\Chosen Games", game = base + "\\Torvane\\Vellomira";
    removeTree(base);
    ASSERT_TRUE(makeFolder(base));
    ASSERT_NO_FATAL_FAILURE(browse("Program Files", [](HWND tree, HTREEITEM current) {
        return childWith(tree, treeItem(tree, TVGN_PARENT, current), "Chosen Games");
    }, IDOK));
    const std::string shown = controlText(dialog, IDC_INSTALL_PATH);
    EXPECT_TRUE(sameText(shown, game)) << shown;

    // Options: leave out the large graphics part, then choose the whole list.
    ASSERT_TRUE(pressButton(dialog, IDC_INSTALL));
    HWND options = waitForBox(kOptionsCaption);
    ASSERT_NE(options, nullptr) << "no options dialog";
    for (auto [box, size] : {std::make_pair(IDC_PART_GRAPHICS, "1100M"),
                             std::make_pair(IDC_INSTALL_TYPE, "3200M byte")}) {
        ASSERT_TRUE(pressButton(options, box));
        waitUntil([&] { return controlText(options, IDC_REQUIRED_SIZE) == size; }, 5000);
        EXPECT_EQ(controlText(options, IDC_REQUIRED_SIZE), size);
    }
    ASSERT_TRUE(pressButton(options, IDC_OPTIONS_OK));
    ASSERT_TRUE(waitUntilGone(options));
    ASSERT_NO_FATAL_FAILURE(
        answerBox(kConfirm, shown + "\nフォルダを作成します。\nよろしいですか？", IDYES));
    ASSERT_NE(waitForBox(kFinished, kInstallTimeoutMs), nullptr) << "the install did not end";
    EXPECT_EQ(progressPosition(), 1000) << "the progress bar did not reach its end";
    ASSERT_NO_FATAL_FAILURE(answerBox(kFinished, kInstalledText));
    EXPECT_TRUE(waitForButtons(true)) << "the buttons do not show the installed state";

    // The entries with a selection flag of their own (0 to 19), grd.pac
    // among them.
    for (int i = 0; i < 20; ++i) {
        const std::string name = i ? ProductConfig::installList[i] : ProductConfig::gameExecutable;
        const std::string copy = joinPath(game, name);
        if (name == "grd.pac") {
            EXPECT_FALSE(fileExists(copy)) << "grd.pac was left out but copied";
        } else {
            EXPECT_TRUE(readWholeFile(copy) == readWholeFile(joinPath(discFolder, name)))
                << name << " is missing or differs from the disc";
        }
    }
    EXPECT_FALSE(folderExists(kGameFolder)) << "the default folder was used";
    const Record record = readRecord();
    ASSERT_TRUE(record.present) << "no registration record";
    EXPECT_TRUE(sameText(record.dir, game)) << "Dir " << record.dir;
    EXPECT_TRUE(sameText(record.cd, discFolder)) << "CD " << record.cd;
    EXPECT_EQ(record.instType, 2u) << "InstType";
    for (auto [linkName, target] : {std::make_pair("Vellomira", "Vellomira.exe"),
                                    std::make_pair("README", "readme.txt"),
                                    std::make_pair("アンインストール", "uninst.exe")}) {
        const ShortcutFile link = readShortcut(joinPath(groupFolder(), linkName) + ".lnk");
        ASSERT_TRUE(link.loaded) << linkName << ".lnk is missing or unreadable";
        EXPECT_TRUE(sameText(link.target, joinPath(game, target))) << link.target;
        EXPECT_TRUE(sameText(link.workingDirectory, game)) << link.workingDirectory;
        EXPECT_EQ(link.arguments + link.description, "") << linkName;
        EXPECT_EQ(link.showCommand, SW_SHOW) << linkName << ": show command";
    }

    ASSERT_TRUE(pressButton(dialog, IDC_UNINSTALL));
    ASSERT_NO_FATAL_FAILURE(answerBox(kConfirm, kUninstallQuestion, IDYES));
    ASSERT_NO_FATAL_FAILURE(answerBox(kFinished, kUninstalledText));
    EXPECT_TRUE(waitForButtons(false)) << "the buttons do not show the not-installed state";
    expectNoListedFileIn(game);
    EXPECT_FALSE(folderExists(base + "\\Torvane")) << "the uninstall left the emptied folders";
    EXPECT_FALSE(folderExists(groupFolder())) << "the Start-menu group is still there";
    EXPECT_FALSE(readRecord().present) << "the registration record is still there";

    // A drive root chosen is kept as the drive alone.
    ASSERT_NO_FATAL_FAILURE(browse("Chosen Games", [this](HWND tree, HTREEITEM current) {
        HTREEITEM computer = treeItem(tree, TVGN_PARENT, treeItem(tree, TVGN_PARENT, current));
        return childWith(tree, computer, discRoot);
    }, IDOK));
    EXPECT_TRUE(sameText(controlText(dialog, IDC_INSTALL_PATH), discRoot + "\\Torvane\\Vellomira"))
        << controlText(dialog, IDC_INSTALL_PATH);
    ASSERT_TRUE(pressButton(dialog, IDC_CLOSE));
    EXPECT_EQ(program.exitCode(), 0u);
    EXPECT_TRUE(removeTree(base));
}

// An install stops only by its own button or by Close, never by Esc, and
// leaves nothing behind; Close then ends setup once the install is undone.
TEST_F(SetupProgram, AnInstallStopsByItsButtonOrByCloseAndLeavesNothing) {
    ASSERT_NO_FATAL_FAILURE(answerOptions(IDC_OPTIONS_CANCEL));
    Sleep(500);
    EXPECT_EQ(controlText(dialog, IDC_INSTALL), kInstallLabel) << "a cancelled choice started";
    EXPECT_EQ(waitForBox(kConfirm, 0), nullptr);

    for (int stop : {IDC_INSTALL, IDC_CLOSE}) {
        // Everything selected, so the copy takes the large grd.pac.
        ASSERT_NO_FATAL_FAILURE(answerOptions());
        if (stop == IDC_INSTALL) {
            // The worker runs but does not copy yet: no second install is
            // offered. (The stopped install leaves the folder, so the next
            // one asks nothing.)
            HWND question = waitForBox(kConfirm);
            ASSERT_NE(question, nullptr) << "no folder question";
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_INSTALL, BN_CLICKED), 0);
            EXPECT_EQ(waitForBox(kOptionsCaption, 1000), nullptr) << "a second install was offered";
            ASSERT_TRUE(answerMessageBox(question, IDYES));
        }
        ASSERT_TRUE(waitUntil([&] { return progressPosition() > 0; }, kInstallTimeoutMs))
            << "the copy never showed progress";
        ASSERT_LT(progressPosition(), 1000) << "the copy ended before it could be stopped";
        if (stop == IDC_INSTALL) {
            // Esc gives the window command 2, which must neither stop the
            // install nor close the window.
            PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
            PostMessageA(dialog, WM_KEYUP, VK_ESCAPE, 0);
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            EXPECT_EQ(waitForBox(kConfirm, 500), nullptr) << "Esc stopped the install";
        }
        ASSERT_TRUE(pressButton(dialog, stop));
        ASSERT_NO_FATAL_FAILURE(answerBox(kConfirm,
            "インストールが正常に行われませんでした。\n"
            "もう一度ご確認の上、インストールを行ってください。", IDOK, kInstallTimeoutMs));
        expectNoListedFileIn(kGameFolder);
        EXPECT_FALSE(readRecord().present) << "a stopped install left a record";
        EXPECT_FALSE(folderExists(groupFolder())) << "a stopped install left shortcuts";
        if (stop == IDC_INSTALL) {
            EXPECT_TRUE(waitForButtons(false)) << "the buttons are not back";
            ASSERT_TRUE(program.running()) << "the window closed after Esc";
        }
    }
    EXPECT_EQ(program.exitCode(), 0u) << "setup did not end after Close";
}

// Before an install the readme and the manual open from the disc. With a
// game registered the readme opens from its folder; the game's executable
// is missing at first, so its start fails and the window stays; with it
// back, the game starts in its folder and setup ends.
TEST_F(SetupProgram, HandsTheDocumentsAndTheGameToTheShell) {
    const std::string recorder = joinPath(builtProgramDir(), "shell_recorder.exe");
    const std::string documents = "VellomiraTest.Recorder";
    for (auto [key, value] : {std::make_pair(documents + "\\shell\\open\\command",
                                             "\"" + recorder + "\" %1"),
                              std::make_pair(std::string(".txt"), documents),
                              std::make_pair(std::string(".html"), documents)}) {
        ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, value.c_str(),
                               static_cast<DWORD>(value.size())), ERROR_SUCCESS) << key;
    }
    ASSERT_TRUE(pressButton(dialog, IDC_README));
    ASSERT_EQ(waitForOpened(1).size(), 1u) << "the readme was not opened";
    ASSERT_TRUE(pressButton(dialog, IDC_MANUAL));
    std::vector<std::string> opened = waitForOpened(2);
    ASSERT_EQ(opened.size(), 2u) << "the manual was not opened";
    EXPECT_TRUE(sameText(opened[0], discFolder + "\\readme.txt")) << opened[0];
    EXPECT_TRUE(sameText(opened[1], discRoot + "\\manual\\manual.html")) << opened[1];
    ASSERT_TRUE(pressButton(dialog, IDC_CLOSE));
    EXPECT_EQ(program.exitCode(), 0u);

    const std::string game = scratch.pathOf("game");
    ASSERT_TRUE(makeFolder(game));
    ASSERT_TRUE(writeWholeFile(joinPath(game, "readme.txt"), "readme"));
    ASSERT_TRUE(writeRecord(game, discFolder, 2));
    ASSERT_NO_FATAL_FAILURE(startProgram(program, setupPath));
    ASSERT_TRUE(pressButton(dialog, IDC_README));
    opened = waitForOpened(3);
    ASSERT_EQ(opened.size(), 3u) << "the readme was not opened";
    EXPECT_TRUE(sameText(opened[2], joinPath(game, "readme.txt"))) << opened[2];

    ASSERT_TRUE(pressButton(dialog, IDC_START_GAME));
    Sleep(1500);
    EXPECT_TRUE(IsWindow(dialog) && program.running()) << "setup closed though no game started";
    ASSERT_TRUE(CopyFileA(recorder.c_str(), joinPath(game, "Vellomira.exe").c_str(), FALSE));
    ASSERT_TRUE(pressButton(dialog, IDC_START_GAME));
    EXPECT_EQ(program.exitCode(), 0u) << "setup did not end";
    opened = waitForOpened(4, true);
    ASSERT_EQ(opened.size(), 4u) << "the game did not start";
    EXPECT_TRUE(sameText(opened[3], game)) << opened[3];
}

// An update killed in its replace step left the registered game a mix:
// grd.pac new with its old file in the backup folder, the first update file
// new with no old one. While the game holds grd.pac, setup.exe says it
// cannot put it back and ends before its window, so that nothing is
// installed over the update; started again, it puts both back before its
// window shows, and nothing of the update is left.
class SetupAfterAKilledUpdate : public SetupProgram {
protected:
    void launch() override {
        ASSERT_TRUE(makeFolder("c:\\Program Files\\Torvane") && makeFolder(kGameFolder) &&
                    makeFolder(joinPath(kGameFolder, "~UPDATE.OLD")) &&
                    makeFolder(joinPath(kGameFolder, "~UPDATE.NEW")));
        ASSERT_TRUE(writeRecord(kGameFolder, discFolder, 2));
        const std::string record = std::string("update record 1\r\n+grd.pac\r\n-") + added +
                                   "\r\n.\r\n";
        ASSERT_TRUE(writeWholeFile(joinPath(kGameFolder, "~UPDATE.LOG"), record) &&
                    writeWholeFile(joinPath(kGameFolder, "~UPDATE.OLD\\grd.pac"), "old") &&
                    writeWholeFile(joinPath(kGameFolder, "grd.pac"), "new") &&
                    writeWholeFile(joinPath(kGameFolder, added), "new"));
        ASSERT_TRUE(makeFolder(scratch.pathOf("setup")));
        ASSERT_NO_FATAL_FAILURE(copyBuilt("setup.exe", setupPath));
    }

    const char* const added = ProductConfig::updateList[0];
};

TEST_F(SetupAfterAKilledUpdate, TheStartPutsItBackBeforeTheWindowOrEnds) {
    HANDLE held = CreateFileA(joinPath(kGameFolder, "grd.pac").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(program.start(setupPath));
    ASSERT_NO_FATAL_FAILURE(answerBox(kConfirm,
        "アップデートが途中で止まっています。\ngrd.pac\nを元に戻せませんでした。\n"
        "ゲームを終了してから、もう一度アップデートを起動してください。"));
    EXPECT_EQ(program.exitCode(), 1u) << "setup went on over an update it could not put back";
    CloseHandle(held);

    ASSERT_NO_FATAL_FAILURE(startProgram(program, setupPath));
    EXPECT_EQ(readWholeFile(joinPath(kGameFolder, "grd.pac")), "old");
    EXPECT_FALSE(fileExists(joinPath(kGameFolder, added)));
    for (const char* left : {"~UPDATE.LOG", "~UPDATE.OLD", "~UPDATE.NEW"}) {
        const std::string path = joinPath(kGameFolder, left);
        EXPECT_FALSE(fileExists(path) || folderExists(path)) << left << " was left";
    }

    ASSERT_TRUE(pressButton(dialog, IDC_CLOSE));
    EXPECT_EQ(program.exitCode(), 0u);
}

}  // namespace
}  // namespace e2e
