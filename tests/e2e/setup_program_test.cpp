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

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "engine/product_config.h"
#include "resources/control_ids.h"
#include "tests/e2e/game_files.h"
#include "tests/e2e/program_driver.h"

namespace e2e {
namespace {

const std::string kCaption = "Vellomira Updata";
const std::string kOptionsCaption = "インストールする項目の選択";
const std::string kConfirm = "確認";
const std::string kFinished = "終了";
const std::string kGameFolder = "c:\\Program Files\\Torvane\\Vellomira";
const std::string kInstalledText = "インストールが完了しました。";
const std::string kFailedText =
    "インストールが正常に行われませんでした。\nもう一度ご確認の上、インストールを行ってください。";
const std::string kUninstallQuestion =
    "Vellomira のアンインストールを開始します。\n開始してもよろしいですか？";
const std::string kUninstalledText = "アンインストールが完了しました。";
const std::string kInstallLabel = "インストール";
const char* const kDocumentClass = "VellomiraTest.Recorder";
// A whole install, its copy included, must end within this time.
constexpr DWORD kInstallTimeoutMs = 120000;

std::string folderQuestion(const std::string& folder) {
    return folder + "\nフォルダを作成します。\nよろしいですか？";
}

bool sameText(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
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

bool setDefaultValue(const std::string& key, const std::string& value) {
    return RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, value.c_str(),
                        static_cast<DWORD>(value.size())) == ERROR_SUCCESS;
}

// ---- The shell's folder dialog, from outside ---------------------------------

LRESULT askTree(HWND tree, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(tree, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result);
    return static_cast<LRESULT>(result);
}

HTREEITEM treeItem(HWND tree, UINT relation, HTREEITEM item) {
    return reinterpret_cast<HTREEITEM>(
        askTree(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
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
            askTree(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote)) &&
            ReadProcessMemory(process, remote + sizeof(TVITEMA), read, kTextSize, nullptr))
            text = read;
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return text;
}

// The first child of parent whose text holds part, in any letter case.
HTREEITEM childWith(HWND tree, HTREEITEM parent, const std::string& part) {
    for (HTREEITEM child = treeItem(tree, TVGN_CHILD, parent); child != nullptr;
         child = treeItem(tree, TVGN_NEXT, child)) {
        if (lowerCase(itemText(tree, child)).find(lowerCase(part)) != std::string::npos)
            return child;
    }
    return nullptr;
}

struct TreeQuery {
    DWORD processId;
    HWND except;
    HWND tree;
};

BOOL CALLBACK matchBrowseDialog(HWND window, LPARAM param) {
    TreeQuery& query = *reinterpret_cast<TreeQuery*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != query.processId || window == query.except || !IsWindowVisible(window))
        return TRUE;
    query.tree = FindWindowExA(window, nullptr, WC_TREEVIEWA, nullptr);
    return query.tree == nullptr;
}

// The tree view of the process's folder dialog (a window other than its
// main dialog); null when none appeared in time.
HWND waitForFolderTree(DWORD processId, HWND except) {
    TreeQuery query{processId, except, nullptr};
    waitUntil([&] { return !EnumWindows(matchBrowseDialog, reinterpret_cast<LPARAM>(&query)); });
    return query.tree;
}

class SetupProgram : public ::testing::Test {
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
        ASSERT_NO_FATAL_FAILURE(start());
    }

    virtual void start() {
        ASSERT_TRUE(makeFolder(scratch.pathOf("setup")));
        startSetup(program, scratch.pathOf("setup\\setup.exe"));
    }

    void TearDown() override {
        if (discFolder.empty()) return;
        if (program.running()) {
            pressButton(dialog, IDC_CLOSE);
            DWORD code = 0;
            program.waitForExit(kExitTimeoutMs, code);
        }
        SetEnvironmentVariableA("SHELL_RECORD_FILE", nullptr);
        removeInstalledGame();
    }

    // Copies the built setup.exe to path and starts it there.
    void startSetup(RunningProgram& setup, const std::string& path) {
        const std::string built = joinPath(builtProgramDir(), "setup.exe");
        ASSERT_TRUE(CopyFileA(built.c_str(), path.c_str(), FALSE)) << "cannot copy " << built;
        ASSERT_TRUE(setup.start(path)) << "cannot start " << path;
        dialog = waitForWindow(setup.processId(), kDialogClass, kCaption);
        ASSERT_NE(dialog, nullptr) << "no setup window appeared";
    }

