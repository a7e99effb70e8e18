#include "tests/e2e/program_driver.h"

#include <cstdio>
#include <vector>

namespace e2e {

const char* const kDialogClass = "#32770";

namespace {

constexpr UINT kAnswerTimeoutMs = 5000;

// A window of the process with the class and, unless caption is null, the
// caption.
struct WindowQuery {
    DWORD processId;
    const char* className;
    const std::string* caption;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM param) {
    WindowQuery& query = *reinterpret_cast<WindowQuery*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != query.processId) return TRUE;
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpA(className, query.className) != 0) return TRUE;
    if (query.caption != nullptr && windowText(window) != *query.caption) return TRUE;
    query.found = window;
    return FALSE;
}

HWND find(DWORD processId, const char* className, const std::string* caption) {
    WindowQuery query{processId, className, caption, nullptr};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

HWND waitFor(DWORD processId, const char* className, const std::string* caption,
             DWORD timeoutMs) {
    HWND window = nullptr;
    waitUntil([&] {
        window = find(processId, className, caption);
        return window != nullptr && IsWindowVisible(window);
    }, timeoutMs);
    return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

}  // namespace

RunningProgram::~RunningProgram() {
    if (info_.hProcess == nullptr) return;
    if (running()) {
        TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, kExitTimeoutMs);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

bool RunningProgram::start(const std::string& exePath) {
    if (running()) return false;
    if (info_.hProcess != nullptr) {  // a run that has ended: start anew
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
        info_ = {};
    }
    std::string folder = exePath.substr(0, exePath.find_last_of('\\'));
    std::vector<char> commandLine(exePath.begin(), exePath.end());
    commandLine.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    return CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                          nullptr, folder.c_str(), &startup, &info_) != FALSE;
}

bool RunningProgram::running() const {
    return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool RunningProgram::waitForExit(DWORD timeoutMs, DWORD& exitCode) const {
    if (info_.hProcess == nullptr) return false;
    if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(info_.hProcess, &exitCode) != FALSE;
}

HWND findWindow(DWORD processId, const char* className, const std::string& caption) {
    return find(processId, className, &caption);
}

HWND waitForWindow(DWORD processId, const char* className, const std::string& caption,
                   DWORD timeoutMs) {
    return waitFor(processId, className, &caption, timeoutMs);
}

HWND waitForDialog(DWORD processId, DWORD timeoutMs) {
    return waitFor(processId, kDialogClass, nullptr, timeoutMs);
}

std::string windowText(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string controlText(HWND dialog, int controlId) {
    char text[1024] = {};
    GetDlgItemTextA(dialog, controlId, text, sizeof text);
    return text;
}

bool pressButton(HWND dialog, int controlId) {
    HWND button = GetDlgItem(dialog, controlId);
    return button != nullptr && PostMessageA(button, BM_CLICK, 0, 0) != FALSE;
}

bool askControl(HWND dialog, int controlId, UINT message, WPARAM wParam, LPARAM lParam,
                LRESULT& answer) {
    HWND control = GetDlgItem(dialog, controlId);
    DWORD_PTR result = 0;
    if (control == nullptr ||
        !SendMessageTimeoutA(control, message, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerTimeoutMs,
                             &result))
        return false;
    answer = static_cast<LRESULT>(result);
    return true;
}

std::string hexBytes(const std::string& text) {
    std::string hex;
    char byte[4];
    for (unsigned char c : text) {
        std::snprintf(byte, sizeof byte, "%02X ", c);
        hex += byte;
    }
    return hex;
}

}  // namespace e2e
