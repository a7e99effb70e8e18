// Drives a real program through its windows from another process. Every wait
// has a timeout, so a program that hangs fails the test instead of stopping
// the run. Buttons are pressed with posted messages, and questions are sent
// with a timeout: a program busy on its dialog's thread would block a sent
// message.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

constexpr DWORD kWindowTimeoutMs = 20000;  // to show a window
constexpr DWORD kExitTimeoutMs = 30000;    // to end
extern const char* const kDialogClass;     // of dialogs and message boxes

// A started program. The destructor ends it if it still runs, so a failed
// test leaves nothing behind.
class RunningProgram {
public:
    RunningProgram() = default;
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    // Starts the program with its own folder as the current directory
    // (again, once an earlier run has ended).
    bool start(const std::string& exePath);
    bool running() const;
    // Waits for the end; false on timeout. exitCode gets the process's code.
    bool waitForExit(DWORD timeoutMs, DWORD& exitCode) const;
    // The exit code, or 0xDEAD when the program did not end in time.
    DWORD exitCode() const {
        DWORD code = 0xDEAD;
        return waitForExit(kExitTimeoutMs, code) ? code : 0xDEAD;
    }
    DWORD processId() const { return info_.dwProcessId; }

private:
    PROCESS_INFORMATION info_{};
};

// Polls the condition until it holds; false when it did not within timeoutMs.
template <typename Condition>
bool waitUntil(Condition condition, DWORD timeoutMs = kWindowTimeoutMs) {
    for (const DWORD started = GetTickCount(); !condition(); Sleep(50)) {
        if (GetTickCount() - started >= timeoutMs) return false;
    }
    return true;
}

// A visible top-level window of the process with this class and exact
// caption bytes (any caption when empty), waiting for it up to timeoutMs;
// null when none appeared.
HWND waitForWindow(DWORD processId, const char* className, const std::string& caption,
                   DWORD timeoutMs = kWindowTimeoutMs);
inline bool waitUntilGone(HWND window, DWORD timeoutMs = kWindowTimeoutMs) {
    return waitUntil([&] { return !IsWindow(window); }, timeoutMs);
}

inline std::string windowText(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}
inline std::string controlText(HWND dialog, int controlId) {
    char text[1024] = {};
    GetDlgItemTextA(dialog, controlId, text, sizeof text);
    return text;
}
// The text of a message box (its static control 0xFFFF).
inline std::string messageBoxText(HWND box) { return controlText(box, 0xFFFF); }

// Posts BM_CLICK to the dialog's control; false when the control is missing.
inline bool pressButton(HWND dialog, int controlId) {
    HWND button = GetDlgItem(dialog, controlId);
    return button != nullptr && PostMessageA(button, BM_CLICK, 0, 0) != FALSE;
}
// Closes a message box with its only button (OK) or, for a question, with
// the answer given (IDYES or IDNO).
inline bool answerMessageBox(HWND box, int answer = IDOK) { return pressButton(box, answer); }

// Sends the message and waits for the answer at most a few seconds; 0 when
// the window is missing or did not answer.
LRESULT ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace e2e
