// The main dialog: the update window (and the fuller setup window) with its
// command table.
#pragma once

#include <windows.h>

INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The main dialog's window while it is open, null before.
extern HWND mainDialog;
