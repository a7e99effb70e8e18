#include "driver/program_driver.h"

#include <vector>

namespace e2e {

const char* const kDialogClass = "#32770";

namespace {

struct WindowQuery {
    DWORD processId;
    const char* className;
    const std::string& caption;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM param) {
    WindowQuery& query = *reinterpret_cast<WindowQuery*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (owner != query.processId || lstrcmpA(className, query.className) != 0 ||
        !IsWindowVisible(window) || (!query.caption.empty() && windowText(window) != query.caption))
        return TRUE;
    query.found = window;
    return FALSE;
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

HWND waitForWindow(DWORD processId, const char* className, const std::string& caption,
                   DWORD timeoutMs) {
    WindowQuery query{processId, className, caption, nullptr};
    waitUntil([&] {
        EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&query));
        return query.found != nullptr;
    }, timeoutMs);
    return query.found;
}

LRESULT ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (window == nullptr ||
        !SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result))
        return 0;
    return static_cast<LRESULT>(result);
}

}  // namespace e2e
