// The install options dialog (template 109): which optional parts of the
// game to copy, and which install type.
#pragma once

#include <windows.h>

// The answer to the main dialog: 99 when the user cancelled, else the install
// type switch's state (0 or 1).
constexpr int kOptionsCancelled = 99;
extern int optionsResult;

INT_PTR CALLBACK optionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
