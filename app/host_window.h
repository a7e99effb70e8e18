// The zero-size host window that stands for the program as its top-level
// window, owns the main dialog and refuses a second running copy.
#pragma once

#include <windows.h>

extern HWND hostWindow;
extern HINSTANCE appInstance;

// Creates and shows the host window and sets hostWindow and appInstance.
// False when a window of the same class and title already runs (only when
// refuseSecondCopy is set) or when the class or the window cannot be made.
bool createHostWindow(HINSTANCE instance, HINSTANCE previousInstance, int showCommand,
                      bool refuseSecondCopy);

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
