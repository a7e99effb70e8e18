// Drives a real program through its windows from another process: starts it,
// finds its dialogs and message boxes by class and caption, reads their texts
// and presses their buttons. Every wait has a timeout, so a program that
// hangs fails the test instead of stopping the run.
//
// Buttons are pressed with posted messages: a program busy in a long
// operation on its dialog's thread would block a sent message. Questions to a
// control (askControl) are sent with a timeout for the same reason.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

// How long a program may take to show a window or to end.
constexpr DWORD kWindowTimeoutMs = 20000;
constexpr DWORD kExitTimeoutMs = 30000;

// The class of dialogs and message boxes.
extern const char* const kDialogClass;

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
    DWORD processId() const { return info_.dwProcessId; }

private:
    PROCESS_INFORMATION info_{};
};

// A top-level window of the process with this class and exact caption bytes,
// waiting for it up to timeoutMs; null when none appeared.
HWND waitForWindow(DWORD processId, const char* className, const std::string& caption,
                   DWORD timeoutMs = kWindowTimeoutMs);
// The same without waiting.
HWND findWindow(DWORD processId, const char* className, const std::string& caption);
// The first dialog of the process to show, whatever its caption.
HWND waitForDialog(DWORD processId, DWORD timeoutMs = kWindowTimeoutMs);

std::string windowText(HWND window);
std::string controlText(HWND dialog, int controlId);
// The text of a message box (its static control 0xFFFF).
inline std::string messageBoxText(HWND box) { return controlText(box, 0xFFFF); }

// Posts BM_CLICK to the dialog's control; false when the control is missing.
bool pressButton(HWND dialog, int controlId);
// Closes a message box with its only button (OK) or, for a question, with
// the answer given (IDYES or IDNO).
inline bool answerMessageBox(HWND box, int answer = IDOK) { return pressButton(box, answer); }

// Sends a message to the dialog's control and waits for the answer at most a
// few seconds; false when the control is missing or did not answer.
bool askControl(HWND dialog, int controlId, UINT message, WPARAM wParam, LPARAM lParam,
                LRESULT& answer);
inline bool controlEnabled(HWND dialog, int controlId) {
    return IsWindowEnabled(GetDlgItem(dialog, controlId)) != FALSE;
}

// Polls the condition until it holds; false when it did not within timeoutMs.
template <typename Condition>
bool waitUntil(Condition condition, DWORD timeoutMs = kWindowTimeoutMs) {
    for (const DWORD started = GetTickCount(); !condition(); Sleep(50)) {
        if (GetTickCount() - started >= timeoutMs) return false;
    }
    return true;
}

// Waits until the window is gone; false on timeout.
inline bool waitUntilGone(HWND window, DWORD timeoutMs = kWindowTimeoutMs) {
    return waitUntil([&] { return !IsWindow(window); }, timeoutMs);
}

// Bytes shown as hex, for failure messages about code page 932 texts.
std::string hexBytes(const std::string& text);

}  // namespace e2e