    HWND waitForBox(const std::string& caption, DWORD timeoutMs = kWindowTimeoutMs) {
        return waitForWindow(program.processId(), kDialogClass, caption, timeoutMs);
    }

    // Waits for the message box, checks its text and answers it.
    void answerBox(const std::string& caption, const std::string& text, int answer = IDOK,
                   DWORD timeoutMs = kWindowTimeoutMs) {
        HWND box = waitForBox(caption, timeoutMs);
        ASSERT_NE(box, nullptr) << "no \"" << caption << "\" message for: " << text;
        EXPECT_TRUE(sameText(messageBoxText(box), text)) << hexBytes(messageBoxText(box));
        ASSERT_TRUE(answerMessageBox(box, answer)) << "the message has no such button";
        ASSERT_TRUE(waitUntilGone(box));
    }

    // Opens the options dialog, presses the given boxes and then the button.
    void answerOptions(std::vector<int> boxes = {}, int button = IDC_OPTIONS_OK) {
        ASSERT_TRUE(pressButton(dialog, IDC_INSTALL));
        HWND options = waitForBox(kOptionsCaption);
        ASSERT_NE(options, nullptr) << "no options dialog";
        for (int box : boxes) ASSERT_TRUE(pressButton(options, box));
        ASSERT_TRUE(pressButton(options, button));
        ASSERT_TRUE(waitUntilGone(options));
    }

    // Waits until the setup buttons show the installed or the not-installed state.
    bool waitForButtons(bool installed) {
        return waitUntil([&] {
            return controlEnabled(dialog, IDC_INSTALL) == !installed &&
                   controlEnabled(dialog, IDC_CHOOSE_FOLDER) == !installed &&
                   controlEnabled(dialog, IDC_UNINSTALL) == installed &&
                   controlEnabled(dialog, IDC_START_GAME) == installed &&
                   controlText(dialog, IDC_INSTALL) == kInstallLabel;
        });
    }

    int progressPosition() {
        LRESULT position = -1;
        askControl(dialog, IDC_PROGRESS, PBM_GETPOS, 0, 0, position);
        return static_cast<int>(position);
    }

    // Waits until the copy has moved the bar but not finished it.
    void waitForCopyUnderWay() {
        ASSERT_TRUE(waitUntil([&] { return progressPosition() > 0; }, kInstallTimeoutMs))
            << "the copy never showed progress";
        ASSERT_LT(progressPosition(), 1000) << "the copy ended before it could be stopped";
    }

    void closeAndExpectExitCodeZero() {
        ASSERT_TRUE(pressButton(dialog, IDC_CLOSE));
        DWORD code = 0xDEAD;
        ASSERT_TRUE(program.waitForExit(kExitTimeoutMs, code)) << "setup did not end";
        EXPECT_EQ(code, 0u);
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
        HWND tree = waitForFolderTree(program.processId(), dialog);
        ASSERT_NE(tree, nullptr) << "no folder dialog appeared";
        HWND browser = GetParent(tree);
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
        ASSERT_TRUE(askTree(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)));
        ASSERT_TRUE(pressButton(browser, button));
        ASSERT_TRUE(waitUntilGone(browser)) << "the folder dialog stayed";
        EXPECT_TRUE(IsWindowEnabled(dialog));
    }

    // Every start of the recorder so far, waiting until there are count.
    std::vector<std::string> waitForOpened(size_t count) {
        std::vector<std::string> opened;
        waitUntil([&] {
            opened.clear();
            std::istringstream lines(fileExists(recordFile) ? readWholeFile(recordFile) : "");
            for (std::string line; std::getline(lines, line);)
                opened.push_back(line.substr(0, line.find('\r')));
            return opened.size() >= count;
        });
        return opened;
    }

    ScratchFolder scratch;
    const std::string recordFile = scratch.pathOf("opened.txt");
    std::string discRoot, discFolder;
    RunningProgram program;
    HWND dialog = nullptr;
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
    const COLORREF face = GetSysColor(COLOR_BTNFACE), pathBackground = RGB(236, 233, 216);
    waitUntil([&] {  // the window may still be painting
        return pixelIn(IDC_STATUS_LINE_0) == face && pixelIn(IDC_STATUS_LINE_1) == face &&
               pixelIn(IDC_INSTALL_PATH) == pathBackground;
    }, 5000);
    EXPECT_EQ(pixelIn(IDC_STATUS_LINE_0), face);
    EXPECT_EQ(pixelIn(IDC_STATUS_LINE_1), face);
    EXPECT_EQ(pixelIn(IDC_INSTALL_PATH), pathBackground);
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
    EXPECT_TRUE(sameText(controlText(dialog, IDC_INSTALL_PATH), game));

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
    ASSERT_NO_FATAL_FAILURE(answerBox(kConfirm, folderQuestion(game), IDYES));
    HWND finished = waitForBox(kFinished, kInstallTimeoutMs);
    ASSERT_NE(finished, nullptr) << "the install did not report completion";
    EXPECT_EQ(messageBoxText(finished), kInstalledText) << hexBytes(messageBoxText(finished));
    EXPECT_EQ(progressPosition(), 1000) << "the progress bar did not reach its end";
    ASSERT_TRUE(answerMessageBox(finished));
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
    closeAndExpectExitCodeZero();
    EXPECT_TRUE(removeTree(base));
}

