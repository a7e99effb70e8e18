// The hands of the demo and of the release stories (scripts/test.sh) when
// no one sits at the display, for the programs of any product. "update"
// starts update.exe, presses Update and closes the closing message;
// "install" starts setup.exe, installs with the options as they are,
// answers the folder question and closes setup. It reports what it saw (in
// UTF-8) and pauses before each press so that the caller can take a
// screenshot: it makes <markers>\<step>.ready and goes on when
// <markers>\<step>.done exists. A marker folder "-" takes none.
//
// Usage: demo_driver update|install <program.exe> <marker folder>|-
#include "driver/program_driver.h"

#include <cstdio>
#include <string>

namespace {

constexpr int kUpdateButton = 1008, kQuestionText = 1009;
constexpr int kInstallButton = 1000, kCloseButton = 1002, kInstallPath = 1004;
constexpr int kOptionsOk = 1012;
constexpr DWORD kScreenshotTimeoutMs = 30000;
constexpr DWORD kInstallTimeoutMs = 120000;

// Texts are code page 932; the console of the caller expects UTF-8.
std::string toUtf8(const std::string& text) {
    wchar_t wide[1024] = {};
    char utf8[4096] = {};
    if (MultiByteToWideChar(932, 0, text.c_str(), -1, wide, 1024) == 0 ||
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr) == 0)
        return text;
    return utf8;
}

void pauseForScreenshot(const std::string& markers, const char* step) {
    if (markers == "-") return;
    const std::string ready = markers + "\\" + step + ".ready";
    const std::string done = markers + "\\" + step + ".done";
    HANDLE file = CreateFileA(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    CloseHandle(file);
    e2e::waitUntil([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; },
                   kScreenshotTimeoutMs);
}

// The next message: a completion ("終了"), or a warning or question ("確認").
HWND waitForClosingMessage(DWORD processId, DWORD timeoutMs = e2e::kExitTimeoutMs) {
    HWND box = nullptr;
    e2e::waitUntil([&] {
        for (const char* caption : {"終了", "確認"})
            if ((box = e2e::waitForWindow(processId, e2e::kDialogClass, caption, 0))) return true;
        return false;
    }, timeoutMs);
    return box;
}

int fail(const char* what) {
    std::fprintf(stderr, "demo driver: %s\n", what);
    return 1;
}

void report(const char* what, HWND box) {
    std::printf("%s \"%s\": %s\n", what, toUtf8(e2e::windowText(box)).c_str(),
                toUtf8(e2e::messageBoxText(box)).c_str());
}

int waitForEnd(const e2e::RunningProgram& program) {
    DWORD code = 0;
    if (!program.waitForExit(e2e::kExitTimeoutMs, code)) return fail("the program did not end");
    std::printf("the program ended with exit code %lu\n", code);
    std::fflush(stdout);
    return static_cast<int>(code);
}

int runUpdate(e2e::RunningProgram& program, HWND dialog, const std::string& markers) {
    std::printf("window \"%s\" asks: %s\n", toUtf8(e2e::windowText(dialog)).c_str(),
                toUtf8(e2e::controlText(dialog, kQuestionText)).c_str());
    pauseForScreenshot(markers, "update");
    std::printf("pressing Update\n");
    if (!e2e::pressButton(dialog, kUpdateButton)) return fail("no Update button");
    HWND box = waitForClosingMessage(program.processId());
    if (box == nullptr) return fail("no message after the update");
    report("message", box);
    pauseForScreenshot(markers, "finished");
    e2e::answerMessageBox(box);
    return waitForEnd(program);
}

int runInstall(e2e::RunningProgram& program, HWND dialog, const std::string& markers) {
    const DWORD id = program.processId();
    std::printf("installing into %s\n", toUtf8(e2e::controlText(dialog, kInstallPath)).c_str());
    pauseForScreenshot(markers, "setup");
    if (!e2e::pressButton(dialog, kInstallButton)) return fail("no install button");
    HWND options = e2e::waitForWindow(id, e2e::kDialogClass, "インストールする項目の選択");
    if (options == nullptr) return fail("no options dialog");
    pauseForScreenshot(markers, "options");
    e2e::pressButton(options, kOptionsOk);
    HWND box = waitForClosingMessage(id, kInstallTimeoutMs);
    if (box != nullptr && e2e::windowText(box) == "確認") {
        report("question", box);
        e2e::answerMessageBox(box, IDYES);
        e2e::waitUntilGone(box);
        box = waitForClosingMessage(id, kInstallTimeoutMs);
    }
    if (box == nullptr) return fail("the install did not end");
    report("message", box);
    pauseForScreenshot(markers, "installed");
    e2e::answerMessageBox(box);
    e2e::waitUntilGone(box);
    Sleep(500);
    e2e::pressButton(dialog, kCloseButton);
    return waitForEnd(program);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 4 ? argv[1] : "";
    if (mode != "update" && mode != "install")
        return fail("usage: demo_driver update|install <program.exe> <marker folder>|-");
    e2e::RunningProgram program;
    if (!program.start(argv[2])) return fail("cannot start the program");
    HWND dialog = e2e::waitForWindow(program.processId(), e2e::kDialogClass, "");
    if (dialog == nullptr) return fail("the program's window did not appear");
    if (mode == "update") return runUpdate(program, dialog, argv[3]);
    return runInstall(program, dialog, argv[3]);
}
