// setup.exe driven through its windows, with the game's disc in the CD-ROM
// drive TEST_CDROM_DRIVE (the data folder Vellomira\ with every listed file,
// grd.pac large, and manual\manual.html).
// A stand-in program (shell_recorder.exe), registered for .txt and .html
// files and put in the game's place, appends "working directory|arguments"
// to the file named by SHELL_RECORD_FILE at each start.
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
const std::string kChosenBase = "c:\\Chosen Games";
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
        const char* disc = std::getenv("TEST_CDROM_DRIVE");
        if (disc == nullptr || *disc == '\0')
            GTEST_SKIP() << "TEST_CDROM_DRIVE (the game's disc) is not set";
        discRoot = std::string(disc, 2);
        discFolder = discRoot + "\\Vellomira";
        removeInstalledGame();
        ASSERT_TRUE(SetEnvironmentVariableA("SHELL_RECORD_FILE", recordFile.c_str()));
        ASSERT_TRUE(makeFolder(scratch.pathOf("setup")));
        ASSERT_NO_FATAL_FAILURE(copyBuilt("setup.exe", setupPath));
    }

    void TearDown() override {
        if (discFolder.empty()) return;
        pressButton(dialog, IDC_CLOSE);  // a setup still running ends
        program.exitCode();
        removeInstalledGame();
    }

    // Every folder an install here may make, the Start-menu group, the record.
    void removeInstalledGame() {
        removeTree(kGameFolder);
        removeTree(kChosenBase);
        removeTree(groupFolder());
        RemoveDirectoryA(groupFolder().substr(0, groupFolder().rfind('\\')).c_str());
        removeRecord();
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

    // Starts a whole install into folder, which is not there yet, and stops
    // its copy with stop (the install button or Close). While the folder
    // question is up no second install is offered, and while the copy runs
    // Esc (window command 2) stops nothing. The stopped install says so and
    // leaves no file, record or shortcut.
    void stopInstall(int stop, const std::string& folder) {
        ASSERT_NO_FATAL_FAILURE(answerOptions());
        HWND question = waitForBox(kConfirm);
        ASSERT_NE(question, nullptr) << "no folder question";
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_INSTALL, BN_CLICKED), 0);
        EXPECT_EQ(waitForBox(kOptionsCaption, 1000), nullptr) << "a second install was offered";
        ASSERT_TRUE(answerMessageBox(question, IDYES));
        // The copy of the large grd.pac takes about a second here: no wait
        // below may take much of it.
        ASSERT_TRUE(waitUntil([&] { return progressPosition() > 0; }, kInstallTimeoutMs))
            << "the copy never showed progress";
        PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageA(dialog, WM_KEYUP, VK_ESCAPE, 0);
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        EXPECT_EQ(waitForBox(kConfirm, 200), nullptr) << "Esc stopped the install";
        ASSERT_LT(progressPosition(), 1000) << "the copy ended before it could be stopped";
        ASSERT_TRUE(pressButton(dialog, stop));
        ASSERT_NO_FATAL_FAILURE(
            answerBox(kConfirm, "インストールが正常に行われませんでした。", IDOK, kInstallTimeoutMs));
        EXPECT_EQ(namesIn(folder), std::vector<std::string>()) << "a stopped install left files";
        EXPECT_EQ(recordedDir(), "") << "a stopped install left a record";
        EXPECT_FALSE(folderExists(groupFolder())) << "a stopped install left shortcuts";
    }

    // Opens the shell's folder dialog with 参照, with the current base folder
    // selected; then selects the item that choose gives for that selection
    // and presses OK.
    template <typename Choose>
    void browse(const std::string& selected, Choose choose) {
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
        ASSERT_TRUE(pressButton(browser, IDOK));
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

// The game's whole life through setup's window. The status lines and the
// install path's box paint on the window's own colours; the documents open
// from the disc; the folder dialog chooses where the game goes; an install
// stops by its own button; the install copies the parts chosen, registers
// the game and makes its shortcuts; the game starts. Started again, setup
// shows the game installed and uninstalls all of it, emptied folders
// included. Close stops an install before it ends setup.
TEST_F(SetupProgram, InstallsStopsOpensAndUninstallsTheGame) {
    ASSERT_NO_FATAL_FAILURE(startProgram(program, setupPath));
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

    ASSERT_NO_FATAL_FAILURE(answerOptions(IDC_OPTIONS_CANCEL));
    EXPECT_EQ(waitForBox(kConfirm, 500), nullptr) << "a cancelled choice started an install";

    const std::string game = kChosenBase + "\\Torvane\\Vellomira";
    ASSERT_TRUE(makeFolder(kChosenBase));
    ASSERT_NO_FATAL_FAILURE(browse("Program Files", [](HWND tree, HTREEITEM current) {
        return childWith(tree, treeItem(tree, TVGN_PARENT, current), "Chosen Games");
    }));
    const std::string shown = controlText(dialog, IDC_INSTALL_PATH);
    EXPECT_TRUE(sameText(shown, game)) << shown;

    ASSERT_NO_FATAL_FAILURE(stopInstall(IDC_INSTALL, game));
    EXPECT_TRUE(waitForButtons(false)) << "the buttons are not back";
    ASSERT_TRUE(program.running()) << "the window closed after Esc";

    // Options: leave out the large graphics part, then choose the whole
    // list. The stopped install left the folder, so nothing is asked.
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
    ASSERT_NE(waitForBox(kFinished, kInstallTimeoutMs), nullptr) << "the install did not end";
    EXPECT_EQ(progressPosition(), 1000) << "the progress bar did not reach its end";
    ASSERT_NO_FATAL_FAILURE(answerBox(kFinished));
    EXPECT_TRUE(waitForButtons(true)) << "the buttons do not show the installed state";

    // The graphics part left out; the game and an entry past the base files
    // copied whole from the disc.
    EXPECT_FALSE(fileExists(joinPath(game, "grd.pac"))) << "grd.pac was left out but copied";
    for (const char* name : {ProductConfig::gameExecutable, ProductConfig::installList[19]}) {
        const std::string copy = readWholeFile(joinPath(game, name));
        EXPECT_TRUE(copy == readWholeFile(joinPath(discFolder, name))) << name << " differs";
    }
    EXPECT_TRUE(sameText(recordedDir(), game)) << "recorded: " << recordedDir();
    // Each link's file holds its target's path and, at offset 0x3C, the show
    // command (which the shell's link object would answer as SW_SHOWNORMAL).
    for (auto [linkName, target] : {std::make_pair("Vellomira", "Vellomira.exe"),
                                    std::make_pair("README", "readme.txt"),
                                    std::make_pair("アンインストール", "uninst.exe")}) {
        const std::string link = readWholeFile(joinPath(groupFolder(), linkName) + ".lnk");
        ASSERT_GT(link.size(), 0x40u) << linkName << ".lnk is missing";
        EXPECT_NE(link.find(joinPath(shown, target)), std::string::npos) << linkName;
        EXPECT_EQ(link[0x3C], SW_SHOW) << linkName << ": show command";
    }

    // The game copied from the disc is no program: its start fails and the
    // window stays. With a program in its place, the game starts in its
    // folder and setup ends.
    ASSERT_TRUE(pressButton(dialog, IDC_START_GAME));
    Sleep(1500);
    EXPECT_TRUE(IsWindow(dialog) && program.running()) << "setup closed though no game started";
    ASSERT_TRUE(CopyFileA(recorder.c_str(), joinPath(game, "Vellomira.exe").c_str(), FALSE));
    ASSERT_TRUE(pressButton(dialog, IDC_START_GAME));
    EXPECT_EQ(program.exitCode(), 0u) << "setup did not end";
    opened = waitForOpened(3, true);
    ASSERT_EQ(opened.size(), 3u) << "the game did not start";
    EXPECT_TRUE(sameText(opened[2], game)) << opened[2];

    ASSERT_NO_FATAL_FAILURE(startProgram(program, setupPath));
    ASSERT_TRUE(waitForButtons(true)) << "setup does not start in the installed state";
    ASSERT_TRUE(pressButton(dialog, IDC_UNINSTALL));
    ASSERT_NO_FATAL_FAILURE(answerBox(kConfirm, "", IDYES));
    ASSERT_NO_FATAL_FAILURE(answerBox(kFinished));
    EXPECT_TRUE(waitForButtons(false)) << "the buttons do not show the not-installed state";
    EXPECT_FALSE(folderExists(kChosenBase + "\\Torvane")) << "the uninstall left files or folders";
    EXPECT_FALSE(folderExists(groupFolder())) << "the Start-menu group is still there";
    EXPECT_EQ(recordedDir(), "") << "the registration record is still there";

    EXPECT_EQ(controlText(dialog, IDC_INSTALL_PATH), kGameFolder);
    ASSERT_NO_FATAL_FAILURE(stopInstall(IDC_CLOSE, kGameFolder));
    EXPECT_EQ(program.exitCode(), 0u) << "setup did not end after Close";
}

// An update killed in its replace step left the registered game a mix:
// grd.pac new with its old file in the backup folder, an update file new
// with no old one. While the game holds grd.pac, setup cannot put it back
// and ends before its window, so that nothing is installed over the update;
// started again, it puts both back before its window shows.
TEST_F(SetupProgram, TheStartPutsBackAnEndedUpdateBeforeTheWindowOrEnds) {
    ASSERT_TRUE(makeFolder("c:\\Program Files\\Torvane") && makeFolder(kGameFolder) &&
                makeFolder(joinPath(kGameFolder, "~UPDATE.OLD")) &&
                makeFolder(joinPath(kGameFolder, "~UPDATE.NEW")));
    ASSERT_TRUE(writeRecord(kGameFolder, discFolder, 2));
    const std::string added = ProductConfig::updateList[0];
    ASSERT_TRUE(writeWholeFile(joinPath(kGameFolder, "~UPDATE.LOG"),
                               "update record 1\r\n+grd.pac\r\n-" + added + "\r\n.\r\n") &&
                writeWholeFile(joinPath(kGameFolder, "~UPDATE.OLD\\grd.pac"), "old") &&
                writeWholeFile(joinPath(kGameFolder, "grd.pac"), "new") &&
                writeWholeFile(joinPath(kGameFolder, added), "new"));
    HANDLE held = CreateFileA(joinPath(kGameFolder, "grd.pac").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(program.start(setupPath));
    ASSERT_NO_FATAL_FAILURE(answerBox(kConfirm, "grd.pac"));
    EXPECT_EQ(program.exitCode(), 1u) << "setup went on over an update it could not put back";
    CloseHandle(held);

    ASSERT_NO_FATAL_FAILURE(startProgram(program, setupPath));
    EXPECT_EQ(readWholeFile(joinPath(kGameFolder, "grd.pac")), "old");
    EXPECT_EQ(namesIn(kGameFolder), std::vector<std::string>{"grd.pac"}) << "the update was left";
    ASSERT_TRUE(pressButton(dialog, IDC_CLOSE));
    EXPECT_EQ(program.exitCode(), 0u);
}

}  // namespace
}  // namespace e2e