// An install stops only by its own button or by Close, never by Esc, and
// leaves nothing behind; Close then ends setup once the install is undone.
TEST_F(SetupProgram, AnInstallStopsByItsButtonOrByCloseAndLeavesNothing) {
    ASSERT_NO_FATAL_FAILURE(answerOptions({}, IDC_OPTIONS_CANCEL));
    Sleep(500);
    EXPECT_EQ(controlText(dialog, IDC_INSTALL), kInstallLabel) << "a cancelled choice started";
    EXPECT_EQ(findWindow(program.processId(), kDialogClass, kConfirm), nullptr);

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
        ASSERT_NO_FATAL_FAILURE(waitForCopyUnderWay());
        if (stop == IDC_INSTALL) {
            // Esc gives the window command 2, which must neither stop the
            // install nor close the window.
            PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
            PostMessageA(dialog, WM_KEYUP, VK_ESCAPE, 0);
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            EXPECT_EQ(waitForBox(kConfirm, 500), nullptr) << "Esc stopped the install";
        }
        ASSERT_TRUE(pressButton(dialog, stop));
        ASSERT_NO_FATAL_FAILURE(answerBox(kConfirm, kFailedText, IDOK, kInstallTimeoutMs));
        expectNoListedFileIn(kGameFolder);
        EXPECT_FALSE(readRecord().present) << "a stopped install left a record";
        EXPECT_FALSE(folderExists(groupFolder())) << "a stopped install left shortcuts";
        if (stop == IDC_INSTALL) {
            EXPECT_TRUE(waitForButtons(false)) << "the buttons are not back";
            ASSERT_TRUE(program.running()) << "the window closed after Esc";
        }
    }
    DWORD code = 0xDEAD;
    ASSERT_TRUE(program.waitForExit(kExitTimeoutMs, code)) << "setup did not end after Close";
    EXPECT_EQ(code, 0u);
}

