// Generic Windows code only: message boxes, dialog controls and the calling
// thread's message queue. Nothing here knows about the game.
#include <windows.h>

#include <commctrl.h>

#include "platform/platform.h"

namespace platform {
namespace {

// The control, or null when the window or the control does not exist.
HWND controlOf(WindowHandle dialog, int controlId) {
    if (dialog == nullptr) return nullptr;
    return GetDlgItem(static_cast<HWND>(dialog), controlId);
}

}  // namespace

bool pumpOneMessage() {
    MSG message;
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return false;
    TranslateMessage(&message);
    DispatchMessageA(&message);
    return true;
}

int messageBox(WindowHandle owner, const char* text, const char* caption,
               unsigned flags) {
    return MessageBoxA(static_cast<HWND>(owner), text, caption, flags);
}

void setControlText(WindowHandle dialog, int controlId, const char* text) {
    HWND control = controlOf(dialog, controlId);
    if (control != nullptr) SetWindowTextA(control, text);
}

void resetProgressBar(WindowHandle dialog, int controlId, int range) {
    HWND bar = controlOf(dialog, controlId);
    if (bar == nullptr) return;
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, range));
    SendMessageA(bar, PBM_SETSTEP, 1, 0);
    SendMessageA(bar, PBM_SETPOS, 0, 0);
}

void stepProgressBar(WindowHandle dialog, int controlId) {
    HWND bar = controlOf(dialog, controlId);
    if (bar != nullptr) SendMessageA(bar, PBM_STEPIT, 0, 0);
}

intptr_t sendWindowMessage(WindowHandle window, unsigned message, uintptr_t wParam,
                           intptr_t lParam) {
    return SendMessageA(static_cast<HWND>(window), message, wParam, lParam);
}

}  // namespace platform