// Before an install the readme and the manual open from the disc. With a
// game registered the readme opens from its folder; the game's executable
// is missing at first, so its start fails and the window stays; with it
// back, the game starts in its folder and setup ends.
TEST_F(SetupProgram, HandsTheDocumentsAndTheGameToTheShell) {
    const std::string recorder = joinPath(builtProgramDir(), "shell_recorder.exe");
    ASSERT_TRUE(setDefaultValue(std::string(kDocumentClass) + "\\shell\\open\\command",
                                "\"" + recorder + "\" %1") &&
                setDefaultValue(".txt", kDocumentClass) && setDefaultValue(".html", kDocumentClass))
        << "cannot register the recorder for .txt and .html";
    ASSERT_TRUE(pressButton(dialog, IDC_README));
    ASSERT_EQ(waitForOpened(1).size(), 1u) << "the readme was not opened";
    ASSERT_TRUE(pressButton(dialog, IDC_MANUAL));
    std::vector<std::string> opened = waitForOpened(2);
    ASSERT_EQ(opened.size(), 2u) << "the manual was not opened";
    EXPECT_TRUE(sameText(opened[0].substr(opened[0].find('|') + 1), discFolder + "\\readme.txt"))
        << opened[0];
    EXPECT_TRUE(sameText(opened[1].substr(opened[1].find('|') + 1),
                         discRoot + "\\manual\\manual.html"))
        << opened[1];
    ASSERT_NO_FATAL_FAILURE(closeAndExpectExitCodeZero());

    const std::string game = scratch.pathOf("game");
    ASSERT_TRUE(makeFolder(game));
    ASSERT_TRUE(writeWholeFile(joinPath(game, "readme.txt"), "readme"));
    ASSERT_TRUE(writeRecord(game, discFolder, 2));
    RunningProgram again;
    ASSERT_NO_FATAL_FAILURE(startSetup(again, scratch.pathOf("setup\\setup.exe")));
    ASSERT_TRUE(pressButton(dialog, IDC_README));
    opened = waitForOpened(3);
    ASSERT_EQ(opened.size(), 3u) << "the readme was not opened";
    EXPECT_TRUE(sameText(opened[2].substr(opened[2].find('|') + 1), joinPath(game, "readme.txt")))
        << opened[2];

    ASSERT_TRUE(pressButton(dialog, IDC_START_GAME));
    Sleep(1500);
    EXPECT_TRUE(IsWindow(dialog) && again.running()) << "setup closed though no game started";
    ASSERT_TRUE(CopyFileA(recorder.c_str(), joinPath(game, "Vellomira.exe").c_str(), FALSE));
    ASSERT_TRUE(pressButton(dialog, IDC_START_GAME));
    DWORD code = 0xDEAD;
    ASSERT_TRUE(again.waitForExit(kExitTimeoutMs, code)) << "setup did not end";
    EXPECT_EQ(code, 0u);
    opened = waitForOpened(4);
    ASSERT_EQ(opened.size(), 4u) << "the game did not start";
    EXPECT_TRUE(sameText(opened[3].substr(0, opened[3].find('|')), game)) << opened[3];
}

// setup.exe run from the maker's folder: its own data folder is the default
// install folder, so every source is the file it would write. The disc's
// game program, held without sharing, does not count as a disc, so setup
// takes its own folder as the source.
class SetupInItsInstallFolder : public SetupProgram {
protected:
    void start() override {
        ASSERT_TRUE(makeFolder(kGameFolder));
        for (const std::string& name : kPackageFiles)
            ASSERT_TRUE(writeWholeFile(joinPath(kGameFolder, name), "package's " + name));
        HANDLE disc = CreateFileA(joinPath(discFolder, "Vellomira.exe").c_str(), GENERIC_READ, 0,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(disc, INVALID_HANDLE_VALUE);
        startSetup(program, kOwnExePath);
        CloseHandle(disc);
    }

    void TearDown() override {
        SetupProgram::TearDown();
        DeleteFileA(kOwnExePath.c_str());
    }

    const std::vector<std::string> kPackageFiles = {"Vellomira.exe", "grd.pac", "readme.txt",
                                                    "uninst.exe"};
    const std::string kOwnExePath = "c:\\Program Files\\Torvane\\setup.exe";
};

TEST_F(SetupInItsInstallFolder, InstallsAndUninstallsWithoutEmptyingOrDeletingItsOwnData) {
    ASSERT_NO_FATAL_FAILURE(answerOptions());
    ASSERT_NO_FATAL_FAILURE(answerBox(kFinished, kInstalledText, IDOK, kInstallTimeoutMs));
    EXPECT_TRUE(sameText(readRecord().cd, kGameFolder)) << "the source was " << readRecord().cd;

    ASSERT_TRUE(waitForButtons(true));
    ASSERT_TRUE(pressButton(dialog, IDC_UNINSTALL));
    ASSERT_NO_FATAL_FAILURE(answerBox(kConfirm, kUninstallQuestion, IDYES));
    ASSERT_NO_FATAL_FAILURE(answerBox(kFinished, kUninstalledText));
    for (const std::string& name : kPackageFiles) {
        EXPECT_EQ(readWholeFile(joinPath(kGameFolder, name)), "package's " + name)
            << name << " was emptied or deleted";
    }
    closeAndExpectExitCodeZero();
}

}  // namespace
}  // namespace e2e
